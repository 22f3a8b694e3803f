// tmx9ctl and the radio's own serial rate: detect, --baud auto, writes that change the rate, and
// several radios at once. The simulated radios hear only their own rate, as a real one does.
#include "ctlrun.h"
#include "exitstatus.h"
#include "frames.h"
#include "linerecorder.h"
#include "plans.h"
#include "portlist.h"
#include "profile.h"
#include "registers.h"
#include "tmx9ctl.h"

#include "simradio.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using serialports::LineEvent;
using serialports::LineRecorder;
using tmx9::RadioSettings;
using tmx9sim::SimRadio;

namespace {

// A radio at `serialBaud` with the default settings otherwise; 0: deaf and mute.
std::unique_ptr<SimRadio> startRadio(int serialBaud = 115200)
{
    auto radio = std::make_unique<SimRadio>();
    RadioSettings settings = tmx9::defaultSettings();
    if (serialBaud > 0)
        settings.serialBaud = QString::number(serialBaud);
    tmx9sim::Faults faults;
    faults.silent = serialBaud == 0;
    radio->setFaults(faults);
    return radio->setSettings(settings) && radio->start() ? std::move(radio) : nullptr;
}

QByteArray receivedBytes(const SimRadio &radio)
{
    QByteArray bytes;
    for (const auto &entry : radio.receivedLines())
        bytes += entry.bytes + "\r\n";
    return bytes;
}

// Whether `run` stands in `events` as one stretch.
bool containsRun(const QVector<LineEvent> &events, const QVector<LineEvent> &run)
{
    for (int at = 0; at + run.size() <= events.size(); ++at) {
        if (events.mid(at, run.size()) == run)
            return true;
    }
    return false;
}

QStringList lines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text)
               ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

} // namespace

class CliRatesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QString profileFile(const RadioSettings &settings)
    {
        QFile f(dir_.filePath("profile.json"));
        return f.open(QIODevice::WriteOnly) && f.write(tmx9ctl::profileJson({settings, {}, {}})) > 0
                   ? f.fileName()
                   : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // Backups of what the writes overwrite go here, however the test is run.
        qputenv("XDG_DATA_HOME", dir_.filePath("data").toLocal8Bit());
        // No test may list, let alone open, a port of this machine.
        serialports::setCandidateSource([] { return QStringList(); });
    }

    void severalRadiosGetWhatOneGets()
    {
        auto alone = startRadio();
        QVERIFY(alone);
        QCOMPARE(ctl({"default", "--port", alone->slavePath()}).status, 0);
        const QByteArray expected = receivedBytes(*alone);

        std::unique_ptr<SimRadio> radios[6];
        QStringList arguments{"default", "--trace", dir_.filePath("six.txt")};
        QString out;
        for (auto &radio : radios) {
            QVERIFY(radio = startRadio());
            arguments << "--port" << radio->slavePath();
            out += radio->slavePath() + ": written, acknowledged and verified\n";
        }
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == 0, qPrintable(result.text()));
        QCOMPARE(result.outWithoutBackups(), out); // in the order of the ports
        QCOMPARE(result.backups().size(), 6);
        const QStringList trace = lines(dir_.filePath("six.txt"));
        for (const auto &radio : radios) {
            QCOMPARE(receivedBytes(*radio), expected);
            // The trace tells the ports apart: each port's lines are what its radio received.
            QByteArray traced;
            static const QRegularExpression sent("^-> +[0-9.]+ ms  ([0-9A-F ]+)  .*  \\[(.+)\\]$");
            for (const QString &line : trace) {
                const auto match = sent.match(line);
                if (match.hasMatch() && match.captured(2) == radio->slavePath())
                    traced += QByteArray::fromHex(match.captured(1).toLatin1());
            }
            QCOMPARE(traced, expected);
        }
    }

    void severalRadiosChangeRateInOneRun()
    {
        const int rates[] = {115200, 38400, 9600};
        std::unique_ptr<SimRadio> radios[3];
        RadioSettings settings = tmx9::defaultSettings();
        settings.serialBaud = "19200";
        settings.frequencies.replace(3, "433.9250");
        const QString trace = dir_.filePath("passes.txt");
        QStringList arguments{"write", "--baud", "auto", "--trace", trace, profileFile(settings)};
        QString out;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(radios[i] = startRadio(rates[i]));
            arguments << "--port" << radios[i]->slavePath();
            out += radios[i]->slavePath() +
                   ": written, acknowledged and verified; the radio now speaks 19200 baud\n";
        }
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == 0 && result.outWithoutBackups() == out,
                 qPrintable(result.text()));
        // Each port's trace shows both passes, the first at the rate that radio spoke.
        const QStringList notes = lines(trace).filter(QRegularExpression(" (first|second) pass"));
        QCOMPARE(notes.size(), 6);
        for (int i = 0; i < 3; ++i) {
            const QString port = radios[i]->slavePath();
            QCOMPARE(tmx9ctl::profileJson({radios[i]->settings(), {}, {}}),
                     tmx9ctl::profileJson({settings, {}, {}}));
            QVERIFY(notes.contains(QString("-- %1: first pass: the whole write with the present "
                                           "serial rate, %2 baud")
                                       .arg(port)
                                       .arg(rates[i])));
            QVERIFY(notes.contains(QString("-- %1: second pass: the parameter frame with the new "
                                           "serial rate, 19200 baud")
                                       .arg(port)));
        }
    }

    void detectFindsEveryRadioRate()
    {
        const int rates[] = {115200, 38400, 19200, 9600, 0};
        std::unique_ptr<SimRadio> radios[5];
        QStringList arguments{"detect", "--trace", dir_.filePath("detect.txt")};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(radios[i] = startRadio(rates[i]));
            radios[i]->setSerialNumber(QString("R%1").arg(i));
            arguments << "--port" << radios[i]->slavePath();
        }
        radios[3]->setFirmware(tmx9sim::Firmware::Old);
        QString expected;
        for (int i = 0; i < 5; ++i)
            expected += radios[i]->slavePath() +
                        (rates[i] ? QString(": %1 baud, serial number R%2, firmware %3, %4 "
                                            "registers\n")
                                        .arg(rates[i])
                                        .arg(i)
                                        .arg(radios[i]->firmwareVersion())
                                        .arg(i == 3 ? 68 : 69)
                                  : QString(": no radio answered at any rate\n"));
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == 0 && result.err.isEmpty(), qPrintable(result.text()));
        QCOMPARE(result.out, expected);

        // Every rate tried is in the trace: the deaf radio's port saw all five.
        const QString tag = radios[4]->slavePath();
        QStringList tried;
        for (const QString &line : lines(dir_.filePath("detect.txt"))) {
            if (line.startsWith("-- " + tag + ": trying "))
                tried << line.section(' ', 3, 3);
        }
        QCOMPARE(tried, (QStringList{"115200", "38400", "19200", "9600", "4800"}));
        QByteArray heard;
        for (const auto &entry : radios[4]->traffic())
            heard += entry.bytes;
        QCOMPARE(heard, tmx9::readRequest().repeated(5));
        // A radio answers only at its own rate, and the search stops there.
        QCOMPARE(radios[3]->readRequests(), 1);
        QCOMPARE(radios[0]->readRequests(), 1);
    }

    void detectStatuses_data()
    {
        QTest::addColumn<QStringList>("ports"); // R: a radio at 19200, D: deaf, X: cannot open
        QTest::addColumn<bool>("json");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::newRow("no radio") << QStringList{"D"} << false << int(tmx9ctl::NoAnswer) << "";
        QTest::newRow("no radio, JSON") << QStringList{"D"} << true << 4 << "";
        QTest::newRow("named port cannot be opened")
            << QStringList{"X", "R"} << false << int(tmx9ctl::PortUnavailable)
            << "/nonexistent/tty: cannot open the port";
        QTest::newRow("JSON, one found")
            << QStringList{"R", "X", "D"} << true << 3 << "/nonexistent/tty: cannot open the port";
        QTest::newRow("the machine's ports") << QStringList{} << true << 0 << "";
    }

    void detectStatuses()
    {
        QFETCH(QStringList, ports);
        QFETCH(bool, json);
        QFETCH(int, status);
        QFETCH(QString, err);
        auto radio = startRadio(19200);
        auto deaf = startRadio(0);
        QVERIFY(radio && deaf);
        const QString name = radio->slavePath().mid(5); // as the machine's list names it
        QStringList arguments{"detect"};
        for (QString port : ports)
            arguments << "--port"
                      << port.replace("R", radio->slavePath())
                             .replace("D", deaf->slavePath())
                             .replace("X", "/nonexistent/tty");
        if (json)
            arguments << "--json";
        serialports::setCandidateSource(
            [radio = radio->slavePath()] { return QStringList{radio}; });
        const CtlResult result = ctl(arguments);
        serialports::setCandidateSource([] { return QStringList(); });

        QVERIFY2(result.status == status &&
                     (err.isEmpty() ? result.err.isEmpty()
                                    : result.err.startsWith(err) && result.err.count('\n') == 1),
                 qPrintable(result.text()));
        if (ports.contains("R"))
            QVERIFY(result.out.contains(radio->slavePath() + ": 19200 baud") ||
                    result.out.contains("\"baud\": 19200"));
        if (!json)
            return;
        const QJsonArray array = QJsonDocument::fromJson(result.out.toUtf8()).array();
        QCOMPARE(array.size(), qMax(1, ports.size()));
        for (int i = 0; i < array.size(); ++i) {
            const QJsonObject object = array.at(i).toObject();
            const QString kind = ports.value(i, "R");
            QCOMPARE(object.value("found").toBool(), kind == "R");
            QCOMPARE(object.contains("error"), kind == "X");
            if (kind == "R") {
                QCOMPARE(object.value("port").toString(),
                         ports.isEmpty() ? name : radio->slavePath());
                QCOMPARE(object.value("baud").toInt(), 19200);
                QCOMPARE(object.value("serialNumber").toString(), QString("SN0001"));
                QCOMPARE(object.value("registers").toInt(), 69);
            }
        }
    }

    void ratesAndWrites_data()
    {
        QTest::addColumn<QStringList>("arguments"); // PORT and PROFILE stand for the radio's
        QTest::addColumn<int>("radioBaud");
        QTest::addColumn<QString>("newBaud"); // the profile's rate; empty: the defaults
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("endsAt"); // the radio's rate afterwards
        const QString verified = "written, acknowledged and verified";
        QTest::newRow("write to 9600, verified there")
            << QStringList{"write", "PROFILE"} << 115200 << "9600" << 0
            << verified + "; the radio now speaks 9600 baud\n"
            << 9600;
        QTest::newRow("default on a radio at 9600")
            << QStringList{"default", "--baud", "9600"} << 9600 << "" << 0
            << verified + "; the radio now speaks 115200 baud\n"
            << 115200;
        QTest::newRow("write, the rate stays") << QStringList{"write", "--baud", "38400", "PROFILE"}
                                               << 38400 << "38400" << 0 << verified + "\n"
                                               << 38400;
        // The radio switches after the first parameter frame with a new rate: the rest goes
        // first, at the old rate.
        QTest::newRow("write to 19200 and new frequencies")
            << QStringList{"write", "PROFILE", "new frequencies"} << 115200 << "19200" << 0
            << verified + "; the radio now speaks 19200 baud\n"
            << 19200;
        QTest::newRow("default at 38400 and new frequencies")
            << QStringList{"default", "--baud", "38400", "new frequencies"} << 38400 << "" << 0
            << verified + "; the radio now speaks 115200 baud\n"
            << 115200;
        QTest::newRow("no-verify: to 38400 with FSK")
            << QStringList{"write", "--no-verify", "PROFILE", "FSK"} << 115200 << "38400" << 0
            << "not verified (--no-verify); its serial baud rate is now set to 38400\n"
            << 38400;
        QTest::newRow("no-verify: the new rate not acknowledged")
            << QStringList{"write", "--no-verify", "PROFILE", "deaf to the new rate"} << 115200
            << "9600" << int(tmx9ctl::NotAcknowledged)
            << "the new serial rate, 9600, was not acknowledged" << 9600;
        QTest::newRow("the radio keeps its rate")
            << QStringList{"write", "PROFILE", "refuses the new rate"} << 115200 << "9600"
            << int(tmx9ctl::VerifyMismatch)
            << "serialBaud: wrote \"9600\", radio reports \"115200\"; it speaks 115200 baud"
            << 115200;
        // The rest did not stick: the new rate is never sent, and the radio stays reachable.
        QTest::newRow("the first pass differs")
            << QStringList{"write", "PROFILE", "keeps its channel"} << 115200 << "9600"
            << int(tmx9ctl::VerifyMismatch)
            << "currentChannel: wrote \"0\", radio reports \"5\"; its new serial rate was not "
               "sent, it still speaks 115200 baud"
            << 115200;
        QTest::newRow("auto: read at 19200") << QStringList{"read", "--baud", "auto"} << 19200 << ""
                                             << 0 << "Serial baud rate  19200" << 19200;
        QTest::newRow("auto: write at 38400 to 9600")
            << QStringList{"write", "--baud", "auto", "PROFILE"} << 38400 << "9600" << 0
            << verified + "; the radio now speaks 9600 baud\n"
            << 9600;
        QTest::newRow("auto: default, no radio")
            << QStringList{"default", "--baud", "auto"} << 0 << "" << int(tmx9ctl::NoAnswer)
            << "no radio answered at any rate (115200, 38400, 19200, 9600, 4800 baud" << 0;
        // Closing puts back the rate found at opening: not before the last frame is heard.
        QTest::newRow("no-verify: the last frame at the radio's rate")
            << QStringList{"write", "--no-verify", "PROFILE", "no noise"} << 115200 << "115200" << 0
            << "written and acknowledged; not verified (--no-verify)\n"
            << 115200;
        QTest::newRow("no answer at either rate")
            << QStringList{"write", "PROFILE", "deaf to the new rate"} << 115200 << "9600"
            << int(tmx9ctl::NoAnswer) << "it did not answer at the new rate, 9600 baud, either"
            << 9600;
    }

    void ratesAndWrites()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, radioBaud);
        QFETCH(QString, newBaud);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, endsAt);
        QBuffer log; // the radio's own account, shown when the row fails; outlives the radio
        log.open(QIODevice::WriteOnly);
        auto radio = startRadio(radioBaud);
        QVERIFY(radio);
        radio->setLogDevice(&log);
        RadioSettings settings = tmx9::defaultSettings();
        settings.serialBaud = newBaud;
        if (arguments.removeOne("new frequencies")) {
            // Neither the radio's channel 3 nor the profile's is the default one.
            settings.frequencies.replace(3, "433.9250");
            RadioSettings own = radio->settings();
            own.frequencies.replace(3, "450.0000");
            QVERIFY(radio->setSettings(own));
        }
        if (arguments.removeOne("FSK")) {
            settings.modulation = "FSK";
            settings.airBaud = "9600";
        }
        const bool quiet = arguments.removeOne("no noise");
        // What the radio does with a frame that gives it a new rate.
        const QString reaction = arguments.filter(" ").value(0);
        arguments.removeAll(reaction);
        connect(radio.get(), &SimRadio::writeApplied, radio.get(), [&radio, &reaction](int start) {
            RadioSettings now = radio->settings();
            tmx9sim::Faults deaf;
            deaf.silent = true;
            if (reaction == "keeps its channel" && start == 7)
                now.channel = "5";
            else if (reaction == "refuses the new rate" && now.serialBaud != "115200")
                now.serialBaud = "115200";
            else if (reaction == "deaf to the new rate" && now.serialBaud == "9600")
                return radio->setFaults(deaf);
            else
                return;
            radio->setSettings(now);
        });
        arguments.replaceInStrings("PROFILE", profileFile(settings));
        arguments << "--port" << radio->slavePath();

        LineRecorder line;
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == status && (result.out + result.err).contains(message),
                 qPrintable(result.text() + QString::fromUtf8(log.data())));
        const QVector<LineEvent> asked = line.events();
        for (const LineEvent &event : asked) // the drain: every wait begins once the bytes left
            QVERIFY2(event.unsentBytes == 0, qPrintable(LineRecorder::describe(asked)));
        const QString command = arguments.first();
        const RadioSettings written = command == "default" ? tmx9::defaultSettings() : settings;
        if (status == 0 && command != "read" && !arguments.contains("--no-verify") &&
            written.serialBaud != QString::number(radioBaud)) {
            // The second pass, then the plans' own spacing before the read-back at the new rate.
            const tmx9::TransmissionPlan plan =
                command == "default" ? tmx9::writeDefaultPlan() : tmx9::writeConfigPlan(written);
            const QVector<LineEvent> secondPass =
                LineRecorder::planned(
                    tmx9::rateChangePasses(plan, written, QString::number(radioBaud)).newRate) +
                QVector<LineEvent>{{LineEvent::Kind::Waited, {}, tmx9::kFrameSpacingMs, {}, 0, 0},
                                   {LineEvent::Kind::Sent, tmx9::readRequest(), 0, {}, 0, 0}};
            QVERIFY2(containsRun(asked, secondPass), qPrintable(LineRecorder::describe(asked)));
        }
        if (endsAt)
            QCOMPARE(radio->settings().serialBaud, QString::number(endsAt));
        if (status == 0 && arguments.first() != "read") // all of it, not only the rate
            QCOMPARE(
                tmx9ctl::profileJson({radio->settings(), {}, {}}),
                tmx9ctl::profileJson(
                    {arguments.first() == "default" ? tmx9::defaultSettings() : settings, {}, {}}));
        if (quiet) {
            // Every byte left before tmx9ctl returned; the radio reads them in its own time: the
            // read that backs it up, then the plan.
            QTRY_COMPARE(radio->receivedLines().size(), 1 + tmx9::writeConfigPlan(settings).size());
            QVERIFY2(!log.data().contains("noise"), log.data().constData());
        }
    }

    // The search waits for the whole answer: a read that follows must not take in the rest of it.
    void searchTakesTheWholeAnswer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("requests");
        QTest::newRow("detect") << QStringList{"detect"} << 1;
        QTest::newRow("read, auto") << QStringList{"read", "--baud", "auto"} << 2;
        QTest::newRow("write, auto") << QStringList{"write", "--baud", "auto", "PROFILE"} << 2;
    }

    void searchTakesTheWholeAnswer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, requests);
        auto radio = startRadio();
        QVERIFY(radio);
        tmx9sim::Faults faults;
        faults.paceBaud = 9600; // the table takes ~180 ms after the parameter response
        radio->setFaults(faults);
        const QString trace = dir_.filePath("paced.txt");
        arguments.replaceInStrings("PROFILE", profileFile(tmx9::defaultSettings()));
        arguments << "--port" << radio->slavePath() << "--trace" << trace;
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == 0, qPrintable(result.text()));

        // What came back after each read request, up to the next bytes sent.
        QStringList answers;
        bool afterRequest = false;
        for (const QString &line : lines(trace)) {
            if (line.startsWith("->")) {
                afterRequest = line.endsWith("read request");
                if (afterRequest)
                    answers << QString();
            } else if (line.startsWith("<-") && afterRequest) {
                answers.last() += line.section("  ", -1).section(' ', 0, 2) + "; ";
            }
        }
        QCOMPARE(answers.size(), requests);
        for (const QString &answer : answers)
            QCOMPARE(answer, QStringLiteral("parameter response N=69; channel table response; "));
    }
};

QTEST_GUILESS_MAIN(CliRatesTest)
#include "tst_cli_rates.moc"
