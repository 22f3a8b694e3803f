// tmx9ctl sends what the window sends for the same settings: the same bytes, in the same order,
// with the same waits. Each is measured on the line, against its own simulated radio.
#include "codes.h"
#include "frames.h"
#include "profile.h"
#include "tmx9ctl.h"

#include "messageboxwatcher.h"
#include "simradio.h"
#include "windowdriver.h"

#include <QTemporaryDir>
#include <QTest>

using tmx9::RadioSettings;
using tmx9sim::SimRadio;

Q_DECLARE_METATYPE(RadioSettings)

namespace {

// The frames the radio received (CR LF restored), all bytes sent to it, and the frames' times.
struct Line
{
    QList<QByteArray> frames;
    QByteArray bytes;
    QList<double> timesMs;
};

Line captured(const SimRadio &radio)
{
    Line line;
    for (const auto &entry : radio.receivedLines()) {
        line.frames << entry.bytes + "\r\n";
        line.timesMs << entry.timeNs / 1e6;
    }
    for (const auto &entry : radio.traffic()) {
        if (entry.direction == tmx9sim::TrafficEntry::Direction::ToRadio)
            line.bytes += entry.bytes;
    }
    return line;
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

        // Both hear any rate, so that a row with another serial rate compares whole plans.
        SimRadio windowRadio;
        windowRadio.setAnyBaud(true);
        QVERIFY(windowRadio.start());
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
            driver.click(writeDefault ? "open_port_4" : "open_port_3");
            QVERIFY(boxes.waitForCount(2));
            QCOMPARE(boxes.last().text, QStringLiteral("写入完成"));
            // Closing the port drops what the window has not written yet.
            QTest::qWait(150);
        }

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
        // At the profile's own serial rate: a new rate would go in a pass of its own.
        const QStringList arguments =
            writeDefault ? QStringList{"tmx9ctl", "default", "--port", cliRadio.slavePath()}
                         : QStringList{"tmx9ctl",         "write",
                                       "--port",          cliRadio.slavePath(),
                                       "--baud",          settings.serialBaud,
                                       profile.fileName()};
        QCOMPARE(tmx9ctl::run(arguments, outStream, outStream), 0);

        QTest::qWait(50);
        const Line window = captured(windowRadio);
        Line cli = captured(cliRadio);
        // The read-back follows, 100 ms after the window's bytes.
        QCOMPARE(cli.frames.takeLast(), tmx9::readRequest());
        cli.bytes.chop(tmx9::readRequest().size());
        QVERIFY(window.frames.size() >= 6);
        QCOMPARE(cli.frames, window.frames);
        QCOMPARE(cli.bytes, window.bytes);
        verifyGaps(window.timesMs);
        verifyGaps(cli.timesMs);
    }
};

QTEST_MAIN(CliWindowTest)
#include "tst_cli_window.moc"
