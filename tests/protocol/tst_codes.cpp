#include "codes.h"

#include <QtTest>

using namespace tmx9;

Q_DECLARE_METATYPE(tmx9::Field)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
const std::optional<QString> unknown;
}

// Found by argument-dependent lookup, so failing rows print both values.
char *toString(const std::optional<QString> &text)
{
    return qstrdup(text ? qPrintable(*text) : "<unknown>");
}

class CodesTest : public QObject
{
    Q_OBJECT

private slots:
    void encodeTexts_data();
    void encodeTexts();
    void decodeBytes_data();
    void decodeBytes();
    void everyOptionSurvivesTheRadio();
    void normalizeFrequency_data();
    void normalizeFrequency();
    void records_data();
    void records();
};

void CodesTest::encodeTexts_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("hex");

    QTest::addRow("protocol with fixed tail")
        << Field::Protocol << "TT450S" << QByteArray("3232ffffff");
    QTest::addRow("air 6000") << Field::AirBaud << "6000" << QByteArray("40");
    QTest::addRow("FSK rate shares 31") << Field::AirBaud << "9600" << QByteArray("31");
    QTest::addRow("case matters") << Field::WorkMode << "tx" << QByteArray();
    QTest::addRow("serial 38400") << Field::SerialBaud << "38400" << QByteArray("33");
    QTest::addRow("air 18000") << Field::AirBaud << "18000" << QByteArray("34");
    QTest::addRow("lower-case protocol") << Field::Protocol << "south" << QByteArray();
    QTest::addRow("two-digit channel") << Field::Channel << "10" << QByteArray();
    QTest::addRow("empty channel") << Field::Channel << "" << QByteArray();
    QTest::addRow("no serial code 34") << Field::SerialBaud << "57600" << QByteArray();
    QTest::addRow("modulation is read only") << Field::Modulation << "LORA" << QByteArray();

    // Every code as the literal bytes the radio receives: the window, tmx9ctl and the simulated
    // radio share one table, so a wrong entry agrees with itself everywhere but here.
    const struct
    {
        const char *name;
        Field field;
        const char *text;
        const char *hex;
    } wire[] = {
        {"mode TX", Field::WorkMode, "TX", "30"},
        {"mode RX", Field::WorkMode, "RX", "31"},
        {"MAC", Field::Protocol, "MAC", "3132ffffff"},
        {"Transparent", Field::Protocol, "Transparent", "3332ffffff"},
        {"South", Field::Protocol, "South", "3432ffffff"},
        {"channel 0", Field::Channel, "0", "30"},
        {"channel 9", Field::Channel, "9", "39"},
        {"power H", Field::Power, "H", "ff"},
        {"power L", Field::Power, "L", "00"},
        {"serial 115200", Field::SerialBaud, "115200", "35"},
        {"serial 19200", Field::SerialBaud, "19200", "32"},
        {"serial 9600", Field::SerialBaud, "9600", "31"},
        {"air 11000", Field::AirBaud, "11000", "31"},
        {"air 3500", Field::AirBaud, "3500", "23"},
        {"FSK 19200 shares 31", Field::AirBaud, "19200", "31"},
        {"repeater off", Field::Repeater, "disable", "000101"},
        {"repeater on", Field::Repeater, "enable", "010101"},
    };
    for (const auto &code : wire)
        QTest::addRow("%s", code.name) << code.field << code.text << QByteArray(code.hex);
}

void CodesTest::encodeTexts()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(encode(field, text).toHex(), hex);
}

