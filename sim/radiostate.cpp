#include "radiostate.h"

#include "codes.h"
#include "frames.h"
#include "registers.h"

#include <utility>

namespace tmx9sim {

namespace {

using tmx9::Field;
namespace reg = tmx9::reg;

constexpr int kChannelRegister = tmx9::kChannelStartRegister;
constexpr int kShownChannels = tmx9::kChannelCount;

// What registers 65 and 66 hold after the text commands.
char code(Field field, const char *text)
{
    return static_cast<char>(*tmx9::registerCode(field, QLatin1String(text)));
}
char lora()
{
    return code(Field::Modulation, "LORA");
}
char fsk9600()
{
    return code(Field::FskAirBaud, "9600");
}

QByteArray defaultBlock()
{
    QByteArray block(RadioState::kNewBlockLength, '\0');
    // Registers 9-12 and 18-19 hold what the tool always writes there.
    const QByteArray afterProtocol = tmx9::encode(Field::Protocol, QStringLiteral("MAC")).mid(1);
    const QByteArray afterRepeater = tmx9::encode(Field::Repeater, QStringLiteral("enable")).mid(1);
    block.replace(reg::kProtocol + 1, afterProtocol.size(), afterProtocol);
    block.replace(reg::kRepeater + 1, afterRepeater.size(), afterRepeater);
    block[reg::kModulation] = lora();
    block[reg::kFskAirBaud] = fsk9600();
    return block;
}

QByteArray defaultChannelRecords()
{
    QByteArray records;
    for (int channel = 0; channel < RadioState::kRecordCount; ++channel)
        records += tmx9::frequencyToRecord(QString::number(454.05 + channel, 'f', 4));
    return records;
}

bool isLine(const QByteArray &line, const char *command)
{
    return line + tmx9::kCrLf == command;
}

} // namespace

RadioState::RadioState(Firmware firmware)
    : block_(defaultBlock()), channels_(defaultChannelRecords())
{
    setSettings(tmx9::defaultSettings());
    setSerialNumber(QStringLiteral("SN0001"));
    setFirmwareVersion(QStringLiteral("V2.10"));
    setFirmware(firmware);
}

Firmware RadioState::firmware() const
{
    return block_.size() >= kNewBlockLength ? Firmware::New : Firmware::Old;
}

void RadioState::setFirmware(Firmware firmware)
{
    if (firmware == Firmware::Old) {
        block_.resize(kOldBlockLength);
        return;
    }
    const int oldSize = block_.size();
    if (oldSize >= kNewBlockLength)
        return;
    block_.append(QByteArray(kNewBlockLength - oldSize, '\0'));
    // On a shorter block these registers meant something else.
    block_[reg::kModulation] = lora();
    block_[reg::kFskAirBaud] = fsk9600();
}

void RadioState::setParameterBlock(const QByteArray &block)
{
    block_ = block.left(kMaxBlockLength);
}

bool RadioState::setChannelRecords(const QByteArray &records)
{
    if (records.size() != kChannelTableLength)
        return false;
    channels_ = records;
    return true;
}

bool RadioState::write(int startRegister, const QByteArray &data)
{
    QByteArray *area = &block_;
    int offset = startRegister;
    if (startRegister >= kChannelRegister) {
        area = &channels_;
        offset = startRegister - kChannelRegister;
    }
    if (offset < 0 || offset + data.size() > area->size())
        return false;
    area->replace(offset, data.size(), data);
    return true;
}

RadioState::CommandOutcome RadioState::applyCommand(const QByteArray &line)
{
    const std::pair<const char *, std::pair<int, char>> commands[] = {
        {tmx9::kSetLora, {reg::kModulation, lora()}},
        {tmx9::kSetFsk, {reg::kModulation, code(Field::Modulation, "FSK")}},
        {tmx9::kSetAirBaud9600, {reg::kFskAirBaud, fsk9600()}},
        {tmx9::kSetAirBaud19200, {reg::kFskAirBaud, code(Field::FskAirBaud, "19200")}},
    };
    for (const auto &[command, target] : commands) {
        if (!isLine(line, command))
            continue;
        const auto [index, value] = target;
        if (firmware() == Firmware::Old) {
            // A LoRa-only radio is already in LoRa; it knows nothing of FSK.
            return command == tmx9::kSetLora ? CommandOutcome::Applied : CommandOutcome::Refused;
        }
        block_[index] = value;
        return CommandOutcome::Applied;
    }
    return CommandOutcome::Unknown;
}

unsigned char RadioState::reg(int index) const
{
    return index < block_.size() ? static_cast<unsigned char>(block_.at(index)) : 0;
}

tmx9::RadioSettings RadioState::settings() const
{
    const auto show = [this](tmx9::Field field, int index) {
        return tmx9::decode(field, reg(index)).value_or(QString());
    };
    tmx9::RadioSettings settings;
    settings.modulation = firmware() == Firmware::New ? show(Field::Modulation, reg::kModulation)
                                                      : QStringLiteral("LORA");
    settings.protocol = show(Field::Protocol, reg::kProtocol);
    settings.power = show(Field::Power, reg::kPower);
    settings.channel = show(Field::Channel, reg::kChannel);
    settings.airBaud = settings.modulation == QLatin1String("FSK")
                           ? show(Field::FskAirBaud, reg::kFskAirBaud)
                           : show(Field::AirBaud, reg::kAirBaud);
    settings.serialBaud = show(Field::SerialBaud, reg::kSerialBaud);
    settings.repeater = show(Field::Repeater, reg::kRepeater);
    settings.workMode = show(Field::WorkMode, reg::kWorkMode);
    for (int channel = 0; channel < kShownChannels; ++channel) {
        const QByteArray record = channels_.mid(channel * kRecordLength, kRecordLength);
        settings.frequencies << tmx9::recordToFrequency(record).value_or(QString());
    }
    return settings;
}

bool RadioState::setSettings(const tmx9::RadioSettings &settings)
{
    QByteArray data;
    for (const Field field : tmx9::kParameterFrameFields) {
        const QByteArray bytes = tmx9::encode(field, settings.*tmx9::settingOf(field));
        if (bytes.isEmpty())
            return false;
        data += bytes;
    }

    const bool fsk = settings.modulation == QLatin1String("FSK");
    if (!fsk && settings.modulation != QLatin1String("LORA"))
        return false;
    char fskAirBaud = reg(reg::kFskAirBaud);
    if (const auto code = tmx9::registerCode(Field::FskAirBaud, settings.airBaud))
        fskAirBaud = static_cast<char>(*code);
    else if (fsk)
        return false;

    if (settings.frequencies.size() > kShownChannels ||
        block_.size() < reg::kWorkMode + data.size())
        return false;
    QByteArray records;
    for (const QString &frequency : settings.frequencies) {
        const auto normalized = tmx9::normalizeFrequency(frequency);
        if (!normalized)
            return false;
        records += tmx9::frequencyToRecord(*normalized);
    }

    write(reg::kWorkMode, data);
    write(kChannelRegister, records);
    if (firmware() == Firmware::New) {
        block_[reg::kModulation] = code(Field::Modulation, fsk ? "FSK" : "LORA");
        block_[reg::kFskAirBaud] = fskAirBaud;
    }
    return true;
}

int RadioState::serialRate() const
{
    if (reg::kSerialBaud >= block_.size())
        return 0;
    return tmx9::decode(tmx9::Field::SerialBaud, reg(reg::kSerialBaud)).value_or(QString()).toInt();
}

QString RadioState::text(int first, int count) const
{
    QByteArray bytes = block_.mid(first, count);
    const int end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    return QString::fromUtf8(bytes);
}

void RadioState::setText(int first, int count, const QString &text)
{
    QByteArray bytes = text.toUtf8().left(count);
    bytes.append(QByteArray(count - bytes.size(), '\0'));
    const int room = qMin(count, block_.size() - first);
    if (room <= 0)
        return;
    block_.replace(first, room, bytes.left(room));
}

QString RadioState::serialNumber() const
{
    return text(reg::kSerialNumber, reg::kSerialNumberLength);
}

void RadioState::setSerialNumber(const QString &text)
{
    setText(reg::kSerialNumber, reg::kSerialNumberLength, text);
}

QString RadioState::firmwareVersion() const
{
    return text(reg::kFirmwareVersion, reg::kFirmwareVersionLength);
}

void RadioState::setFirmwareVersion(const QString &text)
{
    setText(reg::kFirmwareVersion, reg::kFirmwareVersionLength, text);
}

} // namespace tmx9sim
