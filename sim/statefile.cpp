#include "statefile.h"

#include "cappedfile.h"
#include "codes.h"
#include "jsonwords.h"
#include "registers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace tmx9sim {

namespace {

const QLatin1String kFirmwareKey("firmware");
const QLatin1String kParameterBlockKey("parameterBlock");
const QLatin1String kChannelTableKey("channelTable");
const QLatin1String kChannelRecordsKey("channelRecords");
const QLatin1String kSettingsKey("settings");
const QLatin1String kSerialNumberKey("serialNumber");
const QLatin1String kFirmwareVersionKey("firmwareVersion");
const QLatin1String kFrequenciesKey("frequencies");

// The registers the settings are written to: the parameter frame's, 7 to 19.
constexpr int kSettingsEnd = tmx9::reg::kRepeater + 3;

struct SettingKey
{
    QLatin1String key;
    tmx9::Field field;
};
const SettingKey kSettingKeys[] = {
    {QLatin1String("modulation"), tmx9::Field::Modulation},
    {QLatin1String("protocol"), tmx9::Field::Protocol},
    {QLatin1String("power"), tmx9::Field::Power},
    {QLatin1String("channel"), tmx9::Field::Channel},
    {QLatin1String("airBaud"), tmx9::Field::AirBaud},
    {QLatin1String("serialBaud"), tmx9::Field::SerialBaud},
    {QLatin1String("repeater"), tmx9::Field::Repeater},
    {QLatin1String("workMode"), tmx9::Field::WorkMode},
};

// Reads one key; every message begins with the key's name.
class Reader
{
public:
    explicit Reader(QString *error) : error_(error) {}

    bool fail(const QString &key, const QString &problem)
    {
        *error_ = QStringLiteral("\"%1\": %2").arg(key, problem);
        return false;
    }

    bool text(const QString &key, const QJsonValue &value, QString *out)
    {
        if (!value.isString())
            return fail(key,
                        QStringLiteral("expected a text, got %1").arg(tmx9::jsonKindName(value)));
        *out = value.toString();
        return true;
    }

    // Hex digits, two a byte; any case.
    bool hex(const QString &key, const QJsonValue &value, int maxBytes, QByteArray *out)
    {
        static const QRegularExpression digits(QStringLiteral("^(?:[0-9A-Fa-f]{2})*$"));
        QString text;
        if (!this->text(key, value, &text))
            return false;
        if (!digits.match(text).hasMatch())
            return fail(key, QStringLiteral("expected hex text, two digits a byte"));
        if (text.size() > 2 * maxBytes)
            return fail(key, QStringLiteral("%1 bytes, more than the %2 it holds")
                                 .arg(text.size() / 2)
                                 .arg(maxBytes));
        *out = QByteArray::fromHex(text.toLatin1());
        return true;
    }

    // False when the block ends before register `end` - 1, which `key` writes.
    bool blockHolds(const QString &key, const RadioState &state, int end)
    {
        const int size = state.parameterBlock().size();
        return size >= end || fail(key, QStringLiteral("a parameter block of %1 bytes is too short "
                                                       "for it (registers up to %2)")
                                            .arg(size)
                                            .arg(end - 1));
    }

    bool unknownKeys(const QString &where, const QJsonObject &object, const QStringList &known)
    {
        QStringList unknown;
        for (const QString &key : object.keys()) {
            if (!known.contains(key))
                unknown << QLatin1Char('"') + key + QLatin1Char('"');
        }
        if (unknown.isEmpty())
            return true;
        *error_ = QStringLiteral("%1unknown key%2 %3; the keys are %4")
                      .arg(where, unknown.size() > 1 ? QStringLiteral("s") : QString(),
                           unknown.join(QStringLiteral(", ")), known.join(QStringLiteral(", ")));
        return false;
    }

private:
    QString *error_;
};

bool readChannelRecords(Reader &reader, const QJsonValue &value, QByteArray *records)
{
    QString text;
    if (!reader.text(kChannelRecordsKey, value, &text))
        return false;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return reader.fail(kChannelRecordsKey,
                               QStringLiteral("holds a character that is not one byte"));
    }
    *records = text.toLatin1();
    return true;
}

