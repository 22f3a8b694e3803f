// A misbehaving radio, one group per fault, through the real window and a real pseudo-terminal.
// Each group checks the verdict, what the form shows, that nothing is left spinning, and that the
// port can be closed and opened again to a radio that works.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "debugcapture.h"
#include "describe.h"
#include "messageboxwatcher.h"
#include "ptypeer.h"
#include "receiver.h"
#include "responses.h"
#include "simradio.h"
#include "windowdriver.h"

#include <algorithm>

using tmx9sim::Faults;
using tmx9sim::SimRadio;

namespace {

struct RadioValues
{
    tmx9::RadioSettings settings;
    QString serialNumber;
    QString firmwareVersion;
};

QStringList frequencies(double first)
{
    QStringList out;
    for (int n = 0; n < 10; ++n)
        out << QString::number(first + n * 10.1234, 'f', 4);
    return out;
}

// What the radio holds when a group starts: every field differs from the form's defaults.
RadioValues firstRadio()
{
    RadioValues v;
    v.settings.protocol = "MAC";
    v.settings.power = "L";
    v.settings.channel = "5";
    v.settings.airBaud = "18000";
    v.settings.serialBaud = "38400";
    v.settings.repeater = "enable";
    v.settings.workMode = "RX";
    v.settings.frequencies = frequencies(301.1111);
    v.serialNumber = "SN0042";
    v.firmwareVersion = "2.1.0";
    return v;
}

// What it holds after a fault, so that the read after reopening must show fresh values.
RadioValues secondRadio()
{
    RadioValues v;
    v.settings.modulation = "FSK";
    v.settings.protocol = "South";
    v.settings.channel = "9";
    v.settings.airBaud = "9600";
    v.settings.serialBaud = "19200";
    v.settings.frequencies = frequencies(402.0202);
    v.serialNumber = "SN7777";
    v.firmwareVersion = "3.0.1";
    return v;
}

QStringList formOf(const RadioValues &v)
{
    return formValuesOf(v.settings, v.serialNumber, v.firmwareVersion);
}

struct Rig
{
    SimRadio radio;
    std::unique_ptr<WindowDriver> driver;
    std::unique_ptr<PortTap> tap; // what the window takes, against what the radio sends
    MessageBoxWatcher boxes;
    int linesIn = 0; // frames and lines the radio has taken

    // Starts the radio with firstRadio(), opens the port and waits for the opening read.
    bool open()
    {
        // The radios' serial rates differ from the window's 115200 on purpose: every field of the
        // form must change. Rates are not the point here.
        radio.setAnyBaud(true);
        if (!load(firstRadio()) || !radio.start())
            return false;
        radio.setRecordTraffic(false);
        QObject::connect(&radio, &SimRadio::lineReceived, &radio, [this] { ++linesIn; });
        driver = std::make_unique<WindowDriver>();
        tap = std::make_unique<PortTap>();
        tap->follow(radio);
        driver->openPort(radio.slavePath());
        if (!boxes.waitForCount(1) || boxes.last().text != QStringLiteral("读取完成"))
            return false;
        boxes.clear();
        return driver->formValues() == formOf(firstRadio());
    }

    bool load(const RadioValues &v)
    {
        radio.setSerialNumber(v.serialNumber);
        radio.setFirmwareVersion(v.firmwareVersion);
        return radio.setSettings(v.settings);
    }

    void setFaults(const Faults &faults) { radio.setFaults(faults); }

    // Clicks a button and returns the text of the box it leads to ("" when none came).
    QString clickForBox(const char *button, int timeoutMs = 6000)
    {
        const int before = boxes.count();
        driver->click(button);
        if (!boxes.waitForCount(before + 1, timeoutMs))
            return QString();
        return boxes.last().text;
    }

    // The verdict comes right after the last command is written: the radio's state may be
    // changed only once it has taken every line of the write.
    bool writeConfigAndSettle()
    {
        tmx9::RadioSettings form = tmx9::defaultSettings(); // only the commands depend on it
        form.modulation = driver->combo("com_2")->currentText();
        form.airBaud = driver->combo("com_6")->currentText();
        const tmx9::TransmissionPlan plan = tmx9::writeConfigPlan(form);
        const int lines = int(std::count_if(
            plan.begin(), plan.end(), [](const tmx9::PlanStep &s) { return !s.bytes.isEmpty(); }));
        if (lines == 0)
            return false;
        linesIn = 0;
        if (clickForBox("open_port_3") != QStringLiteral("写入完成"))
            return false;
        return QTest::qWaitFor([&] { return linesIn >= lines; }, 3000);
    }

