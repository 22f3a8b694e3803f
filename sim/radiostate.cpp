#include "radiostate.h"

#include "codes.h"
#include "frames.h"

#include <utility>

namespace tmx9sim {

namespace {

constexpr int kMaxBlockLength = 255;
constexpr int kChannelRegister = 0x80;
constexpr int kShownChannels = 10;

constexpr int kWorkModeRegister = 7;
constexpr int kProtocolRegister = 8;
constexpr int kChannelNumberRegister = 13;
constexpr int kPowerRegister = 14;
constexpr int kAirBaudRegister = 16;
constexpr int kRepeaterRegister = 17;
constexpr int kSerialNumberRegister = 35;
constexpr int kSerialNumberLength = 6;
constexpr int kFirmwareVersionRegister = 60;
constexpr int kFirmwareVersionLength = 5;

constexpr char kLora = 0x30;
constexpr char kFsk = 0x31;
constexpr char kFsk9600 = 0x30;
constexpr char kFsk19200 = 0x31;

QByteArray defaultBlock()
{
    QByteArray block(RadioState::kNewBlockLength, '\0');
    block[9] = 0x32; // registers 9-12 and 18-19 hold what the tool always writes there
    block[10] = block[11] = block[12] = '\xFF';
    block[18] = block[19] = 0x01;
    block[RadioState::kModulationRegister] = kLora;
    block[RadioState::kFskAirBaudRegister] = kFsk9600;
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
    block_[kModulationRegister] = kLora;
    block_[kFskAirBaudRegister] = kFsk9600;
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
        {tmx9::kSetLora, {kModulationRegister, kLora}},
        {tmx9::kSetFsk, {kModulationRegister, kFsk}},
        {tmx9::kSetAirBaud9600, {kFskAirBaudRegister, kFsk9600}},
        {tmx9::kSetAirBaud19200, {kFskAirBaudRegister, kFsk19200}},
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
    settings.modulation = firmware() == Firmware::New
                              ? show(tmx9::Field::Modulation, kModulationRegister)
                              : QStringLiteral("LORA");
    settings.protocol = show(tmx9::Field::Protocol, kProtocolRegister);
    settings.power = show(tmx9::Field::Power, kPowerRegister);
    settings.channel = show(tmx9::Field::Channel, kChannelNumberRegister);
    settings.airBaud = settings.modulation == QLatin1String("FSK")
                           ? show(tmx9::Field::FskAirBaud, kFskAirBaudRegister)
                           : show(tmx9::Field::AirBaud, kAirBaudRegister);
    settings.serialBaud = show(tmx9::Field::SerialBaud, tmx9::kSerialBaudRegister);
    settings.repeater = show(tmx9::Field::Repeater, kRepeaterRegister);
    settings.workMode = show(tmx9::Field::WorkMode, kWorkModeRegister);
    for (int channel = 0; channel < kShownChannels; ++channel) {
        const QByteArray record = channels_.mid(channel * kRecordLength, kRecordLength);
        settings.frequencies << tmx9::recordToFrequency(record).value_or(QString());
    }
    return settings;
}

bool RadioState::setSettings(const tmx9::RadioSettings &settings)
{
    const std::pair<tmx9::Field, const QString *> fields[] = {
        {tmx9::Field::WorkMode, &settings.workMode},
        {tmx9::Field::Protocol, &settings.protocol},
        {tmx9::Field::Channel, &settings.channel},
        {tmx9::Field::Power, &settings.power},
        {tmx9::Field::SerialBaud, &settings.serialBaud},
        {tmx9::Field::AirBaud, &settings.airBaud},
        {tmx9::Field::Repeater, &settings.repeater},
    };
    QByteArray data;
    for (const auto &[field, text] : fields) {
        const QByteArray bytes = tmx9::encode(field, *text);
        if (bytes.isEmpty())
            return false;
        data += bytes;
    }

    const bool fsk = settings.modulation == QLatin1String("FSK");
    if (!fsk && settings.modulation != QLatin1String("LORA"))
        return false;
    char fskAirBaud = reg(kFskAirBaudRegister);
    if (settings.airBaud == QLatin1String("9600"))
        fskAirBaud = kFsk9600;
    else if (settings.airBaud == QLatin1String("19200"))
        fskAirBaud = kFsk19200;
    else if (fsk)
        return false;

    if (settings.frequencies.size() > kShownChannels)
        return false;
    QByteArray records;
    for (const QString &frequency : settings.frequencies) {
        const auto normalized = tmx9::normalizeFrequency(frequency);
        if (!normalized)
            return false;
        records += tmx9::frequencyToRecord(*normalized);
    }

    write(kWorkModeRegister, data);
    write(kChannelRegister, records);
    if (firmware() == Firmware::New) {
        block_[kModulationRegister] = fsk ? kFsk : kLora;
        block_[kFskAirBaudRegister] = fskAirBaud;
    }
    return true;
}

int RadioState::serialRate() const
{
    if (tmx9::kSerialBaudRegister >= block_.size())
        return 0;
    return tmx9::decode(tmx9::Field::SerialBaud, reg(tmx9::kSerialBaudRegister))
        .value_or(QString())
        .toInt();
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
    return text(kSerialNumberRegister, kSerialNumberLength);
}

void RadioState::setSerialNumber(const QString &text)
{
    setText(kSerialNumberRegister, kSerialNumberLength, text);
}

QString RadioState::firmwareVersion() const
{
    return text(kFirmwareVersionRegister, kFirmwareVersionLength);
}

void RadioState::setFirmwareVersion(const QString &text)
{
    setText(kFirmwareVersionRegister, kFirmwareVersionLength, text);
}

} // namespace tmx9sim
