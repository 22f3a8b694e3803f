// Nothing lost end to end: random valid configurations written by one window are read back by a
// new window exactly as they were written.
#include <QRandomGenerator>
#include <QTest>

#include "messageboxwatcher.h"
#include "simradio.h"
#include "windowdriver.h"

using tmx9sim::Firmware;
using tmx9sim::SimRadio;

namespace {

int rounds()
{
    const int fromArgs = qEnvironmentVariableIntValue("TMX9_ROUNDTRIP_ROUNDS");
    return fromArgs > 0 ? fromArgs : 100;
}

} // namespace

class RoundTripTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void writeThenReadBack_data()
    {
        QTest::addColumn<bool>("oldFirmware");
        QTest::newRow("N=69") << false;
        QTest::newRow("N=68") << true;
    }

    void writeThenReadBack()
    {
        QFETCH(bool, oldFirmware);
        SimRadio radio;
        radio.setFirmware(oldFirmware ? Firmware::Old : Firmware::New);
        // The serial rate is written like any other setting here; the windows stay at 115200.
        radio.setAnyBaud(true);
        QVERIFY(radio.start());
        QRandomGenerator random(oldFirmware ? 68 : 69);
        MessageBoxWatcher boxes;

        for (int round = 0; round < rounds(); ++round) {
            QStringList written;
            {
                WindowDriver writer;
                boxes.clear();
                writer.openPort(radio.slavePath());
                QVERIFY(boxes.waitForCount(1));
                writer.fillRandomly(random);
                writer.click("open_port_3");
                QVERIFY(boxes.waitForCount(2));
                QCOMPARE(boxes.last().text, QStringLiteral("写入完成"));
                written = writer.formValues();
            }
            const tmx9::RadioSettings stored = radio.settings();
            QCOMPARE(stored.frequencies, written.mid(10));

            WindowDriver reader;
            boxes.clear();
            reader.openPort(radio.slavePath());
            QVERIFY(boxes.waitForCount(1));
            QStringList read = reader.formValues();
            if (oldFirmware) {
                // The older radio reports neither modulation nor FSK rates, and of the LoRa
                // rates only 11000 and 18000: compare what it can report.
                const bool reportable =
                    written[0] == QLatin1String("LORA") &&
                    (written[4] == QLatin1String("11000") || written[4] == QLatin1String("18000"));
                if (!reportable) {
                    written[4] = read[4];
                    written[0] = read[0];
                }
            }
            QVERIFY2(read == written, qPrintable(QString("round %1:\n wrote %2\n read  %3")
                                                     .arg(round)
                                                     .arg(written.join(' '), read.join(' '))));
        }
    }
};

QTEST_MAIN(RoundTripTest)
#include "tst_roundtrip.moc"
