#include "configuration.h"

#include "codes.h"
#include "receiver.h"
#include "registers.h"

namespace tmx9ctl {

namespace {

using tmx9::Field;

using tmx9::kChannelCount;

QString shown(const QString &text)
{
    return text.isNull() ? QStringLiteral("a code that is none of the options")
                         : QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

std::optional<Configuration> decodeConfiguration(const QByteArray &parameterLine,
                                                 const QByteArray &tableLine, QString *problem)
{
    const auto report = tmx9::decodeParameters(parameterLine);
    if (!report) {
        *problem = QStringLiteral("the parameter response is shorter than its length byte "
                                  "(N=%1) says")
                       .arg(tmx9::declaredLength(parameterLine));
        return std::nullopt;
    }
    const QStringList frequencies = tmx9::decodeChannelTable(tableLine);
    if (frequencies.size() < kChannelCount) {
        *problem = QStringLiteral("the channel table response holds %1 usable records, not ten")
                       .arg(frequencies.size());
        return std::nullopt;
    }

    Configuration configuration;
    configuration.olderRadio = tmx9::declaredLength(parameterLine) < tmx9::kNewerBlockLength;
    configuration.serialNumber = report->serialNumber;
    configuration.firmwareVersion = report->firmware;
    tmx9::RadioSettings &settings = configuration.settings;
    settings = tmx9::reportedSettings(*report);
    if (!tmx9::optionTexts(Field::Channel).contains(settings.channel))
        settings.channel = QString();
    settings.frequencies = frequencies.mid(0, kChannelCount);
    return configuration;
}

QStringList undecodedFields(const Configuration &configuration)
{
    QStringList keys;
    for (const ProfileOption &option : profileOptions()) {
        if ((configuration.settings.*option.member).isNull())
            keys << option.key;
    }
    return keys;
}

QStringList frequenciesOutOfRange(const Configuration &configuration)
{
    QStringList keys;
    const QStringList &frequencies = configuration.settings.frequencies;
    for (int channel = 0; channel < frequencies.size(); ++channel) {
        if (!tmx9::normalizeFrequency(frequencies.at(channel)))
            keys << frequencyName(channel);
    }
    return keys;
}

QString uncheckedNote(const Comparison &comparison)
{
    return comparison.unchecked.isEmpty()
               ? QString()
               : QStringLiteral("; not checked, an older radio does not report them: %1")
                     .arg(comparison.unchecked.join(QStringLiteral(", ")));
}

Comparison compareConfiguration(const tmx9::RadioSettings &expected, const Configuration &readBack,
                                const QString &expectedAs)
{
    Comparison comparison;
    for (const ProfileOption &option : profileOptions()) {
        const QString &wrote = expected.*option.member;
        const QString &reports = readBack.settings.*option.member;
        const bool unreportable =
            readBack.olderRadio && (option.field == Field::Modulation ||
                                    (option.field == Field::AirBaud && reports.isNull()));
        if (unreportable) {
            comparison.unchecked << option.key;
            continue;
        }
        if (wrote != reports)
            comparison.differences << QStringLiteral("%1: %2 \"%3\", radio reports %4")
                                          .arg(option.key, expectedAs, wrote, shown(reports));
    }
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const QString wrote =
            tmx9::normalizeFrequency(expected.frequencies.value(channel)).value_or(QString());
        const QString reports = readBack.settings.frequencies.value(channel);
        if (wrote != reports)
            comparison.differences
                << QStringLiteral("%1: %2 \"%3\", radio reports %4")
                       .arg(frequencyName(channel), expectedAs, wrote, shown(reports));
    }
    return comparison;
}

} // namespace tmx9ctl
