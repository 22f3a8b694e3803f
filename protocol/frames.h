#pragma once

#include <QByteArray>
#include <QString>

// Radio frames: "$$R", type letter, marker, length N, N body bytes, XOR checksum, CR LF.
namespace tmx9 {

inline constexpr char kCrLf[] = "\r\n";
inline constexpr char kLeadIn[] = "$$R";
inline constexpr char kWriteHeader[] = "$$RJ"; // also what marks a write acknowledgement
inline constexpr char kReadHeader[] = "$$RI";
inline constexpr unsigned char kToolMarker = 0x1B;  // every frame the tool sends
inline constexpr unsigned char kRadioMarker = 0xB1; // frames the radio returns for a read
inline constexpr unsigned char kChannelTableLength = 0x8C;

inline constexpr unsigned char kParameterStartRegister = 0x07;
inline constexpr unsigned char kChannelStartRegister = 0x80;

// Plain-text commands; sent as they stand, without a terminating zero.
inline constexpr char kSetLora[] = "$$01SET LORA\r\n";
inline constexpr char kSetFsk[] = "$$01SET FSK\r\n";
inline constexpr char kSetAirBaud9600[] = "$$01SET AIRBT 9600\r\n";
inline constexpr char kSetAirBaud19200[] = "$$01SET AIRBT 19200\r\n";
inline constexpr char kLogRadioInfo[] = "$$01LOG RADIOINFO\r\n";

// kSetAirBaud9600 or kSetAirBaud19200 for those FSK air baud rates; empty for any other text.
QByteArray setAirBaudCommand(const QString &airBaud);

// The nine bytes 24 24 52 49 1B 00 00 0D 0A.
QByteArray readRequest();

// XOR of every byte of `bytes`.
unsigned char checksum(const QByteArray &bytes);

// "$$RJ", 0x1B, length, start register, data, checksum, CR LF. Data must be at most 254 bytes;
// longer data gives an empty frame, since the length byte would wrap.
QByteArray buildWriteFrame(unsigned char startRegister, const QByteArray &data);

// Upper-case hex, two digits a byte, no separators: the form the write path prints.
QString toHexText(const QByteArray &bytes);

} // namespace tmx9
