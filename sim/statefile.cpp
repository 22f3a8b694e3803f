#include "statefile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tmx9sim {

namespace {

bool readSettings(const QJsonObject &object, RadioState *state, QString *error)
{
    tmx9::RadioSettings settings = state->settings();
    const std::pair<const char *, QString *> texts[] = {
        {"modulation", &settings.modulation}, {"protocol", &settings.protocol},
        {"power", &settings.power},           {"channel", &settings.channel},
        {"airBaud", &settings.airBaud},       {"serialBaud", &settings.serialBaud},
        {"repeater", &settings.repeater},     {"workMode", &settings.workMode},
    };
    for (const auto &[key, text] : texts) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isUndefined())
            *text = value.toString();
    }
    if (object.contains(QLatin1String("frequencies"))) {
        settings.frequencies.clear();
        for (const QJsonValue &value : object.value(QLatin1String("frequencies")).toArray())
            settings.frequencies << value.toString();
    }
    if (!state->setSettings(settings)) {
        *error = QStringLiteral("\"settings\" holds a text that is not an option of its field");
        return false;
    }
    return true;
}

} // namespace

bool loadStateFile(const QString &path, RadioState *state, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1: not a JSON object (%2)").arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    RadioState result = *state;

    const QString firmware = root.value(QLatin1String("firmware")).toString();
    if (firmware == QLatin1String("old"))
        result.setFirmware(Firmware::Old);
    else if (firmware == QLatin1String("new"))
        result.setFirmware(Firmware::New);
    else if (root.contains(QLatin1String("firmware"))) {
        *error = QStringLiteral("\"firmware\" must be \"old\" or \"new\"");
        return false;
    }
    if (root.contains(QLatin1String("parameterBlock"))) {
        const QString hex = root.value(QLatin1String("parameterBlock")).toString();
        const QByteArray block = QByteArray::fromHex(hex.toLatin1());
        if (block.size() * 2 != hex.size() || block.size() > 255) {
            *error = QStringLiteral("\"parameterBlock\" must be hex text of at most 255 bytes");
            return false;
        }
        result.setParameterBlock(block);
    }
    if (root.contains(QLatin1String("channelRecords")) &&
        !result.setChannelRecords(
            root.value(QLatin1String("channelRecords")).toString().toLatin1())) {
        *error = QStringLiteral("\"channelRecords\" must be 140 characters");
        return false;
    }
    if (root.contains(QLatin1String("settings")) &&
        !readSettings(root.value(QLatin1String("settings")).toObject(), &result, error))
        return false;
    if (root.contains(QLatin1String("serialNumber")))
        result.setSerialNumber(root.value(QLatin1String("serialNumber")).toString());
    if (root.contains(QLatin1String("firmwareVersion")))
        result.setFirmwareVersion(root.value(QLatin1String("firmwareVersion")).toString());

    *state = result;
    return true;
}

bool saveStateFile(const QString &path, const RadioState &state, QString *error)
{
    const QJsonObject root{
        {QStringLiteral("parameterBlock"),
         QString::fromLatin1(state.parameterBlock().toHex().toUpper())},
        // Any byte survives: JSON escapes what is not printable.
        {QStringLiteral("channelRecords"), QString::fromLatin1(state.channelRecords())},
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 ||
        !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace tmx9sim
