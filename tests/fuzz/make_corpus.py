#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_receiver: real frames and streams, as the radio and the tool send them.
Inputs the fuzzer once failed on are kept in the corpus beside these, as regression cases."""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent / "corpus" / "receiver"
CRLF = b"\r\n"


def xor(data):
    total = 0
    for byte in data:
        total ^= byte
    return bytes([total])


def parameter_response(length, registers):
    body = bytearray(length)
    for reg, value in registers.items():
        if reg < length:
            body[reg] = value
    line = b"$$RI\xb1" + bytes([length]) + bytes(body)
    return line + xor(line) + CRLF


def channel_response(frequencies):
    records = b"".join(b"%07d" % round(f * 10000) for f in frequencies)
    line = b"$$RI\xb1\x8c" + records.ljust(140, b"\xff")
    return line + xor(line) + CRLF


def write_frame(start, data):
    frame = b"$$RJ\x1b" + bytes([len(data) + 1, start]) + data
    return frame + xor(frame) + CRLF


settings = {7: 0x31, 8: 0x34, 13: ord("7"), 14: 0xFF, 15: 0x35, 16: 0x23, 17: 0x01}
text = {35 + i: c for i, c in enumerate(b"SN0042")}
text.update({60 + i: c for i, c in enumerate(b"V1.3")})
fsk = parameter_response(69, {**settings, **text, 65: 0x31, 66: 0x30})
old = parameter_response(68, {**settings, **text, 16: 0x34})
table = channel_response([454.05 + k for k in range(10)] + [200.0, 500.0])
ack = b"$$RJ\xb1\x00" + xor(b"$$RJ\xb1\x00") + CRLF
default_params = bytes.fromhex("2424524A1B0E07303332FFFFFF30FF35310001010F0D0A")
default_table = write_frame(0x80, b"".join(b"%07d" % (4540500 + 10000 * k) for k in range(10)))

files = {
    "parameter_response_n69": fsk,
    "parameter_response_n68": old,
    "channel_table_response": table,
    "write_ack": ack,
    "read_request": bytes.fromhex("242452491B00000D0A"),
    "parameter_frame": default_params,
    "channel_table_frame": default_table,
    "set_fsk_airbt": b"$$01SET AIRBT 19200\r\n$$01SET FSK\r\n",
    # Noise, a response in fragments, a reply to a text command, a CR LF inside a body.
    "mixed_stream": b"\x00\xff garbage\r\n" + fsk + b"OK\r\n" + ack + table[:70] + table[70:]
    + parameter_response(69, {20: 0x0D, 21: 0x0A, 65: 0x30}) + b"$$RI\xb1" + CRLF + ack,
    # Longer than the receive cap without a CR LF, then a response on the same line.
    "flood_then_response": b"x" * 5000 + fsk + fsk,
}

HERE.mkdir(parents=True, exist_ok=True)
for name, data in files.items():
    (HERE / (name + ".bin")).write_bytes(data)
