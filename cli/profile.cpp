#include "profile.h"

#include "jsonwords.h"
#include "printable.h"
#include "registers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>
#include <QVector>

namespace tmx9ctl {

namespace {

using tmx9::Field;
using tmx9::RadioSettings;

using tmx9::kChannelCount;

// Per-entry problems listed at most: a list of millions must not print millions of lines.
constexpr int kMaxListedEntries = 10;

// What a text that differs from an option or a frequency only by white space is told.
QString whiteSpaceNote(const QString &text)
{
    return text.trimmed() != text ? QStringLiteral(" (spaces or line breaks around it: texts are "
                                                   "taken exactly)")
                                  : QString();
}

// Keys that stand twice in one object (JSON takes the last one silently), each named once.
// `json` is already known to parse.
QStringList duplicateKeys(const QByteArray &json)
{
    struct Level
    {
        bool object;
        QSet<QString> keys;
    };
    QVector<Level> levels;
    QStringList found;
    bool keyNext = false;
    for (int i = 0; i < json.size(); ++i) {
        switch (json.at(i)) {
        case '{':
            levels.append(Level{true, {}});
            keyNext = true;
            break;
        case '[':
            levels.append(Level{false, {}});
            keyNext = false;
            break;
        case '}':
        case ']':
            levels.removeLast();
            keyNext = false;
            break;
        case ',':
            keyNext = !levels.isEmpty() && levels.last().object;
            break;
        case '"': {
            int end = i + 1;
            while (end < json.size() && json.at(end) != '"')
                end += json.at(end) == '\\' ? 2 : 1;
            if (keyNext) {
                const QByteArray literal = '[' + json.mid(i, end - i + 1) + ']';
                const QString key = QJsonDocument::fromJson(literal).array().at(0).toString();
                if (levels.last().keys.contains(key) && !found.contains(key))
                    found << key;
                levels.last().keys.insert(key);
                keyNext = false;
            }
            i = end;
            break;
        }
        default:
            break;
        }
    }
    return found;
}

// A JSON string literal, escaped as JSON requires; null for a null text.
QByteArray jsonText(const QString &text)
{
    if (text.isNull())
        return "null";
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Line and column of a byte offset, for a parse error a person can find.
QString position(const QByteArray &json, int offset)
{
    const QByteArray before = json.left(offset);
    const int line = before.count('\n') + 1;
    const int column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

bool checkOption(const QJsonObject &object, const ProfileOption &option, RadioSettings *settings,
                 QStringList *problems)
{
    const QStringList texts = tmx9::optionTexts(option.field);
    const QString choices = texts.join(QStringLiteral(", "));
    const QJsonValue value = object.value(option.key);
    if (value.isUndefined()) {
        *problems << QStringLiteral("%1: missing; one of %2").arg(option.key, choices);
        return false;
    }
    if (!value.isString()) {
        *problems << QStringLiteral("%1: expected a text, one of %2; got %3")
                         .arg(option.key, choices, tmx9::jsonKindName(value));
        return false;
    }
    const QString text = value.toString();
    if (!texts.contains(text, Qt::CaseSensitive)) {
        *problems << QStringLiteral("%1: %2 is not one of %3 (exact case)%4")
                         .arg(option.key, quoted(text), choices, whiteSpaceNote(text));
        return false;
    }
    settings->*option.member = text;
    return true;
}

void checkFrequencies(const QJsonObject &object, RadioSettings *settings, QStringList *problems)
{
    const QLatin1String key(kFrequenciesKey);
    const QJsonValue value = object.value(key);
    if (!value.isArray()) {
        *problems << QStringLiteral("%1: %2; expected a list of ten texts such as \"454.0500\", "
                                    "channels 0 to 9")
                         .arg(key, value.isUndefined()
                                       ? QStringLiteral("missing")
                                       : QStringLiteral("got ") + tmx9::jsonKindName(value));
        return;
    }
    const QJsonArray list = value.toArray();
    if (list.size() != kChannelCount)
        *problems << QStringLiteral("%1: expected ten frequencies (channels 0 to 9), got %2")
                         .arg(key)
                         .arg(list.size());

    // Plain decimal notation, at most four decimals: what the window lets a person type, and
    // nothing around it (\\z: "$" would let a final line break through).
    static const QRegularExpression plain(QStringLiteral("\\A[0-9]+(\\.[0-9]{1,4})?\\z"));
    QStringList frequencies;
    int unlisted = 0;
    for (int channel = 0; channel < list.size(); ++channel) {
        const QJsonValue entry = list.at(channel);
        const QString name = frequencyName(channel);
        const int before = problems->size();
        const auto listed = [&] {
            if (problems->size() - before > 0 && channel >= kMaxListedEntries) {
                problems->removeLast();
                ++unlisted;
            }
        };
        if (!entry.isString()) {
            *problems << QStringLiteral("%1: expected a text such as \"454.0500\", got %2")
                             .arg(name, tmx9::jsonKindName(entry));
            listed();
            continue;
        }
        const QString text = entry.toString();
        if (!plain.match(text).hasMatch()) {
            *problems << QStringLiteral("%1: %2 is not a frequency in MHz with at most four "
                                        "decimals, such as \"454.0500\"%3")
                             .arg(name, quoted(text), whiteSpaceNote(text));
            listed();
            continue;
        }
        const auto normalized = tmx9::normalizeFrequency(text);
        if (!normalized) {
            *problems << QStringLiteral("%1: %2 is outside 200.0000 to 500.0000 MHz")
                             .arg(name, quoted(text));
            listed();
            continue;
        }
        frequencies << *normalized;
    }
    if (unlisted > 0)
        *problems << QStringLiteral("%1: %2 more wrong entries after the first %3, not listed")
                         .arg(key)
                         .arg(unlisted)
                         .arg(kMaxListedEntries);
    settings->frequencies = frequencies;
}

} // namespace

const std::array<ProfileOption, 8> &profileOptions()
{
    static const std::array<ProfileOption, 8> options = {{
        {QLatin1String("modulation"), Field::Modulation, &RadioSettings::modulation},
        {QLatin1String("protocol"), Field::Protocol, &RadioSettings::protocol},
        {QLatin1String("power"), Field::Power, &RadioSettings::power},
        {QLatin1String("currentChannel"), Field::Channel, &RadioSettings::channel},
        {QLatin1String("airBaud"), Field::AirBaud, &RadioSettings::airBaud},
        {QLatin1String("serialBaud"), Field::SerialBaud, &RadioSettings::serialBaud},
        {QLatin1String("repeater"), Field::Repeater, &RadioSettings::repeater},
        {QLatin1String("workMode"), Field::WorkMode, &RadioSettings::workMode},
    }};
    return options;
}

QString frequencyName(int channel)
{
    return QStringLiteral("%1[%2] (channel %2)").arg(QLatin1String(kFrequenciesKey)).arg(channel);
}

QStringList airBaudRatesOf(const QString &modulation)
{
    // Taken from the codes the reader knows, so the rule cannot drift from the register map.
    const Field field = modulation == QLatin1String("FSK") ? Field::FskAirBaud : Field::AirBaud;
    QStringList rates;
    for (int byte = 0; byte < 256; ++byte) {
        if (const auto text = tmx9::decode(field, static_cast<unsigned char>(byte)))
            rates << *text;
    }
    QStringList ordered; // in the window's order
    for (const QString &text : tmx9::optionTexts(Field::AirBaud)) {
        if (rates.contains(text))
            ordered << text;
    }
    return ordered;
}

QByteArray profileJson(const Configuration &configuration)
{
    const RadioSettings &settings = configuration.settings;
    QByteArray json = "{\n";
    for (const ProfileOption &option : profileOptions())
        json += "    \"" + QByteArray(option.key.data(), option.key.size()) +
                "\": " + jsonText(settings.*option.member) + ",\n";
    json += QByteArray("    \"") + kFrequenciesKey + "\": [\n";
    for (int channel = 0; channel < settings.frequencies.size(); ++channel) {
        json += "        " + jsonText(settings.frequencies.at(channel));
        json += channel + 1 < settings.frequencies.size() ? ",\n" : "\n";
    }
    json += "    ],\n";
    json += QByteArray("    \"") + kSerialNumberKey +
            "\": " + jsonText(configuration.serialNumber) + ",\n";
    json += QByteArray("    \"") + kFirmwareVersionKey +
            "\": " + jsonText(configuration.firmwareVersion) + "\n";
    json += "}\n";
    return json;
}

QStringList readProfile(const QByteArray &json, RadioSettings *settings)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return {QStringLiteral("not valid JSON: %1 at %2")
                    .arg(error.errorString(), position(json, error.offset))};
    if (!document.isObject())
        return {QStringLiteral("expected a JSON object { ... } holding the settings")};

    const QJsonObject object = document.object();
    QStringList problems;
    for (const QString &key : duplicateKeys(json))
        problems << QStringLiteral("%1: given twice; a key may stand once").arg(quoted(key));
    QStringList known;
    for (const ProfileOption &option : profileOptions())
        known << option.key;
    known << QLatin1String(kFrequenciesKey) << QLatin1String(kSerialNumberKey)
          << QLatin1String(kFirmwareVersionKey);

    for (const QString &key : object.keys()) {
        if (!known.contains(key))
            problems << QStringLiteral("%1: unknown key; the keys are %2")
                            .arg(quoted(key), known.join(QStringLiteral(", ")));
    }

    RadioSettings result;
    bool modulationGiven = false;
    bool airBaudGiven = false;
    for (const ProfileOption &option : profileOptions()) {
        const bool given = checkOption(object, option, &result, &problems);
        if (option.field == Field::Modulation)
            modulationGiven = given;
        else if (option.field == Field::AirBaud)
            airBaudGiven = given;
    }
    checkFrequencies(object, &result, &problems);

    // Only when both are options: otherwise their own messages say enough.
    const QStringList rates = airBaudRatesOf(result.modulation);
    if (modulationGiven && airBaudGiven && !rates.contains(result.airBaud))
        problems << QStringLiteral("airBaud: \"%1\" does not go with modulation \"%2\", which "
                                   "takes %3")
                        .arg(result.airBaud, result.modulation, rates.join(QStringLiteral(", ")));

    if (problems.isEmpty() && settings)
        *settings = result;
    return problems;
}

} // namespace tmx9ctl
