#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "plans.h"

// The receiver's pure pieces: cutting received bytes into CR LF lines, classifying a line and
// decoding the two read responses.
namespace tmx9 {

// Unterminated bytes kept at most. Every response is far shorter (at most 264 bytes); a tail
// longer than this can only be noise, and keeping it would grow memory without bound.
inline constexpr int kMaxPendingBytes = 4096;

// Receive buffer: `bytes` from `head` on are not yet consumed. Lines are taken by moving `head`,
// so many lines in one chunk cost linear time; settle() drops the consumed prefix.
//
// Appends a chunk, then caps the unterminated tail at kMaxPendingBytes, not counting a final CR
// (a tail over the cap is discarded whole: the line it begins cannot be a frame). A zero byte
// stands in for it, so the rest of that line cannot pass for a frame either; a final CR stays for
// an LF in the next chunk. So a line of up to kMaxPendingBytes survives any chunking.
// `discarded` (when given) gets the received bytes that were thrown away, for a traffic log: the
// stand-in of an earlier discard is not among them.
void appendReceived(QByteArray &bytes, int &head, const QByteArray &chunk,
                    QByteArray *discarded = nullptr);

// Cuts the bytes before the first CR LF at or after `head` and moves `head` past the CR LF.
// nullopt when no CR LF is left.
std::optional<QByteArray> takeLine(const QByteArray &bytes, int &head);

// Drops the consumed prefix: afterwards head == 0 and `bytes` holds only unconsumed bytes.
void settle(QByteArray &bytes, int &head);

// Empties the buffer, whose unterminated bytes will never end a line (the port closes, or a new
// exchange begins), and returns the received ones among them, as appendReceived reports a discard.
QByteArray dropUnterminated(QByteArray &bytes, int &head);

enum class LineKind { ChannelTable, Parameters, WriteAck, Dropped };

// First matching rule wins: "$$RI" B1 8C anywhere -> channel table if the line starts with "$$",
// else dropped; "$$RI" B1 anywhere -> parameters if it starts with "$$", else dropped; "$$RJ"
// anywhere -> write acknowledgement; anything else dropped.
LineKind classify(const QByteArray &line);

// Length byte N of a response line (offset 5); 0 when the line is too short to have one.
int declaredLength(const QByteArray &line);

// What a parameter response says. A field left empty (nullopt) leaves its widget unchanged.
// Text fields are always given (possibly empty).
struct ParameterReport
{
    QString firmware;     // registers 60-64, lineEditAPP
    QString serialNumber; // registers 35-40, lineEditSN
    QString channel;      // register 13, com_5 (empty for a zero byte)
    std::optional<QString> repeater;
    std::optional<QString> power;
    std::optional<QString> workMode;
    std::optional<QString> serialBaud;
    std::optional<QString> modulation;
    std::optional<QString> protocol;
    std::optional<QString> airBaud;
};

// Decodes a line classified as Parameters. nullopt when the line holds N + 6 bytes or fewer
// (too short for its length byte). Registers at N or above count as 0x00. N <= 68: modulation is
// "LORA" and only air baud codes 0x31 / 0x34 are known; N >= 69: register 65 gives the modulation
// (0x30 LORA, 0x31 FSK, other: modulation, protocol and air baud unknown) and the air baud rate
// comes from register 16 (LoRa) or 66 (FSK). The protocol comes from register 8 whenever the
// modulation is known.
std::optional<ParameterReport> decodeParameters(const QByteArray &line);

// The report as settings: what it leaves unknown is a null text, and the channel is the register's
// character as it stands. No frequencies: they come with the channel table.
RadioSettings reportedSettings(const ParameterReport &report);

// Display texts of a line classified as ChannelTable: whole seven-byte records of the body
// (offset 6 on). A record with none of the digits 2, 3, 4, 8, 9 ends the table, except the record
// "5000000" (500.0000 MHz, a frequency the writer accepts); a record that does not parse is
// skipped.
QStringList decodeChannelTable(const QByteArray &line);

} // namespace tmx9
