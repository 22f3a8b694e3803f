// tmx9ctl sends what the window sends for the same settings: the same bytes, in the same order,
// with the same waits; both equal the plan. Each is checked against its own simulated radio: the
// waits as asked for at the sender, the bytes as the radio heard them. And tmx9ctl's trace, laid
// out by the window's traffic writer, tells when it cannot be written.
#include "codes.h"
#include "frames.h"
#include "linerecorder.h"
#include "profile.h"
#include "registers.h"
#include "tmx9ctl.h"
#include "trace.h"

#include "messageboxwatcher.h"
#include "simradio.h"
#include "windowdriver.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using serialports::LineEvent;
using serialports::LineRecorder;
using tmx9::RadioSettings;
using tmx9sim::SimRadio;

Q_DECLARE_METATYPE(RadioSettings)

namespace {

// The frames the radio received (CR LF restored), and all bytes sent to it.
struct Line
{
    QList<QByteArray> frames;
    QByteArray bytes;
};

Line captured(const SimRadio &radio)
{
    Line line;
    for (const auto &entry : radio.receivedLines())
        line.frames << entry.bytes + "\r\n";
    for (const auto &entry : radio.traffic()) {
        if (entry.direction == tmx9sim::TrafficEntry::Direction::ToRadio)
            line.bytes += entry.bytes;
    }
    return line;
}

// What the window writes for the form it shows: the texts as its check rewrites them.
tmx9::TransmissionPlan windowPlan(RadioSettings settings)
{
    if (settings.frequencies.isEmpty())
        return tmx9::writeDefaultPlan();
    for (QString &frequency : settings.frequencies)
        frequency = tmx9::normalizeFrequency(frequency).value_or(frequency);
    return tmx9::writeConfigPlan(settings);
}

int framesOf(const tmx9::TransmissionPlan &plan)
{
    return int(std::count_if(plan.begin(), plan.end(),
                             [](const tmx9::PlanStep &step) { return !step.bytes.isEmpty(); }));
}

} // namespace

class CliWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(!QApplication::activeModalWidget());
        writeOk = readOk = false;
    }

    void sameBytesAsTheWindow_data()
    {
        QTest::addColumn<RadioSettings>("settings"); // none: Write default
        QTest::newRow("Write default") << RadioSettings{};
        QTest::newRow("defaults") << tmx9::defaultSettings();
        QTest::newRow("LORA 3500, short frequency texts")
            << RadioSettings{"LORA",
                             "South",
                             "L",
                             "7",
                             "3500",
                             "9600",
                             "enable",
                             "RX",
                             {"200", "500", "454.05", "433.1234", "300.5", "250.0001", "499.9999",
                              "410", "420.25", "430.125"}};
        RadioSettings fsk = tmx9::defaultSettings();
        fsk.modulation = "FSK";
        fsk.airBaud = "9600";
        fsk.protocol = "TT450S";
        QTest::newRow("FSK 9600") << fsk;
        fsk.airBaud = "19200";
        fsk.workMode = "RX";
        QTest::newRow("FSK 19200, RX") << fsk;
    }

    void sameBytesAsTheWindow()
    {
        QFETCH(RadioSettings, settings);
        const bool writeDefault = settings.frequencies.isEmpty();
        const tmx9::TransmissionPlan plan = windowPlan(settings);
        const QVector<LineEvent> planned = LineRecorder::planned(plan);
        QVERIFY(framesOf(plan) >= 6);
        LineRecorder line;

        // Both hear any rate, so that a row with another serial rate compares whole plans.
        SimRadio windowRadio;
        windowRadio.setAnyBaud(true);
        QVERIFY(windowRadio.start());
        QVector<LineEvent> window;
        {
            MessageBoxWatcher boxes;
            WindowDriver driver;
            driver.openPort(windowRadio.slavePath());
            QVERIFY(boxes.waitForCount(1)); // the read that opening does
            windowRadio.clearTraffic();
            if (!writeDefault) {
                // Modulation before air baud rate, as a person would: the rules then agree.
                const std::pair<const char *, QString> combos[] = {
                    {"com_2", settings.modulation}, {"com_6", settings.airBaud},
                    {"com_3", settings.protocol},   {"com_4", settings.power},
                    {"com_5", settings.channel},    {"com_7", settings.serialBaud},
                    {"com_8", settings.repeater},   {"com_9", settings.workMode}};
                for (const auto &[name, text] : combos)
                    driver.combo(name)->setCurrentText(text);
                for (int n = 1; n <= 10; ++n)
                    driver.channelEdit(n)->setText(settings.frequencies.at(n - 1));
            }
            line.clear();
            driver.click(writeDefault ? "open_port_4" : "open_port_3");
            QVERIFY(boxes.waitForCount(2));
            QCOMPARE(boxes.last().text, QStringLiteral("写入完成"));
            window = line.events();
            // Every byte has left before the verdict; the radio reads them in its own time.
            QTRY_COMPARE(windowRadio.receivedLines().size(), framesOf(plan));
        }
        verifyPlanRun(window, plan);
        if (QTest::currentTestFailed())
            return;

        SimRadio cliRadio;
        cliRadio.setAnyBaud(true);
        QVERIFY(cliRadio.start());
        QTemporaryDir dir;
        QFile profile(dir.filePath("profile.json"));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write(tmx9ctl::profileJson({settings, {}, {}}));
        profile.close();
        QString out;
        QTextStream outStream(&out);
        // At the profile's own serial rate: a new rate would go in a pass of its own. Without the
        // read that backs the radio up first, which the window does not do.
        const QStringList arguments =
            writeDefault
                ? QStringList{"tmx9ctl", "default", "--no-backup", "--port", cliRadio.slavePath()}
                : QStringList{"tmx9ctl",
                              "write",
                              "--no-backup",
                              "--port",
                              cliRadio.slavePath(),
                              "--baud",
                              settings.serialBaud,
                              profile.fileName()};
        line.clear();
        QCOMPARE(tmx9ctl::run(arguments, outStream, outStream), 0);

        // The port settles as the window's does before its first write; then the plan; then,
        // after the plans' own spacing, the read-back.
        const QVector<LineEvent> cli = line.events();
        const LineEvent settle{LineEvent::Kind::Waited, {}, tmx9::kFrameSpacingMs, {}, 0, 0};
        const QVector<LineEvent> readBack = {
            settle, {LineEvent::Kind::Sent, tmx9::readRequest(), 0, {}, 0, 0}};
        QVERIFY2(cli.size() > planned.size() + 3 && cli.first() == settle &&
                     cli.mid(planned.size() + 1, 2) == readBack,
                 qPrintable(LineRecorder::describe(cli)));
        verifyPlanRun(cli.mid(1, planned.size()), plan);
        QCOMPARE(cli.mid(1, planned.size()), window);

        QTRY_COMPARE(cliRadio.receivedLines().size(), framesOf(plan) + 1);
        const Line onWindowLine = captured(windowRadio);
        Line onCliLine = captured(cliRadio);
        QCOMPARE(onCliLine.frames.takeLast(), tmx9::readRequest());
        onCliLine.bytes.chop(tmx9::readRequest().size());
        QCOMPARE(onCliLine.frames, onWindowLine.frames);
        QCOMPARE(onCliLine.bytes, onWindowLine.bytes);
    }

    // A trace that cannot be written says so, with the system's reason, and stops there.
    void traceFile_data()
    {
        QTest::addColumn<QString>("path"); // "": a file of a temporary folder
        QTest::addColumn<bool>("fails");
        QTest::newRow("a file") << "" << false;
        QTest::newRow("a full disk") << "/dev/full" << true;
    }

    void traceFile()
    {
        QFETCH(QString, path);
        QFETCH(bool, fails);
        QTemporaryDir dir;
        if (path.isEmpty())
            path = dir.filePath("trace.txt");
        tmx9ctl::Trace trace;
        QString error;
        QVERIFY2(trace.open(path, &error), qPrintable(error));
        QVERIFY(!trace.failed());
        trace.note("first");
        trace.sent(tmx9::readRequest());
        QCOMPARE(trace.failed(), fails);
        QCOMPARE(trace.failure().isEmpty(), !fails);
        QCOMPARE(trace.isActive(), !fails);
    }

    // The window's log of a session turns back into what the window read when it opened the
    // port, after a write changed the radio.
    void windowLogReadsBackAsAProfile()
    {
        QTemporaryDir logs;
        qputenv("TMX9_LOG_DIR", logs.path().toLocal8Bit());
        SimRadio radio;
        RadioSettings own = tmx9::defaultSettings();
        own.power = "L";
        own.channel = "6";
        own.frequencies.replace(4, "401.2500");
        QVERIFY(radio.setSettings(own));
        radio.setSerialNumber("LOG042");
        QVERIFY(radio.start());
        QString direct;
        QTextStream directStream(&direct);
        QCOMPARE(tmx9ctl::run({"tmx9ctl", "read", "--port", radio.slavePath(), "--json"},
                              directStream, directStream),
                 0);
        {
            MessageBoxWatcher boxes;
            WindowDriver driver;
            driver.openPort(radio.slavePath());
            QVERIFY(boxes.waitForCount(1)); // the read that opening does
            driver.click("open_port_4");    // Write default
            QVERIFY(boxes.waitForCount(2));
        }
        qunsetenv("TMX9_LOG_DIR");
        QVERIFY(radio.settings().power == "H");
        const QStringList files = QDir(logs.path()).entryList({"*.log"});
        QCOMPARE(files.size(), 1);
        QString fromLog;
        QTextStream fromLogStream(&fromLog);
        QCOMPARE(tmx9ctl::run(
                     {"tmx9ctl", "read", "--from-trace", logs.filePath(files.first()), "--json"},
                     fromLogStream, fromLogStream),
                 0);
        QCOMPARE(fromLog, direct);
    }
};

QTEST_MAIN(CliWindowTest)
#include "tst_cli_window.moc"