void CodesTest::decodeBytes_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<int>("byte");
    QTest::addColumn<std::optional<QString>>("text");

    QTest::addRow("work mode 31") << Field::WorkMode << 0x31 << std::optional<QString>("RX");
    QTest::addRow("work mode 32") << Field::WorkMode << 0x32 << unknown;
    QTest::addRow("power 80 is H") << Field::Power << 0x80 << std::optional<QString>("H");
    QTest::addRow("power 00 is L") << Field::Power << 0x00 << std::optional<QString>("L");
    QTest::addRow("repeater 02") << Field::Repeater << 0x02 << unknown;
    QTest::addRow("serial 34") << Field::SerialBaud << 0x34 << unknown;
    QTest::addRow("air 40") << Field::AirBaud << 0x40 << std::optional<QString>("6000");
    QTest::addRow("FSK air 30") << Field::FskAirBaud << 0x30 << std::optional<QString>("9600");
    QTest::addRow("FSK air 31") << Field::FskAirBaud << 0x31 << std::optional<QString>("19200");
    QTest::addRow("FSK air 32") << Field::FskAirBaud << 0x32 << unknown;
    QTest::addRow("modulation 31") << Field::Modulation << 0x31 << std::optional<QString>("FSK");
    QTest::addRow("modulation 30") << Field::Modulation << 0x30 << std::optional<QString>("LORA");
    QTest::addRow("modulation 32") << Field::Modulation << 0x32 << unknown;
    QTest::addRow("channel 3A") << Field::Channel << 0x3A << unknown;
}

void CodesTest::decodeBytes()
{
    QFETCH(Field, field);
    QFETCH(int, byte);
    QFETCH(std::optional<QString>, text);
    QCOMPARE(decode(field, static_cast<unsigned char>(byte)), text);
}

// Whatever the window writes, a read shows again: the two tables must agree.
void CodesTest::everyOptionSurvivesTheRadio()
{
    for (Field field : {Field::WorkMode, Field::Protocol, Field::Channel, Field::Power,
                        Field::SerialBaud, Field::AirBaud, Field::Repeater}) {
        for (const QString &text : optionTexts(field)) {
            const QByteArray bytes = encode(field, text);
            QVERIFY2(!bytes.isEmpty(), qPrintable(text));
            // The FSK rates go out by text command; register 16 then reads as 11000.
            const bool fskRate = field == Field::AirBaud && (text == "9600" || text == "19200");
            QCOMPARE(decode(field, static_cast<unsigned char>(bytes.at(0))),
                     std::optional<QString>(fskRate ? "11000" : text));
        }
    }
}

void CodesTest::normalizeFrequency_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<QString>>("normalized");

    QTest::addRow("padded") << "454.05" << std::optional<QString>("454.0500");
    QTest::addRow("rounded") << "454.123456" << std::optional<QString>("454.1235");
    QTest::addRow("lower bound") << "200" << std::optional<QString>("200.0000");
    QTest::addRow("upper bound") << "500" << std::optional<QString>("500.0000");
    QTest::addRow("white space") << " 454.05 " << std::optional<QString>("454.0500");
    QTest::addRow("below") << "199.9999" << unknown;
    QTest::addRow("above") << "500.0001" << unknown;
    QTest::addRow("empty") << "" << unknown;
    QTest::addRow("nan") << "nan" << unknown;
    QTest::addRow("inf") << "inf" << unknown;
    QTest::addRow("decimal comma") << "454,05" << unknown;
}

void CodesTest::normalizeFrequency()
{
    QFETCH(QString, text);
    QFETCH(std::optional<QString>, normalized);
    QCOMPARE(tmx9::normalizeFrequency(text), normalized);
}

void CodesTest::records_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<std::optional<QString>>("frequency");

    QTest::addRow("454.0500") << QByteArray("4540500") << std::optional<QString>("454.0500");
    QTest::addRow("500.0000") << QByteArray("5000000") << std::optional<QString>("500.0000");
    QTest::addRow("ends at zero byte")
        << QByteArray("454\0\0\0\0", 7) << std::optional<QString>("0.0454");
    QTest::addRow("not a number") << QByteArray("45x0500") << unknown;
    QTest::addRow("inf before zero byte") << QByteArray("inf\0"
                                                        "234",
                                                        7)
                                          << unknown;
}

void CodesTest::records()
{
    QFETCH(QByteArray, record);
    QFETCH(std::optional<QString>, frequency);
    QCOMPARE(recordToFrequency(record), frequency);
    if (frequency && record.size() == 7 && !record.contains('\0'))
        QCOMPARE(frequencyToRecord(*frequency), record);
}

QTEST_APPLESS_MAIN(CodesTest)
#include "tst_codes.moc"