bool readFrequencies(Reader &reader, const QJsonValue &value, QStringList *frequencies)
{
    const QString key = QStringLiteral("settings.frequencies");
    if (!value.isArray() || value.toArray().size() > tmx9::kChannelCount)
        return reader.fail(key, QStringLiteral("expected a list of up to ten texts"));
    const QJsonArray texts = value.toArray();
    for (int channel = 0; channel < texts.size(); ++channel) {
        const QString name = QStringLiteral("%1[%2]").arg(key).arg(channel);
        QString text;
        if (!reader.text(name, texts.at(channel), &text))
            return false;
        if (!tmx9::normalizeFrequency(text))
            return reader.fail(
                name, QStringLiteral("\"%1\" is not a frequency from 200 to 500 MHz").arg(text));
        *frequencies << text;
    }
    return true;
}

bool readSettings(Reader &reader, const QJsonValue &value, RadioState *state)
{
    if (!value.isObject())
        return reader.fail(
            kSettingsKey,
            QStringLiteral("expected an object, got %1").arg(tmx9::jsonKindName(value)));
    const QJsonObject object = value.toObject();
    QStringList known;
    for (const SettingKey &setting : kSettingKeys)
        known << setting.key;
    known << kFrequenciesKey;
    if (!reader.unknownKeys(QStringLiteral("\"settings\": "), object, known))
        return false;

    // What the file leaves out stays as the radio holds it; frequencies only when given.
    tmx9::RadioSettings settings = state->settings();
    settings.frequencies.clear();
    for (const SettingKey &setting : kSettingKeys) {
        const QJsonValue text = object.value(setting.key);
        if (!text.isUndefined() && !reader.text(QStringLiteral("settings.%1").arg(setting.key),
                                                text, &(settings.*tmx9::settingOf(setting.field))))
            return false;
    }
    if (object.contains(kFrequenciesKey) &&
        !readFrequencies(reader, object.value(kFrequenciesKey), &settings.frequencies))
        return false;

    if (!reader.blockHolds(kSettingsKey, *state, kSettingsEnd))
        return false;
    for (const SettingKey &setting : kSettingKeys) {
        const QString text = settings.*tmx9::settingOf(setting.field);
        const QStringList options = tmx9::optionTexts(setting.field);
        if (options.contains(text))
            continue;
        const QString key = QStringLiteral("settings.%1").arg(setting.key);
        const QString choices = options.join(QStringLiteral(", "));
        if (!object.contains(setting.key)) // a code outside the table, left from the block
            return reader.fail(key,
                               QStringLiteral("the radio holds none of %1; give one").arg(choices));
        return reader.fail(key, QStringLiteral("\"%1\" is not one of %2").arg(text, choices));
    }
    const bool fsk = settings.modulation == QLatin1String("FSK");
    // An older radio has no modulation register to hold it.
    if (fsk && state->firmware() == Firmware::Old)
        return reader.fail(QStringLiteral("settings.modulation"),
                           QStringLiteral("an older radio (fewer than %1 registers) knows only "
                                          "LORA")
                               .arg(RadioState::kNewBlockLength));
    if (fsk != tmx9::isFskAirBaud(settings.airBaud) || !state->setSettings(settings))
        return reader.fail(QStringLiteral("settings.airBaud"),
                           QStringLiteral("\"%1\" does not go with modulation \"%2\"")
                               .arg(settings.airBaud, settings.modulation));
    return true;
}

// A text that ends in the registers past the block's end would be lost.
bool readText(Reader &reader, const QString &key, const QJsonValue &value, int end,
              RadioState *state, void (RadioState::*set)(const QString &))
{
    QString text;
    if (!reader.text(key, value, &text))
        return false;
    if (!reader.blockHolds(key, *state, end))
        return false;
    (state->*set)(text);
    return true;
}

} // namespace

