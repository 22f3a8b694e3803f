#pragma once

#include "plans.h"
#include "registers.h"

#include <QByteArray>
#include <QString>

namespace tmx9sim {

// Old radios have a 68-register block; newer ones add modulation (65) and FSK air baud (66).
enum class Firmware { Old, New };

// What the radio stores: the parameter block and the channel table. A plain value, no I/O.
class RadioState
{
public:
    static constexpr int kOldBlockLength = tmx9::kOlderBlockLength;
    static constexpr int kNewBlockLength = tmx9::kNewerBlockLength;
    static constexpr int kRecordLength = tmx9::kRecordSize;
    static constexpr int kRecordCount = tmx9::kTableRecords;
    static constexpr int kChannelTableLength = kRecordLength * kRecordCount; // 140
    static constexpr int kMaxBlockLength = 255; // what a response's length byte can say

    explicit RadioState(Firmware firmware = Firmware::New);

    // New when the block has 69 registers or more: only then do 65 and 66 mean modulation and
    // FSK air baud rate.
    Firmware firmware() const;
    // Cuts the block to 68 registers, or grows it to 69 with registers 65 and 66 at LORA / 9600.
    void setFirmware(Firmware firmware);

    const QByteArray &parameterBlock() const { return block_; }
    // Any length up to 255 (the length byte of a response); longer blocks are cut.
    void setParameterBlock(const QByteArray &block);

    const QByteArray &channelRecords() const { return channels_; }
    // Exactly 140 bytes, else refused.
    bool setChannelRecords(const QByteArray &records);

    // Stores `data` from `startRegister` on: registers of the block below 0x80, the channel
    // table from 0x80 (channel k at 0x80 + 7k). Refused, and nothing stored, unless all of it
    // fits one of the two areas.
    bool write(int startRegister, const QByteArray &data);

    enum class CommandOutcome { Applied, Refused, Unknown };
    // A text command line without its CR LF ("$$01SET FSK"). An Old radio accepts only
    // "SET LORA" (it is LoRa already) and refuses the FSK commands.
    CommandOutcome applyCommand(const QByteArray &line);

    // The registers as the window would show them. Codes outside the tables give empty texts.
    tmx9::RadioSettings settings() const;
    // Stores the settings as the tool's write frames and modulation commands would. False, and
    // nothing stored, when a text is not an option of its field, a frequency is out of range, or
    // the block is too short to hold registers 7 to 19.
    bool setSettings(const tmx9::RadioSettings &settings);

    // The serial rate in bits per second that register 15 selects; 0 for a code the radio does
    // not know (or a block too short to hold it).
    int serialRate() const;

    QString serialNumber() const;
    // Cut to six bytes of UTF-8; shorter texts end with zero bytes.
    void setSerialNumber(const QString &text);
    QString firmwareVersion() const;
    // Cut to five bytes of UTF-8; shorter texts end with zero bytes.
    void setFirmwareVersion(const QString &text);

private:
    unsigned char reg(int index) const;
    QString text(int first, int count) const;
    void setText(int first, int count, const QString &text);

    QByteArray block_;
    QByteArray channels_;
};

} // namespace tmx9sim
