#pragma once

// Where the radio keeps what the tool shows, and the counts and times both sides rely on.
namespace tmx9 {

// Registers of the parameter block (byte k of a parameter response body is register k).
namespace reg {
inline constexpr int kWorkMode = 7;
inline constexpr int kProtocol = 8; // then 9-12, always written as 32 FF FF FF
inline constexpr int kChannel = 13;
inline constexpr int kPower = 14;
inline constexpr int kSerialBaud = 15;
inline constexpr int kAirBaud = 16;  // the LoRa rate; 0x31 while an FSK rate is chosen
inline constexpr int kRepeater = 17; // then 18-19, always written as 01 01
inline constexpr int kSerialNumber = 35;
inline constexpr int kSerialNumberLength = 6;
inline constexpr int kFirmwareVersion = 60;
inline constexpr int kFirmwareVersionLength = 5;
inline constexpr int kModulation = 65; // read only, and only from a block of kNewerBlockLength
inline constexpr int kFskAirBaud = 66; // read only, likewise
} // namespace reg

// An older radio has 68 registers and no modulation register; a newer one at least 69.
inline constexpr int kOlderBlockLength = 68;
inline constexpr int kNewerBlockLength = 69;

inline constexpr int kChannelCount = 10; // channels the tool shows and writes
inline constexpr int kRecordSize = 7;    // ASCII digits of one channel record
inline constexpr int kTableRecords = 20; // records in a channel table response

inline constexpr int kReadTimeoutMs = 3000; // a read request's answers, at the latest
inline constexpr int kFrameSpacingMs = 100; // after every write of a transmission

// Bytes of a whole answer to a read request: the parameter response of a newer radio and the
// channel table response, each with its 9 bytes of frame ("$$RI", marker, length, checksum, CR LF).
inline constexpr int kFrameOverhead = 9;
inline constexpr int kReadAnswerBytes =
    (kNewerBlockLength + kFrameOverhead) + (kTableRecords * kRecordSize + kFrameOverhead);

// Computer-side rates in the order a search tries them: the radio's own rates, fastest first,
// then 4800, which the window offers although no radio is set to it.
inline constexpr int kSearchRates[] = {115200, 38400, 19200, 9600, 4800};

// What a search waits at each rate for the answer. A radio at 9600 needs 227 bytes x 10 bits
// (8N1) / 9600 baud = 236.5 ms on the wire for the whole answer; the simulated radio starts
// answering within 0.3 ms of the request (measured through a pseudo-terminal). 300 ms leaves
// about 60 ms for a slower radio and a busy computer, and keeps a search of all five rates
// on an empty port near 1.5 s.
inline constexpr int kSearchWaitMs = 300;
static_assert(kReadAnswerBytes * 10 * 1000 / 9600 + 1 < kSearchWaitMs);

} // namespace tmx9