    bool portLooksOpen()
    {
        WindowDriver &d = *driver;
        return d.button("open_port")->text() == QStringLiteral("关闭串口") &&
               d.button("open_port_2")->isEnabled() && d.button("open_port_3")->isEnabled() &&
               d.button("open_port_4")->isEnabled() && !d.combo("com")->isEnabled() &&
               !d.combo("baud")->isEnabled() && !d.button("refreshSerial")->isEnabled();
    }
};

// Nothing spins afterwards, and closing and opening the port again reaches a working radio
// (a new one when the old one vanished): the opening read shows its values and a write succeeds.
void verifyRecovers(Rig &rig)
{
    // A fixed second of idling: it shows that nothing happens, not how long something takes.
    const double cpu = idleCpuMs(1000);
    QVERIFY2(cpu < 300, qPrintable(QString("%1 ms of CPU in 1 s of idling").arg(cpu)));
    QVERIFY(!QApplication::activeModalWidget());

    rig.driver->click("open_port");
    QVERIFY(!serialPort->isOpen());
    QVERIFY(rig.driver->button("refreshSerial")->isEnabled());
    QVERIFY(!rig.driver->button("open_port_2")->isEnabled());

    rig.setFaults({});
    if (!rig.radio.isRunning())
        QVERIFY(rig.radio.start());
    rig.radio.discardUnread();
    QVERIFY(rig.load(secondRadio()));
    rig.boxes.clear();
    rig.driver->openPort(rig.radio.slavePath());
    QVERIFY(rig.boxes.waitForCount(1));
    QCOMPARE(rig.boxes.last().text, QStringLiteral("读取完成"));
    QCOMPARE(rig.driver->formValues(), formOf(secondRadio()));
    QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入完成"));
    QCOMPARE(rig.radio.settings().frequencies, secondRadio().settings.frequencies);
}

#define VERIFY_RECOVERS(rig)                                                                       \
    do {                                                                                           \
        verifyRecovers(rig);                                                                       \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

} // namespace

class FaultTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        englishMode = false;
        readOk = false;
        writeOk = false;
    }

    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void silentRadio()
    {
        Rig rig;
        QVERIFY(rig.open());
        Faults silent;
        silent.silent = true;
        rig.setFaults(silent);
        for (int n = 1; n <= 10; ++n)
            rig.driver->channelEdit(n)->setText("222.2222");
        const QStringList before = rig.driver->formValues();

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取失败"));
        QVERIFY2(clock.elapsed() >= 2800, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!readOk);
        QCOMPARE(rig.driver->formValues(), before);

        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入失败"));
        QCOMPARE(rig.driver->formValues(), before);
        QCOMPARE(rig.radio.settings().frequencies, firstRadio().settings.frequencies);
        // Write default fills the form whatever the radio does.
        QCOMPARE(rig.clickForBox("open_port_4"), QStringLiteral("写入失败"));
        QCOMPARE(rig.driver->channelEdit(1)->text(), QStringLiteral("454.0500"));
        QVERIFY(!writeOk);
        VERIFY_RECOVERS(rig);
    }

    void missingAcknowledgement()
    {
        Rig rig;
        QVERIFY(rig.open());
        Faults noAck;
        noAck.noAck = true;
        rig.setFaults(noAck);
        rig.driver->channelEdit(3)->setText("333.3333");

        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入失败"));
        // The radio did take the frames: only its answer is missing.
        QCOMPARE(rig.radio.settings().frequencies.at(2), QStringLiteral("333.3333"));
        QCOMPARE(rig.clickForBox("open_port_4"), QStringLiteral("写入失败"));
        QCOMPARE(rig.radio.settings().frequencies.at(2), QStringLiteral("456.0500"));
        QVERIFY(!writeOk);
        VERIFY_RECOVERS(rig);
    }

    void lateAcknowledgement()
    {
        Rig rig;
        QVERIFY(rig.open());
        Faults late;
        // Long after the plan's 600 ms of waits, however slowly a busy machine runs them.
        late.ackDelayMs = 2500;
        rig.setFaults(late);
        int acksSent = 0;
        QObject::connect(&rig.radio, &SimRadio::chunkSent, &rig.radio,
                         [&acksSent](const QByteArray &chunk) { acksSent += chunk.count("$$RJ"); });

        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入失败"));
        QTRY_COMPARE_WITH_TIMEOUT(acksSent, 4, 10000);
        QTRY_VERIFY(rig.tap->caughtUp()); // the window has read the last of them
        QVERIFY(writeOk);                 // recorded, but not reported

        // The stale answers make no later write a success.
        Faults noAck;
        noAck.noAck = true;
        rig.setFaults(noAck);
        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入失败"));
        writeOk = true;
        QCOMPARE(rig.clickForBox("open_port_4"), QStringLiteral("写入失败"));
        VERIFY_RECOVERS(rig);
    }

    void fragments_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("gapMs");
        QTest::newRow("1-byte pieces") << 1 << 0;
        QTest::newRow("2-byte pieces, 1 ms apart") << 2 << 1;
        QTest::newRow("7-byte pieces, 5 ms apart") << 7 << 5;
        QTest::newRow("64-byte pieces, 20 ms apart") << 64 << 20;
    }

    void fragments()
    {
        QFETCH(int, bytes);
        QFETCH(int, gapMs);
        Rig rig;
        QVERIFY(rig.open());
        Faults pieces;
        pieces.fragmentBytes = bytes;
        pieces.fragmentGapMs = gapMs;
        rig.setFaults(pieces);
        QVERIFY(rig.load(secondRadio()));
        DebugCapture debug;

        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取完成"));
        QCOMPARE(rig.driver->formValues(), formOf(secondRadio()));
        QCOMPARE(debug.debugLines().filter(QRegularExpression("^size ")).size(), 1);
        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入完成"));
        VERIFY_RECOVERS(rig);
    }

    void strayBytes()
    {
        Rig rig;
        QVERIFY(rig.open());
        Faults stray;
        stray.strayBytes = QByteArray("\x01\x02\xFE noise", 9); // no CR LF before the frame
        rig.setFaults(stray);
        QVERIFY(rig.load(secondRadio()));
        const QStringList before = rig.driver->formValues();

        // Neither response begins its line any more: both are dropped.
        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取失败"));
        QCOMPARE(rig.driver->formValues(), before);
        // "$$RJ" counts anywhere in a line.
        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入完成"));
        QCOMPARE(rig.clickForBox("open_port_4"), QStringLiteral("写入完成"));
        VERIFY_RECOVERS(rig);
    }

    void wrongChecksum()
    {
        Rig rig;
        QVERIFY(rig.open());
        Faults bad;
        bad.badChecksum = true;
        rig.setFaults(bad);
        QVERIFY(rig.load(secondRadio()));

        // Checksums of responses are not verified: the values are shown as they came.
        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取完成"));
        QCOMPARE(rig.driver->formValues(), formOf(secondRadio()));
        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入完成"));
        VERIFY_RECOVERS(rig);
    }

    void crLfInsideABody_data()
    {
        QTest::addColumn<bool>("inParameters");
        QTest::newRow("parameter response") << true;
        QTest::newRow("channel table response") << false;
    }

    void crLfInsideABody()
    {
        QFETCH(bool, inParameters);
        Rig rig;
        QVERIFY(rig.open());
        Faults cut;
        cut.crLfInParameters = inParameters;
        cut.crLfInChannelTable = !inParameters;
        rig.setFaults(cut);
        QVERIFY(rig.load(secondRadio()));
        const QStringList before = rig.driver->formValues();
        DebugCapture debug;

        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取完成"));
        const QStringList shown = rig.driver->formValues();
        const QStringList fresh = formOf(secondRadio());
        if (inParameters) {
            // Cut at register 20: the line is too short for its length byte.
            QCOMPARE(debug.debugLines(),
                     QStringList({"size 26      69", "Packet too short for expected length: 69"}));
            QCOMPARE(shown.mid(0, 10), before.mid(0, 10));
            QCOMPARE(shown.mid(10), fresh.mid(10));
        } else {
            // Cut where record 6 begins: the five records before it are shown.
            QCOMPARE(shown.mid(0, 15), fresh.mid(0, 15));
            QCOMPARE(shown.mid(15), before.mid(15));
        }
        VERIFY_RECOVERS(rig);
    }

    void floodWithoutLineEnds()
    {
        Rig rig;
        QVERIFY(rig.open());
        Faults flood;
        // Before every frame, no CR LF: three times what the window keeps of a line.
        flood.strayBytes = QByteArray(3 * tmx9::kMaxPendingBytes, 'z');
        rig.setFaults(flood);
        QVERIFY(rig.load(secondRadio()));
        const QStringList before = rig.driver->formValues();

        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取失败"));
        QCOMPARE(rig.driver->formValues(), before);

        // The frame that ends the flood's line leaves nothing behind: the next lines count.
        QTRY_VERIFY(rig.tap->caughtUp());
        rig.setFaults({});
        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取完成"));
        QCOMPARE(rig.driver->formValues(), formOf(secondRadio()));
        VERIFY_RECOVERS(rig);
    }

    void floodKeepsMemoryBounded()
    {
        // Here the test writes the line itself, so that the only buffer it fills could be the
        // window's; the window's traffic log shows what it threw away.
        QTemporaryDir logs;
        QVERIFY(logs.isValid());
        const QByteArray testLogs = qgetenv("TMX9_LOG_DIR");
        qputenv("TMX9_LOG_DIR", logs.path().toUtf8());
        PtyPeer line;
        auto driver = std::make_unique<WindowDriver>();
        qputenv("TMX9_LOG_DIR", testLogs);
        PortTap tap;
        MessageBoxWatcher boxes;
        driver->openPort(line.slavePath());
        QVERIFY(line.waitForBytes(9));
        const QByteArray flood(8 * tmx9::kMaxPendingBytes, 'z');
        for (int at = 0; at < flood.size(); at += 1000)
            line.send(flood.mid(at, 1000));
        QTRY_COMPARE(tap.taken(), flood);
        RadioValues values = secondRadio();
        tmx9sim::RadioState state;
        QVERIFY(state.setSettings(values.settings));
        line.send("\r\n" + tmx9sim::channelTableResponse(state.channelRecords()));
        QVERIFY(boxes.waitForCount(1));
        QCOMPARE(driver->channelEdit(1)->text(), values.settings.frequencies.first());
        driver.reset();

        // All of the flood but what one line may hold was thrown away as it came.
        const QStringList files = QDir(logs.path()).entryList({"*.log"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile log(logs.filePath(files.first()));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        qint64 discarded = 0;
        for (const QString &text : QString::fromUtf8(log.readAll()).split('\n')) {
            const auto entry = tmx9::parseTraceLine(text);
            if (entry && entry->summary == tmx9::discardedSummary())
                discarded += entry->bytes.size();
        }
        QVERIFY2(discarded >= flood.size() - tmx9::kMaxPendingBytes,
                 qPrintable(QString("%1 of %2 bytes discarded").arg(discarded).arg(flood.size())));
    }

    void noiseBetweenFrames()
    {
        Rig rig;
        QVERIFY(rig.open());
        QRandomGenerator random(20240325);
        for (int round = 0; round < 12; ++round) {
            // A line of random bytes before every frame; no "$" so it cannot pass for a frame.
            QByteArray noise(random.bounded(1, 80), '\0');
            for (char &byte : noise) {
                do
                    byte = char(random.bounded(256));
                while (byte == '$');
            }
            Faults faults;
            faults.strayBytes = noise + "\r\n";
            rig.setFaults(faults);
            const RadioValues values = round % 2 ? firstRadio() : secondRadio();
            QVERIFY(rig.load(values));

            QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取完成"));
            QCOMPARE(rig.driver->formValues(), formOf(values));
            if (round % 4 == 0)
                QVERIFY(rig.writeConfigAndSettle());
        }
        VERIFY_RECOVERS(rig);
    }

    void radioVanishesDuringARead_data()
    {
        QTest::addColumn<int>("afterBytes");
        QTest::addColumn<bool>("parametersShown");
        QTest::newRow("inside the parameter response") << 40 << false;
        QTest::newRow("inside the channel table response") << 100 << true;
    }

    void radioVanishesDuringARead()
    {
        QFETCH(int, afterBytes);
        QFETCH(bool, parametersShown);
        Rig rig;
        QVERIFY(rig.open());
        Faults vanish;
        vanish.closeAfterBytes = afterBytes;
        rig.setFaults(vanish);
        QVERIFY(rig.load(secondRadio()));
        const QStringList before = rig.driver->formValues();

        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取失败"));
        QVERIFY(!rig.radio.isRunning());
        const QStringList shown = rig.driver->formValues();
        QCOMPARE(shown.mid(10), before.mid(10));
        QCOMPARE(shown.mid(0, 10), (parametersShown ? formOf(secondRadio()) : before).mid(0, 10));
        // The window does not notice a removed device: it still shows the port open.
        QVERIFY(rig.portLooksOpen());
        // Writing to the vanished device fails like a silent radio.
        QCOMPARE(rig.clickForBox("open_port_3"), QStringLiteral("写入失败"));
        VERIFY_RECOVERS(rig);
    }

    void radioVanishesDuringAWrite_data()
    {
        QTest::addColumn<int>("onFrame");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("on the first frame") << 1 << "写入失败";
        // The answers to the two parameter frames arrived during the waits, and they count.
        QTest::newRow("on the first channel table frame") << 3 << "写入完成";
    }

    void radioVanishesDuringAWrite()
    {
        QFETCH(int, onFrame);
        QFETCH(QString, verdict);
        Rig rig;
        QVERIFY(rig.open());
        Faults vanish;
        vanish.closeOnWriteFrame = onFrame;
        rig.setFaults(vanish);
        const QStringList before = rig.driver->formValues();

        QCOMPARE(rig.clickForBox("open_port_3"), verdict);
        QTRY_VERIFY(!rig.radio.isRunning());
        QCOMPARE(rig.driver->formValues(), before);
        QVERIFY(rig.portLooksOpen());
        QCOMPARE(rig.clickForBox("open_port_2"), QStringLiteral("读取失败"));
        VERIFY_RECOVERS(rig);
    }
};

QTEST_MAIN(FaultTest)
#include "tst_faults.moc"
