// Reading the radio's configuration through the real window, the pseudo-terminal and the
// simulated radio.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "debugcapture.h"
#include "messageboxwatcher.h"
#include "ptypeer.h"
#include "responses.h"
#include "simradio.h"
#include "windowdriver.h"

using tmx9sim::Faults;
using tmx9sim::Firmware;
using tmx9sim::SimRadio;

namespace {

QByteArray records(const QStringList &frequencies)
{
    QByteArray out;
    for (const QString &f : frequencies)
        out += QString(f).remove('.').toLatin1();
    while (out.size() < 140)
        out += "4000000";
    return out.left(140);
}

QStringList shownFrequencies(WindowDriver &driver)
{
    QStringList shown;
    for (int n = 1; n <= 10; ++n)
        shown << driver.channelEdit(n)->text();
    return shown;
}

// A parameter block of `length` registers with the default values and the given overrides.
QByteArray block(int length, const QVector<QPair<int, unsigned char>> &overrides = {})
{
    tmx9sim::RadioState state(length >= 69 ? Firmware::New : Firmware::Old);
    QByteArray bytes = state.parameterBlock();
    bytes.resize(length);
    for (const auto &[index, value] : overrides)
        bytes[index] = char(value);
    return bytes;
}

// A window with its port open on a scripted peer that has received the opening read request.
struct PeerRig
{
    PtyPeer radio;
    WindowDriver driver;
    PortTap tap;
    MessageBoxWatcher boxes;

    bool open()
    {
        driver.openPort(radio.slavePath());
        return radio.waitForBytes(9);
    }
};

} // namespace

class ReadTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(!QApplication::activeModalWidget());
        englishMode = false;
        readOk = false;
        writeOk = false;
    }

    void openingFillsTheFormWithoutAClick()
    {
        SimRadio radio;
        QVERIFY(radio.start());
        tmx9::RadioSettings settings = tmx9::defaultSettings();
        settings.protocol = "MAC";
        settings.power = "L";
        settings.channel = "5";
        settings.airBaud = "18000";
        settings.serialBaud = "38400";
        settings.repeater = "enable";
        settings.workMode = "RX";
        settings.frequencies[9] = "499.9999";
        QVERIFY(radio.setSettings(settings));
        radio.setSerialNumber("SN1234");
        radio.setFirmwareVersion("1.2.0");

        WindowDriver driver;
        MessageBoxWatcher boxes;
        driver.openPort(radio.slavePath(), settings.serialBaud);
        QVERIFY(boxes.waitForCount(1));
        QCOMPARE(boxes.last().icon, QMessageBox::Information);
        QCOMPARE(boxes.last().title, QStringLiteral("information"));
        QCOMPARE(boxes.last().text, QStringLiteral("读取完成"));
        QCOMPARE(boxes.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(boxes.last().parent, &driver.window());

        QCOMPARE(shownFrequencies(driver), settings.frequencies);
        QCOMPARE(driver.combo("com_2")->currentText(), QStringLiteral("LORA"));
        QCOMPARE(driver.combo("com_3")->currentText(), QStringLiteral("MAC"));
        QCOMPARE(driver.combo("com_4")->currentText(), QStringLiteral("L"));
        QCOMPARE(driver.combo("com_5")->currentText(), QStringLiteral("5"));
        QCOMPARE(driver.combo("com_6")->currentText(), QStringLiteral("18000"));
        QCOMPARE(driver.combo("com_7")->currentText(), QStringLiteral("38400"));
        QCOMPARE(driver.combo("com_8")->currentText(), QStringLiteral("enable"));
        QCOMPARE(driver.combo("com_9")->currentText(), QStringLiteral("RX"));
        QCOMPARE(driver.edit("lineEditSN")->text(), QStringLiteral("SN1234"));
        QCOMPARE(driver.edit("lineEditAPP")->text(), QStringLiteral("1.2.0"));
        QVERIFY(readOk);
        QCOMPARE(radio.readRequests(), 1);
    }

    void openingASilentRadioShowsNothing()
    {
        SimRadio radio;
        QVERIFY(radio.start());
        Faults silent;
        silent.silent = true;
        radio.setFaults(silent);
        WindowDriver driver;
        MessageBoxWatcher boxes;
        driver.openPort(radio.slavePath());
        QTRY_COMPARE(radio.receivedLines().size(), 1);
        // Only an armed time-out could bring a box now, and opening arms none.
        QVERIFY(!driver.window().findChild<QTimer *>()->isActive());
        QCOMPARE(boxes.count(), 0);
    }

    void readConfig_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("text");
        QTest::newRow("completed, Chinese") << false << false << "读取完成";
        QTest::newRow("completed, English") << true << false << "Read completed";
        QTest::newRow("failed, Chinese") << false << true << "读取失败";
        QTest::newRow("failed, English") << true << true << "Read failed";
    }

    void readConfig()
    {
        QFETCH(bool, english);
        QFETCH(bool, silent);
        QFETCH(QString, text);

        SimRadio radio;
        QVERIFY(radio.start());
        Faults faults;
        faults.silent = silent;
        radio.setFaults(faults);
        WindowDriver driver;
        MessageBoxWatcher boxes;
        driver.window().findChild<QCheckBox *>("checkBox")->setChecked(english);
        driver.openPort(radio.slavePath());
        if (!silent)
            QVERIFY(boxes.waitForCount(1));
        boxes.clear();

        DebugCapture debug;
        QElapsedTimer clock;
        clock.start();
        driver.click("open_port_2");
        auto *timer = driver.window().findChild<QTimer *>();
        QVERIFY(silent || timer->interval() == 3000);
        QVERIFY(boxes.waitForCount(1, 5000));
        const qint64 took = clock.elapsed();
        QCOMPARE(boxes.last().text, text);
        QCOMPARE(boxes.last().title, QStringLiteral("information"));
        if (silent) {
            // Never early: an answer at 2.9 s must still count.
            QVERIFY2(took >= 3000, qPrintable(QString::number(took)));
            QVERIFY(!readOk);
        } else {
            QVERIFY(readOk);
            QVERIFY(!timer->isActive()); // the time-out was stopped: no second box can come
            QCOMPARE(boxes.count(), 1);
        }
        QVERIFY(!timer->isActive());
    }

    void timeoutAfterACompletedReadOnlyLogs()
    {
        SimRadio radio;
        QVERIFY(radio.start());
        WindowDriver driver;
        MessageBoxWatcher boxes;
        driver.openPort(radio.slavePath());
        QVERIFY(boxes.waitForCount(1));
        QVERIFY(readOk);
        DebugCapture debug;
        driver.invoke("onTimeout");
        QCOMPARE(debug.debugLines(), QStringList{QStringLiteral("数据接收成功，无需弹窗。")});
        QVERIFY(!readOk);
        QCOMPARE(boxes.count(), 1);
    }

    void responsesInEitherOrderAndInFragments_data()
    {
        QTest::addColumn<bool>("channelTableFirst");
        QTest::addColumn<int>("fragment");
        QTest::newRow("parameters first, whole") << false << 0;
        QTest::newRow("channel table first, whole") << true << 0;
        QTest::newRow("parameters first, 5-byte pieces") << false << 5;
        QTest::newRow("channel table first, 17-byte pieces") << true << 17;
    }

    void responsesInEitherOrderAndInFragments()
    {
        QFETCH(bool, channelTableFirst);
        QFETCH(int, fragment);
        SimRadio radio;
        QVERIFY(radio.start());
        tmx9::RadioSettings settings = tmx9::defaultSettings();
        settings.modulation = "FSK";
        settings.airBaud = "19200";
        settings.protocol = "South";
        settings.frequencies[0] = "200.0000";
        QVERIFY(radio.setSettings(settings));
        radio.setChannelTableFirst(channelTableFirst);
        Faults faults;
        faults.fragmentBytes = fragment;
        faults.fragmentGapMs = fragment ? 3 : 0;
        radio.setFaults(faults);

        WindowDriver driver;
        PortTap tap;
        tap.follow(radio);
        MessageBoxWatcher boxes;
        DebugCapture debug;
        driver.openPort(radio.slavePath());
        QVERIFY(boxes.waitForCount(1));
        QTRY_VERIFY(tap.caughtUp()); // both responses are in, whichever came first
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(debug.debugLines().filter(QRegularExpression("^size ")).size(), 1);
        QCOMPARE(shownFrequencies(driver), settings.frequencies);
        QCOMPARE(driver.combo("com_2")->currentText(), QStringLiteral("FSK"));
        QCOMPARE(driver.combo("com_3")->currentText(), QStringLiteral("South"));
        QCOMPARE(driver.combo("com_6")->currentText(), QStringLiteral("19200"));
        QVERIFY(!driver.combo("com_9")->isEnabled());
    }

    void twoResponsesInOneChunk()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        QStringList frequencies;
        for (int i = 0; i < 10; ++i)
            frequencies << QString::number(300 + i * 11.1111, 'f', 4);
        rig.radio.send(tmx9sim::parameterResponse(block(69, {{14, 0x00}})) +
                       tmx9sim::channelTableResponse(records(frequencies)));
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.driver.combo("com_4")->currentText(), QStringLiteral("L"));
        QCOMPARE(shownFrequencies(rig.driver), frequencies);
    }

    void parameterResponses_data()
    {
        QTest::addColumn<QByteArray>("registers");
        QTest::addColumn<QString>("startAirBaud"); // selected before the response arrives
        QTest::addColumn<QStringList>("expected"); // com_2 com_3 com_4 com_6 com_7 com_8 com_9

        const QStringList defaults = {"LORA",   "Transparent", "H", "11000",
                                      "115200", "disable",     "TX"};
        QTest::newRow("N=68 reports LORA, ignores 65/66")
            << block(68, {{16, 0x34}}) << "19200"
            << QStringList{"LORA", "Transparent", "H", "18000", "115200", "disable", "TX"};
        QTest::newRow("N=68 knows no 6000")
            << block(68, {{16, 0x40}}) << "19200"
            << QStringList{"LORA", "Transparent", "H", "11000", "115200", "disable", "TX"};
        QTest::newRow("N=69 FSK: protocol from 8, rate from 66")
            << block(69, {{65, 0x31}, {66, 0x31}, {8, 0x32}, {16, 0x31}}) << "11000"
            << QStringList{"FSK", "TT450S", "H", "19200", "115200", "disable", "TX"};
        QTest::newRow("N=69 LORA 6000")
            << block(69, {{65, 0x30}, {16, 0x40}}) << "9600"
            << QStringList{"LORA", "Transparent", "H", "6000", "115200", "disable", "TX"};
        QTest::newRow("N=69 LORA 3500, protocol South from 8")
            << block(69, {{65, 0x30}, {16, 0x23}, {8, 0x34}}) << "11000"
            << QStringList{"LORA", "South", "H", "3500", "115200", "disable", "TX"};
        QTest::newRow("N=68 LORA, protocol MAC from 8")
            << block(68, {{8, 0x31}}) << "11000"
            << QStringList{"LORA", "MAC", "H", "11000", "115200", "disable", "TX"};
        QTest::newRow("unknown codes leave widgets")
            << block(69, {{65, 0x39}, {17, 0x02}, {7, 0x32}, {15, 0x34}, {14, 0x80}, {8, 0x35}})
            << "18000"
            << QStringList{"LORA", "Transparent", "H", "18000", "115200", "disable", "TX"};
        QTest::newRow("codes of a changed radio")
            << block(69, {{7, 0x31}, {14, 0x00}, {15, 0x31}, {17, 0x01}, {13, 0x39}}) << "11000"
            << QStringList{"LORA", "Transparent", "L", "11000", "9600", "enable", "RX"};
        Q_UNUSED(defaults);
    }

    void parameterResponses()
    {
        QFETCH(QByteArray, registers);
        QFETCH(QString, startAirBaud);
        QFETCH(QStringList, expected);

        PtyPeer radio;
        WindowDriver driver;
        PortTap tap;
        driver.combo("com_6")->setCurrentText(startAirBaud);
        driver.openPort(radio.slavePath());
        QVERIFY(radio.waitForBytes(9));
        DebugCapture debug;
        const QByteArray response = tmx9sim::parameterResponse(registers);
        radio.send(response);
        QTRY_COMPARE(tap.taken(), response); // and shown: the window handles what it reads
        QStringList shown;
        for (const char *name : {"com_2", "com_3", "com_4", "com_6", "com_7", "com_8", "com_9"})
            shown << driver.combo(name)->currentText();
        QCOMPARE(shown, expected);
        QCOMPARE(driver.combo("com_9")->isEnabled(), expected.first() == QLatin1String("LORA"));
        QCOMPARE(
            debug.debugLines(),
            QStringList{
                QStringLiteral("size %1      %2").arg(registers.size() + 7).arg(registers.size())});
    }

    void shortParameterResponse()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        rig.driver.edit("lineEditSN")->setText("keep");
        DebugCapture debug;
        // One byte short: header, 68 registers but the length byte says 69, no checksum.
        QByteArray frame = tmx9sim::parameterResponse(block(69, {{14, 0x00}}));
        frame.remove(frame.size() - 3, 1); // drop the checksum: N + 6 bytes before CR LF
        // Before it, a bare header with no length byte at all: N reads as 0.
        const QByteArray bareHeader("$$RI\xB1\r\n", 7);
        rig.radio.send(bareHeader + frame + tmx9sim::parameterResponse(block(30, {{14, 0x00}})));
        QTRY_COMPARE(debug.debugLines().size(), 5);
        QCOMPARE(debug.debugLines(),
                 QStringList({"size 5      0", "Packet too short for expected length: 0",
                              "size 75      69", "Packet too short for expected length: 69",
                              "size 37      30"}));
        // The next line is handled: N = 30 has no text registers and still decodes 7 to 17.
        QCOMPARE(rig.driver.edit("lineEditSN")->text(), QString());
        QCOMPARE(rig.driver.edit("lineEditAPP")->text(), QString());
        QCOMPARE(rig.driver.combo("com_4")->currentText(), QStringLiteral("L"));
    }

    void recordRule()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        for (int n = 1; n <= 10; ++n)
            rig.driver.channelEdit(n)->setText("old");

        // Third record unusable: only the first two are shown, the box still comes.
        QByteArray table = records({"454.0500", "455.0500"});
        table.replace(14, 7, QByteArray(7, char(0xFF)));
        rig.radio.send(tmx9sim::channelTableResponse(table));
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(shownFrequencies(rig.driver).mid(0, 3),
                 QStringList({"454.0500", "455.0500", "old"}));

        // 500.0000 is a frequency like any other; an unparsable record is skipped.
        QByteArray second = records({"500.0000", "200.0000", "312.3456"});
        second.replace(14, 7, "4x4x4x4");
        rig.radio.send(tmx9sim::channelTableResponse(second));
        QVERIFY(rig.boxes.waitForCount(2));
        QCOMPARE(shownFrequencies(rig.driver).mid(0, 3),
                 QStringList({"500.0000", "200.0000", "400.0000"}));

        // Twenty valid records: the first ten are shown.
        QStringList twenty;
        for (int i = 0; i < 20; ++i)
            twenty << QString::number(210 + i, 'f', 4);
        QByteArray all;
        for (const QString &f : twenty)
            all += QString(f).remove('.').toLatin1();
        rig.radio.send(tmx9sim::channelTableResponse(all));
        QVERIFY(rig.boxes.waitForCount(3));
        QCOMPARE(shownFrequencies(rig.driver), twenty.mid(0, 10));
    }

    void strayBytesSpoilTheNextResponse()
    {
        SimRadio radio;
        QVERIFY(radio.start());
        Faults faults;
        faults.strayBytes = "\x01\x02noise";
        radio.setFaults(faults);
        WindowDriver driver;
        MessageBoxWatcher boxes;
        driver.openPort(radio.slavePath());
        driver.click("open_port_2");
        QVERIFY(boxes.waitForCount(1, 5000));
        QCOMPARE(boxes.last().text, QStringLiteral("读取失败"));
    }

    void bufferIsEmptiedWhenThePortOpens()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        rig.radio.send("left over from another radio");
        QTRY_COMPARE(rig.tap.taken(), QByteArray("left over from another radio"));
        rig.driver.click("open_port");
        rig.driver.openPort(rig.radio.slavePath());
        QVERIFY(rig.radio.waitForBytes(18));
        rig.radio.send(tmx9sim::channelTableResponse(records({"321.0000"})));
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.driver.channelEdit(1)->text(), QStringLiteral("321.0000"));
    }

    void floodWithoutLineEndsIsBounded()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        const QByteArray noise(1000, 'z');
        for (int i = 0; i < 16; ++i) // four times what the window keeps of a line, no line end
            rig.radio.send(noise);
        QTRY_COMPARE(rig.tap.taken(), noise.repeated(16));
        rig.radio.send("\r\n" + tmx9sim::channelTableResponse(records({"333.3333"})));
        QVERIFY(rig.boxes.waitForCount(1));
        QCOMPARE(rig.driver.channelEdit(1)->text(), QStringLiteral("333.3333"));
    }

    void acknowledgementSetsWriteOk()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        QVERIFY(!writeOk);
        rig.radio.send("noise $$RJ anywhere\r\n");
        QTRY_VERIFY(writeOk);
        QCOMPARE(rig.boxes.count(), 0);
    }

    void radioInformationCommand()
    {
        PeerRig rig;
        QVERIFY(rig.open());
        rig.radio.clearReceived();
        rig.driver.invoke("on_open_port_5_clicked");
        QVERIFY(rig.radio.waitForBytes(19));
        QCOMPARE(rig.radio.received(), QByteArray("$$01LOG RADIOINFO\r\n"));
    }
};

QTEST_MAIN(ReadTest)
#include "tst_read.moc"
