// Profiles: no radio needed.
#include "frames.h"
#include "profile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using tmx9::RadioSettings;

namespace {

QJsonObject validProfile()
{
    return QJsonDocument::fromJson(tmx9ctl::profileJson({tmx9::defaultSettings(), "SN1", "V1"}))
        .object();
}

// `key`: a key, "frequencies[N]" for one entry, or "raw" to use `value` as the whole text. An
// undefined value removes the key.
QByteArray changed(const QString &key, const QJsonValue &value)
{
    if (key == QLatin1String("raw"))
        return value.toString().toUtf8();
    QJsonObject profile = validProfile();
    if (key.startsWith(QLatin1String("frequencies["))) {
        QJsonArray list = profile.value("frequencies").toArray();
        list[key.mid(12).chopped(1).toInt()] = value;
        profile.insert("frequencies", list);
    } else if (value.isUndefined()) {
        profile.remove(key);
    } else {
        profile.insert(key, value);
    }
    return QJsonDocument(profile).toJson();
}

// The valid profile with `key` given once more, first, holding `json`.
QString withDuplicate(const QString &key, const QString &json)
{
    return QString::fromUtf8(QJsonDocument(validProfile()).toJson())
        .replace(0, 1, QStringLiteral("{\n    \"%1\": %2,").arg(key, json));
}

} // namespace

class CliProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void validation_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("problem"); // its start; empty: accepted

        const QString f3 = QStringLiteral("frequencies[3] (channel 3): ");
        QTest::newRow("199.9999") << "frequencies[3]" << QJsonValue("199.9999")
                                  << f3 + "\"199.9999\" is outside 200.0000 to 500.0000 MHz";
        QTest::newRow("500.0001") << "frequencies[3]" << QJsonValue("500.0001") << f3 + "\"500";
        QTest::newRow("not a number") << "frequencies[3]" << QJsonValue("abc") << f3 + "\"abc\"";
        QTest::newRow("five decimals") << "frequencies[3]" << QJsonValue("454.12345") << f3;
        QTest::newRow("exponent") << "frequencies[3]" << QJsonValue("4.5e2") << f3;
        QTest::newRow("a number") << "frequencies[3]" << QJsonValue(454.05) << f3;
        QTest::newRow("nine") << "frequencies" << QJsonValue(QJsonArray{"454.0500"})
                              << "frequencies: expected ten frequencies";
        QTest::newRow("no frequencies")
            << "frequencies" << QJsonValue(QJsonValue::Undefined) << "frequencies: missing";
        QTest::newRow("200") << "frequencies[3]" << QJsonValue("200") << "";
        QTest::newRow("500.0000") << "frequencies[3]" << QJsonValue("500.0000") << "";
        QTest::newRow("454.05") << "frequencies[3]" << QJsonValue("454.05") << "";

        // Exact case: the window's texts and nothing else.
        for (const tmx9ctl::ProfileOption &option : tmx9ctl::profileOptions()) {
            const QString text = tmx9::optionTexts(option.field).first();
            const QString wrong = text.toLower() != text ? text.toLower() : text + '0';
            QTest::addRow("%s %s", option.key.data(), qPrintable(wrong))
                << QString(option.key) << QJsonValue(wrong) << option.key + ": \"" + wrong;
        }
        QTest::newRow("channel as number")
            << "currentChannel" << QJsonValue(3) << "currentChannel: expected a text";
        QTest::newRow("no workMode")
            << "workMode" << QJsonValue(QJsonValue::Undefined) << "workMode: missing";
        QTest::newRow("FSK with 11000") << "modulation" << QJsonValue("FSK")
                                        << "airBaud: \"11000\" does not go with modulation \"FSK\"";
        QTest::newRow("LORA with 9600") << "airBaud" << QJsonValue("9600")
                                        << "airBaud: \"9600\" does not go with modulation \"LORA\"";
        QTest::newRow("unknown key")
            << "airbaud" << QJsonValue("9600") << "\"airbaud\": unknown key";
        QTest::newRow("serial number ignored") << "serialNumber" << QJsonValue(7) << "";
        QTest::newRow("broken JSON") << "raw" << QJsonValue("{\n \"power\": \"H\",\n}")
                                     << "not valid JSON: object is missing after a comma at line 3";
        QTest::newRow("a list") << "raw" << QJsonValue("[]") << "expected a JSON object";
        // Texts are taken exactly; JSON would let the last of two keys win silently.
        QTest::newRow("a line break after a frequency")
            << "frequencies[3]" << QJsonValue("454.0500\n")
            << f3 + "\"454.0500\\u000A\" is not a frequency in MHz with at most four decimals, "
                    "such as \"454.0500\" (spaces or line breaks around it";
        QTest::newRow("a space before an option")
            << "power" << QJsonValue(" H")
            << "power: \" H\" is not one of H, L (exact case) (spaces";
        QTest::newRow("a key twice")
            << "raw" << QJsonValue(withDuplicate("power", "\"H\"")) << "\"power\": given twice";
        QTest::newRow("a list twice")
            << "raw" << QJsonValue(withDuplicate("frequencies", "[\"1\"]"))
            << "\"frequencies\": given twice";
        QTest::newRow("a key twice, spelt otherwise")
            << "raw" << QJsonValue(withDuplicate("p\\u006fwer", "\"H\""))
            << "\"power\": given twice";
        // A profile must not be able to make a message say something else on a terminal.
        QTest::newRow("escape sequences")
            << "power" << QJsonValue("\u001b[2K\rprofile OK, written\u202e")
            << "power: \"\\u001B[2K\\u000Dprofile OK, written\\u202E\" is not one of H, L";
    }

    // A list of any length costs one line, and a few lines for its first entries.
    void longListIsRefusedInAFewLines()
    {
        // Long enough to show the cap; a longer list costs minutes under the sanitizers' slow
        // unwinder on a busy machine and shows nothing more.
        QJsonObject profile = validProfile();
        QJsonArray list;
        for (int entry = 0; entry < 2000; ++entry)
            list.append("x");
        profile.insert("frequencies", list);
        const QStringList problems = tmx9ctl::readProfile(QJsonDocument(profile).toJson(), nullptr);
        QCOMPARE(problems.first(),
                 QStringLiteral("frequencies: expected ten frequencies (channels 0 to 9), got "
                                "2000"));
        QCOMPARE(problems.size(), 12);
        QCOMPARE(problems.last(), QStringLiteral("frequencies: 1990 more wrong entries after the "
                                                 "first 10, not listed"));
    }

    void validation()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(QString, problem);
        RadioSettings settings;
        settings.protocol.clear();
        const QStringList problems = tmx9ctl::readProfile(changed(key, value), &settings);
        if (problem.isEmpty()) {
            QCOMPARE(problems, QStringList());
            QCOMPARE(settings.frequencies.value(3),
                     tmx9::normalizeFrequency(value.toString()).value_or("457.0500"));
            return;
        }
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().startsWith(problem), qPrintable(problems.first()));
        QVERIFY(settings.protocol.isEmpty()); // nothing taken from a refused profile
    }

    void everyProblemIsReported()
    {
        QJsonObject profile = validProfile();
        profile.insert("power", "M");
        profile.insert("modulation", "fsk"); // not an option: no contradiction reported
        profile.insert("airBaud", "9600");
        profile.insert("extra", 1);
        QJsonArray list = profile.value("frequencies").toArray();
        list[2] = "100";
        list[7] = "x";
        profile.insert("frequencies", list);
        QStringList fields;
        for (const QString &problem :
             tmx9ctl::readProfile(QJsonDocument(profile).toJson(), nullptr))
            fields << problem.section(QLatin1String(": "), 0, 0);
        QCOMPARE(fields, (QStringList{"\"extra\"", "modulation", "power",
                                      "frequencies[2] (channel 2)", "frequencies[7] (channel 7)"}));
    }

    void exampleProfileIsValid()
    {
        QFile file(QStringLiteral(TMX9_EXAMPLE_PROFILE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        RadioSettings settings;
        QCOMPARE(tmx9ctl::readProfile(file.readAll(), &settings), QStringList());
        QVERIFY(!tmx9::writeConfigPlan(settings).isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliProfileTest)
#include "tst_cli_profile.moc"