bool loadState(const QByteArray &json, RadioState *state, QString *error)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError
                     ? QStringLiteral("not JSON: %1 at byte %2")
                           .arg(parseError.errorString())
                           .arg(parseError.offset)
                     : QStringLiteral("expected a JSON object { ... }");
        return false;
    }
    const QJsonObject root = document.object();
    Reader reader(error);
    if (!reader.unknownKeys(QString(), root,
                            {kFirmwareKey, kParameterBlockKey, kChannelTableKey, kChannelRecordsKey,
                             kSettingsKey, kSerialNumberKey, kFirmwareVersionKey}))
        return false;
    RadioState result = *state;

    if (root.contains(kFirmwareKey)) {
        QString firmware;
        if (!reader.text(kFirmwareKey, root.value(kFirmwareKey), &firmware))
            return false;
        if (firmware == QLatin1String("old"))
            result.setFirmware(Firmware::Old);
        else if (firmware == QLatin1String("new"))
            result.setFirmware(Firmware::New);
        else
            return reader.fail(kFirmwareKey, QStringLiteral("expected \"old\" or \"new\", got "
                                                            "\"%1\"")
                                                 .arg(firmware));
    }
    if (root.contains(kParameterBlockKey)) {
        QByteArray block;
        if (!reader.hex(kParameterBlockKey, root.value(kParameterBlockKey),
                        RadioState::kMaxBlockLength, &block))
            return false;
        result.setParameterBlock(block);
    }
    if (root.contains(kChannelTableKey) && root.contains(kChannelRecordsKey))
        return reader.fail(kChannelRecordsKey,
                           QStringLiteral("give the channel table once, as \"channelTable\""));
    if (root.contains(kChannelTableKey) || root.contains(kChannelRecordsKey)) {
        const bool hex = root.contains(kChannelTableKey);
        const QString key = hex ? kChannelTableKey : kChannelRecordsKey;
        QByteArray records;
        if (hex ? !reader.hex(key, root.value(key), RadioState::kChannelTableLength, &records)
                : !readChannelRecords(reader, root.value(key), &records))
            return false;
        if (!result.setChannelRecords(records))
            return reader.fail(key, QStringLiteral("%1 bytes; the 20 records are %2")
                                        .arg(records.size())
                                        .arg(RadioState::kChannelTableLength));
    }
    if (root.contains(kSettingsKey) && !readSettings(reader, root.value(kSettingsKey), &result))
        return false;
    namespace reg = tmx9::reg;
    if (root.contains(kSerialNumberKey) &&
        !readText(reader, kSerialNumberKey, root.value(kSerialNumberKey),
                  reg::kSerialNumber + reg::kSerialNumberLength, &result,
                  &RadioState::setSerialNumber))
        return false;
    if (root.contains(kFirmwareVersionKey) &&
        !readText(reader, kFirmwareVersionKey, root.value(kFirmwareVersionKey),
                  reg::kFirmwareVersion + reg::kFirmwareVersionLength, &result,
                  &RadioState::setFirmwareVersion))
        return false;

    *state = result;
    return true;
}

bool loadStateFile(const QString &path, RadioState *state, QString *error)
{
    QString why;
    const auto json = tmx9::readCappedFile(path, kMaxStateFileBytes, &why);
    if (!json || !loadState(*json, state, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

QByteArray stateJson(const RadioState &state)
{
    const auto hex = [](const QByteArray &bytes) {
        return QString::fromLatin1(bytes.toHex().toUpper());
    };
    const QJsonObject root{
        {kParameterBlockKey, hex(state.parameterBlock())},
        {kChannelTableKey, hex(state.channelRecords())},
    };
    return QJsonDocument(root).toJson();
}

bool saveStateFile(const QString &path, const RadioState &state, QString *error)
{
    QSaveFile file(path);
    const QByteArray json = stateJson(state);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace tmx9sim
