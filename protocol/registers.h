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

} // namespace tmx9
