// Write Config and Write default through the real window, against the simulated radio.
#include <QCheckBox>
#include <QTest>

#include "debugcapture.h"
#include "frames.h"
#include "messageboxwatcher.h"
#include "ptypeer.h"
#include "simradio.h"
#include "windowdriver.h"

using tmx9sim::Faults;
using tmx9sim::SimRadio;

namespace {

const QByteArray kDefaultParameters =
    QByteArray::fromHex("2424524A1B0E07303332FFFFFF30FF35310001010F0D0A");
const QByteArray kDefaultChannels = QByteArray::fromHex(
    "2424524A1B478034353430353030343535303530303435363035303034353730353030343538303530303435393035"
    "303034363030353030343631303530303436323035303034363330353030C50D0A");

struct Rig
{
    SimRadio radio;
    std::unique_ptr<WindowDriver> driver;
    MessageBoxWatcher boxes;
    serialports::LineRecorder line; // what the window asks of the port once it is open

    // Opens the port; the radio's answer to the opening request fills the form.
    bool open(const Faults &faults = {})
    {
        if (!radio.start())
            return false;
        driver = std::make_unique<WindowDriver>();
        driver->openPort(radio.slavePath());
        if (!boxes.waitForCount(1))
            return false;
        boxes.clear();
        radio.setFaults(faults);
        radio.clearTraffic();
        line.clear();
        return true;
    }

    // Received frames and lines with CR LF restored, and their arrival times in ms.
    QList<QByteArray> lines() const
    {
        QList<QByteArray> out;
        for (const auto &entry : radio.receivedLines())
            out << entry.bytes + "\r\n";
        return out;
    }
};

} // namespace

class WriteTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(!QApplication::activeModalWidget());
        englishMode = false;
        writeOk = false;
        readOk = false;
    }

    void writeConfigSequences_data()
    {
        QTest::addColumn<QString>("modulation");
        QTest::addColumn<QString>("airBaud");
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::newRow("LORA") << "LORA"
                              << "3500"
                              << QList<QByteArray>{"$$01SET LORA\r\n", "$$01SET LORA\r\n"};
        QTest::newRow("FSK 9600") << "FSK"
                                  << "9600"
                                  << QList<QByteArray>{"$$01SET AIRBT 9600\r\n", "$$01SET FSK\r\n",
                                                       "$$01SET FSK\r\n"};
        QTest::newRow("FSK 19200")
            << "FSK"
            << "19200"
            << QList<QByteArray>{"$$01SET AIRBT 19200\r\n", "$$01SET FSK\r\n", "$$01SET FSK\r\n"};
    }

    void writeConfigSequences()
    {
        QFETCH(QString, modulation);
        QFETCH(QString, airBaud);
        QFETCH(QList<QByteArray>, commands);

        Rig rig;
        QVERIFY(rig.open());
        WindowDriver &d = *rig.driver;
        d.combo("com_6")->setCurrentText(airBaud); // the rules pick the modulation
        QCOMPARE(d.combo("com_2")->currentText(), modulation);

        tmx9::RadioSettings expected = tmx9::defaultSettings();
        expected.modulation = modulation;
        expected.airBaud = airBaud;
        const QByteArray parameters =
            QByteArray::fromHex(tmx9::parameterFrameHex(expected).toLatin1());
        const QByteArray channels =
            QByteArray::fromHex(tmx9::channelTableFrameHex(expected).toLatin1());

        d.click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("写入完成"));
        QCOMPARE(rig.boxes.last().title, QStringLiteral("information"));
        QCOMPARE(rig.boxes.last().icon, QMessageBox::Information);

        verifyPlanRun(rig.line.events(), tmx9::writeConfigPlan(expected));
        QTRY_COMPARE(rig.lines().size(), 4 + commands.size());
        QCOMPARE(rig.lines(),
                 (QList<QByteArray>{parameters, parameters, channels, channels} + commands));
        QCOMPARE(rig.radio.settings().modulation, modulation);
        QCOMPARE(rig.radio.settings().airBaud, airBaud);
        QVERIFY(!writeOk);
    }

    void fskWithoutItsRatesSendsNoAirBaudCommand()
    {
        // Only reachable when the rules are bypassed; the write then sends no AIRBT but keeps
        // the wait before the FSK commands.
        tmx9::RadioSettings settings = tmx9::defaultSettings();
        settings.modulation = "FSK";
        settings.airBaud = "6000";
        const tmx9::TransmissionPlan plan = tmx9::writeConfigPlan(settings);
        QCOMPARE(tmx9::totalWaitMs(plan), 600);
        for (const tmx9::PlanStep &step : plan)
            QVERIFY(!step.bytes.startsWith("$$01SET AIRBT"));
    }

    void rejectedFrequencies_data()
    {
        QTest::addColumn<int>("bad");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty lineEdit1") << 1 << "";
        QTest::newRow("600 in lineEdit3") << 3 << "600";
        QTest::newRow("199.9999 in lineEdit10") << 10 << "199.9999";
        QTest::newRow("500.0001 in lineEdit5") << 5 << "500.0001";
        QTest::newRow("not a number in lineEdit2") << 2 << "abc";
    }

    void rejectedFrequencies()
    {
        QFETCH(int, bad);
        QFETCH(QString, text);
        Rig rig;
        QVERIFY(rig.open());
        WindowDriver &d = *rig.driver;
        for (int n = 1; n <= 10; ++n)
            d.channelEdit(n)->setText(QString::number(300 + n, 'f', 1));
        d.channelEdit(bad)->setText(text);
        writeOk = true; // a rejected write leaves the flag alone

        d.click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(rig.boxes.last().title, QStringLiteral("Invalid Input"));
        QCOMPARE(rig.boxes.last().text,
                 QStringLiteral("lineEdit%1: Frequency must be between 200.0000-500.0000 with 4 "
                                "decimal places.")
                     .arg(bad));
        QCOMPARE(rig.boxes.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        for (int n = 1; n <= 10; ++n) {
            const QString shown = d.channelEdit(n)->text();
            if (n < bad)
                QCOMPARE(shown, QString::number(300 + n, 'f', 4));
            else if (n == bad)
                QCOMPARE(shown, QString());
            else
                QCOMPARE(shown, QString::number(300 + n, 'f', 1));
        }
        QCOMPARE(rig.boxes.count(), 1); // no verdict
        QVERIFY(writeOk);
        // Nothing was asked of the port, and nothing is on its way: the radio hears a read
        // request next, before anything else.
        QCOMPARE(rig.line.events().size(), 0);
        d.click("open_port_2");
        QTRY_COMPARE(rig.radio.receivedLines().size(), 1);
        QCOMPARE(rig.lines(), QList<QByteArray>{tmx9::readRequest()});
        QVERIFY(rig.boxes.waitForCount(2));
    }

    void boundsAreAcceptedAndRewritten()
    {
        Rig rig;
        QVERIFY(rig.open());
        WindowDriver &d = *rig.driver;
        d.channelEdit(1)->setText("200");
        d.channelEdit(2)->setText("500");
        d.channelEdit(3)->setText(" 454.123456 ");
        d.click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("写入完成"));
        QCOMPARE(d.channelEdit(1)->text(), QStringLiteral("200.0000"));
        QCOMPARE(d.channelEdit(2)->text(), QStringLiteral("500.0000"));
        QCOMPARE(d.channelEdit(3)->text(), QStringLiteral("454.1235"));
        QCOMPARE(rig.radio.channelRecords().left(21), QByteArray("200000050000004541235"));
    }

    void verdict_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<bool>("acknowledge");
        QTest::addColumn<bool>("staleAck");
        QTest::addColumn<QString>("text");
        QTest::newRow("acknowledged, Chinese") << false << true << false << "写入完成";
        QTest::newRow("acknowledged, English") << true << true << false << "Write completed";
        QTest::newRow("no ack, Chinese") << false << false << false << "写入失败";
        QTest::newRow("no ack, English") << true << false << false << "Write failed";
        QTest::newRow("stale ack only") << false << false << true << "写入失败";
    }

    void verdict()
    {
        QFETCH(bool, english);
        QFETCH(bool, acknowledge);
        QFETCH(bool, staleAck);
        QFETCH(QString, text);
        Rig rig;
        Faults faults;
        faults.noAck = !acknowledge;
        QVERIFY(rig.open(faults));
        rig.driver->window().findChild<QCheckBox *>("checkBox")->setChecked(english);
        if (staleAck)
            writeOk = true; // e.g. the answer to an earlier write's second copy

        for (const char *button : {"open_port_3", "open_port_4"}) {
            rig.boxes.clear();
            rig.driver->click(button);
            QVERIFY(rig.boxes.waitForCount(1));
            QCOMPARE(rig.boxes.last().text, text);
            QCOMPARE(rig.boxes.last().title, QStringLiteral("information"));
            QVERIFY(!writeOk || !acknowledge);
        }
    }

    // The window keeps its own rate: after writing a new serial rate into the radio, the next
    // Read at the old rate goes unheard.
    void newSerialRateMakesTheNextReadFail()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.driver->window().findChild<QCheckBox *>("checkBox")->setChecked(true);
        rig.driver->combo("com_7")->setCurrentText("9600");

        rig.driver->click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("Write completed"));
        QCOMPARE(rig.radio.settings().serialBaud, QStringLiteral("9600"));
        QCOMPARE(rig.radio.listeningRate(), 9600);

        rig.boxes.clear();
        rig.driver->click("open_port_2");
        QVERIFY(rig.boxes.waitForCount(1, 5000));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("Read failed"));
        QCOMPARE(rig.radio.readRequests(), 1); // the one on opening the port
    }

    void lateAcknowledgementCountsForNoLaterWrite()
    {
        Rig rig;
        Faults faults;
        // After the verdict: long after the plan's 600 ms of waits, however slowly a busy
        // machine runs them.
        faults.ackDelayMs = 2500;
        QVERIFY(rig.open(faults));
        rig.driver->click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("写入失败"));
        QTRY_VERIFY_WITH_TIMEOUT(writeOk, 10000); // the late answers arrive
        Faults silent;
        silent.silent = true;
        rig.radio.setFaults(silent);
        rig.driver->click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(2));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("写入失败"));
    }

    void hexStringOfTheDefaults()
    {
        Rig rig;
        QVERIFY(rig.open());
        DebugCapture debug;
        rig.driver->click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(debug.debugLines(),
                 QStringList{"Hex String: \"2424524A1B0E07303332FFFFFF30FF35310001010F0D0A\""});
    }

    void writeDefaultFromAnFskForm()
    {
        Rig rig;
        QVERIFY(rig.open());
        WindowDriver &d = *rig.driver;
        d.combo("com_2")->setCurrentText("FSK");
        d.combo("com_6")->setCurrentText("19200");
        d.combo("com_9")->setCurrentText("RX");
        d.combo("com_3")->setCurrentText("MAC");
        d.channelEdit(4)->setText("");
        DebugCapture debug;

        d.click("open_port_4");
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.boxes.last().text, QStringLiteral("写入完成"));
        QVERIFY(debug.debugLines().isEmpty());
        const tmx9::RadioSettings defaults = tmx9::defaultSettings();
        QCOMPARE(d.combo("com_2")->currentText(), QStringLiteral("LORA"));
        QCOMPARE(d.combo("com_6")->currentText(), QStringLiteral("11000"));
        QVERIFY(d.combo("com_9")->isEnabled());
        QCOMPARE(d.combo("com_9")->currentText(), QStringLiteral("TX"));
        QCOMPARE(d.combo("com_3")->currentText(), QStringLiteral("Transparent"));
        for (int n = 1; n <= 10; ++n)
            QCOMPARE(d.channelEdit(n)->text(), defaults.frequencies.at(n - 1));

        verifyPlanRun(rig.line.events(), tmx9::writeDefaultPlan());
        QTRY_COMPARE(rig.lines().size(), 6);
        QCOMPARE(rig.lines(),
                 (QList<QByteArray>{kDefaultChannels, kDefaultChannels, kDefaultParameters,
                                    kDefaultParameters, "$$01SET LORA\r\n", "$$01SET LORA\r\n"}));

        // Write Config now sends the same two frames, parameters first.
        rig.radio.clearTraffic();
        d.click("open_port_3");
        QVERIFY(rig.boxes.waitForCount(2));
        QTRY_COMPARE(rig.lines().size(), 6);
        QCOMPARE(rig.lines().mid(0, 4), (QList<QByteArray>{kDefaultParameters, kDefaultParameters,
                                                           kDefaultChannels, kDefaultChannels}));
    }
};

QTEST_MAIN(WriteTest)
#include "tst_write.moc"
