// tmx9ctl against simulated radios on pseudo-terminals, run in-process on the test's thread.
#include "backup.h"
#include "ctlrun.h"
#include "exitstatus.h"
#include "fleet.h"
#include "linerecorder.h"
#include "portlist.h"
#include "profile.h"
#include "tmx9ctl.h"

#include "describe.h"
#include "frames.h"
#include "pseudoterminal.h"
#include "registers.h"
#include "responses.h"
#include "simoptions.h"
#include "simradio.h"
#include "statefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

using tmx9::RadioSettings;
using tmx9sim::Faults;
using tmx9sim::SimRadio;

Q_DECLARE_METATYPE(Faults)

namespace {

// These radios hear any rate: the tests here set rates in profiles without meaning to switch.
std::unique_ptr<SimRadio> startRadio()
{
    auto radio = std::make_unique<SimRadio>();
    radio->setAnyBaud(true);
    return radio->start() ? std::move(radio) : nullptr;
}

// The bytes of every line from the radio in a trace, in order.
QList<QByteArray> receivedIn(const QString &trace)
{
    QList<QByteArray> received;
    QFile file(trace);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!file.atEnd()) {
            const auto entry = tmx9::parseTraceLine(QString::fromUtf8(file.readLine()).trimmed());
            if (entry && entry->direction == tmx9::Direction::FromRadio)
                received << entry->bytes;
        }
    }
    return received;
}

RadioSettings someSettings()
{
    RadioSettings s{"FSK", "MAC", "L", "7", "19200", "38400", "enable", "RX", {}};
    for (int channel = 0; channel < 10; ++channel)
        s.frequencies << QString::number(410.0125 + 7.5 * channel, 'f', 4);
    return s;
}

// Every setting, as the bytes that would write it: equal bytes, equal settings.
QByteArray planBytes(const RadioSettings &settings)
{
    QByteArray bytes;
    for (const tmx9::PlanStep &step : tmx9::writeConfigPlan(settings))
        bytes += step.bytes;
    return bytes;
}

} // namespace

class CliRadioTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QString profileFile(const RadioSettings &settings)
    {
        return file("profile.json", tmx9ctl::profileJson({settings, {}, {}}));
    }

    QString file(const QString &name, const QByteArray &content)
    {
        QFile f(dir_.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(content) >= 0 ? f.fileName() : QString();
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

    void readToJsonAndWriteItBackUnchanged()
    {
        auto source = startRadio();
        auto target = startRadio();
        QVERIFY(source && target);
        QVERIFY(source->setSettings(someSettings()));
        source->setSerialNumber("AB1234");

        const CtlResult read = ctl({"read", "--port", source->slavePath(), "--json"});
        QVERIFY2(read.status == 0 && read.err.isEmpty(), qPrintable(read.text()));
        QCOMPARE(QJsonDocument::fromJson(read.out.toUtf8()).object().value("serialNumber"),
                 QJsonValue("AB1234"));
        const QString path = file("read.json", read.out.toUtf8());

        const QByteArray targetRecords = target->channelRecords();
        const CtlResult written = ctl({"write", "--port", target->slavePath(), path});
        // Its rate, 38400, goes last, on its own (this radio hears the link's 115200 as well).
        QCOMPARE(written.outWithoutBackups(),
                 target->slavePath() + ": written, acknowledged and verified; the radio now "
                                       "speaks 38400 baud\n");
        QCOMPARE(planBytes(target->settings()), planBytes(someSettings()));
        QCOMPARE(target->serialNumber(), QStringLiteral("SN0001")); // read only

        // What it held before is kept, and puts it back exactly: the radio then reads as the
        // backup, byte for byte, and holds the same channel records.
        QCOMPARE(written.backups().size(), 1);
        QVERIFY(written.backups().first().contains("/SN0001-"));
        QFile backup(written.backups().first());
        QVERIFY(backup.open(QIODevice::ReadOnly));
        const CtlResult restored =
            ctl({"write", "--port", target->slavePath(), written.backups().first()});
        QVERIFY2(restored.status == 0, qPrintable(restored.text()));
        QCOMPARE(ctl({"read", "--port", target->slavePath(), "--json"}).out.toUtf8(),
                 backup.readAll());
        QCOMPARE(target->channelRecords(), targetRecords);
        QCOMPARE(planBytes(target->settings()), planBytes(tmx9::defaultSettings()));

        // Back onto the radio it came from: nothing changes.
        const QByteArray block = source->parameterBlock();
        const QByteArray records = source->channelRecords();
        QCOMPARE(ctl({"write", "--port", source->slavePath(), path}).status, 0);
        QCOMPARE(source->parameterBlock(), block);
        QCOMPARE(source->channelRecords(), records);
    }

    void seededRandomProfilesRoundTrip_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {20240325u, 7u, 1234567u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void seededRandomProfilesRoundTrip()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const auto pick = [&](tmx9::Field field) {
            const QStringList texts = tmx9::optionTexts(field);
            return texts.at(random.bounded(texts.size()));
        };
        auto radio = startRadio();
        QVERIFY(radio);
        for (int round = 0; round < 4; ++round) {
            RadioSettings s;
            s.airBaud = pick(tmx9::Field::AirBaud);
            s.modulation = tmx9ctl::airBaudRatesOf("FSK").contains(s.airBaud) ? "FSK" : "LORA";
            s.protocol = pick(tmx9::Field::Protocol);
            s.power = pick(tmx9::Field::Power);
            s.channel = pick(tmx9::Field::Channel);
            s.serialBaud = pick(tmx9::Field::SerialBaud);
            s.repeater = pick(tmx9::Field::Repeater);
            s.workMode = pick(tmx9::Field::WorkMode);
            for (int channel = 0; channel < 10; ++channel)
                s.frequencies << QString::number(200 + random.bounded(3000001) / 1e4, 'f', 4);

            const CtlResult written = ctl({"write", "--port", radio->slavePath(), profileFile(s)});
            QVERIFY2(written.status == 0, qPrintable(written.text()));
            QCOMPARE(planBytes(radio->settings()), planBytes(s));
            RadioSettings back;
            const CtlResult read = ctl({"read", "--port", radio->slavePath(), "--json"});
            QCOMPARE(tmx9ctl::readProfile(read.out.toUtf8(), &back), QStringList());
            QCOMPARE(planBytes(back), planBytes(s));
        }
    }

    void olderRadio_data()
    {
        QTest::addColumn<QString>("airBaud");
        QTest::addColumn<int>("writeStatus");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("readStatus");
        QTest::newRow("18000") << "18000" << 0 << "not report them: modulation\n" << 0;
        // It cannot report 6000: not compared, and a read cannot decode it.
        QTest::newRow("6000") << "6000" << 0 << "not report them: modulation, airBaud\n" << 5;
        QTest::newRow("FSK") << "9600" << 7 << "airBaud: wrote \"9600\", radio reports \"11000\""
                             << 0;
    }

    void olderRadio()
    {
        QFETCH(QString, airBaud);
        QFETCH(int, writeStatus);
        QFETCH(QString, message);
        QFETCH(int, readStatus);
        auto radio = startRadio();
        QVERIFY(radio);
        radio->setFirmware(tmx9sim::Firmware::Old);
        RadioSettings settings = tmx9::defaultSettings();
        settings.airBaud = airBaud;
        settings.modulation = airBaud == QLatin1String("9600") ? "FSK" : "LORA";

        const CtlResult result =
            ctl({"write", "--port", radio->slavePath(), profileFile(settings)});
        QVERIFY2(result.status == writeStatus && (result.out + result.err).contains(message),
                 qPrintable(result.text()));
        const CtlResult read = ctl({"read", "--port", radio->slavePath()});
        QCOMPARE(read.status, readStatus);
        QVERIFY(read.out.contains("LORA (older radio: LoRa only, not reported)"));
    }

    void invalidProfileSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("problems");
        const QByteArray good = tmx9ctl::profileJson({tmx9::defaultSettings(), {}, {}});
        QTest::newRow("frequency 600") << QByteArray(good).replace("456.0500", "600") << 1;
        QTest::newRow("FSK with 11000") << QByteArray(good).replace("\"LORA\"", "\"FSK\"") << 1;
        QTest::newRow("two wrong cases")
            << QByteArray(good).replace("\"TX\"", "\"tx\"").replace("\"H\"", "\"h\"") << 2;
        QTest::newRow("not JSON") << QByteArray("power = H\n") << 1;
        QTest::newRow("no such file") << QByteArray() << 0;
        QTest::newRow("over 1 MiB") << QByteArray(tmx9ctl::kMaxProfileBytes + 1, ' ') << 0;
    }

    void invalidProfileSendsNothing()
    {
        QFETCH(QByteArray, profile);
        QFETCH(int, problems);
        auto first = startRadio();
        auto second = startRadio();
        QVERIFY(first && second);
        const QString path =
            profile.isEmpty() ? dir_.filePath("none.json") : file("bad.json", profile);
        serialports::LineRecorder line;
        const CtlResult result =
            ctl({"write", "--port", first->slavePath(), "--port", second->slavePath(), path});
        QCOMPARE(result.status, int(tmx9ctl::InvalidProfile));
        QCOMPARE(result.errLines().size(), problems + 1);
        for (const QString &line : result.errLines())
            QVERIFY2(line.startsWith(path + ": "), qPrintable(line));
        QVERIFY(result.err.endsWith("nothing was sent to any radio\n") ||
                result.err.endsWith("cannot read the profile: No such file or directory; "
                                    "nothing was sent\n"));
        // Every line is asked for through the engine, which drains before tmx9ctl returns.
        QVERIFY2(line.events().isEmpty(),
                 qPrintable(serialports::LineRecorder::describe(line.events())));
        QVERIFY(first->traffic().isEmpty() && second->traffic().isEmpty());
    }

    void severalPortsOneFailing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("status");
        QTest::newRow("write, no ack") << "write"
                                       << "no ack" << int(tmx9ctl::NotAcknowledged);
        QTest::newRow("write, gone") << "write"
                                     << "gone" << int(tmx9ctl::PortUnavailable);
        QTest::newRow("default, keeps another channel")
            << "default"
            << "keeps channel" << int(tmx9ctl::VerifyMismatch);
        QTest::newRow("read, gone") << "read"
                                    << "gone" << int(tmx9ctl::PortUnavailable);
        // Two failing ports: the first one's status, whichever is the larger.
        QTest::newRow("write, no ack, then gone") << "write"
                                                  << "no ack+gone" << int(tmx9ctl::NotAcknowledged);
        QTest::newRow("write, gone, then no ack") << "write"
                                                  << "gone+no ack" << int(tmx9ctl::PortUnavailable);
    }

    void severalPortsOneFailing()
    {
        QFETCH(QString, command);
        QFETCH(QString, failure);
        QFETCH(int, status);
        // Each port by a link of its own, removed when its radio goes: a test beside this one
        // may be given a stopped radio's terminal number again.
        std::unique_ptr<SimRadio> radios[3];
        QStringList ports;
        QStringList arguments{command};
        for (auto &radio : radios) {
            QVERIFY(radio = startRadio());
            QVERIFY(radio->setSettings(someSettings()));
            ports << dir_.filePath(QStringLiteral("port%1").arg(ports.size()));
            QFile::remove(ports.last());
            QVERIFY(QFile::link(radio->slavePath(), ports.last()));
            arguments << "--port" << ports.last();
        }
        const auto stop = [&](int i) {
            radios[i]->stop();
            QFile::remove(ports.at(i));
        };
        SimRadio &bad = *radios[1];
        const QString badPath = ports.at(1);
        const QString alsoFailing = failure.section('+', 1); // the third port's failure
        failure = failure.section('+', 0, 0);
        if (alsoFailing == QLatin1String("gone"))
            stop(2);
        if (failure == QLatin1String("no ack") || alsoFailing == QLatin1String("no ack")) {
            Faults faults;
            faults.noAck = true;
            (failure == QLatin1String("no ack") ? bad : *radios[2]).setFaults(faults);
        }
        if (failure == QLatin1String("gone")) {
            stop(1);
        } else if (failure != QLatin1String("no ack")) {
            // Keeps its own current channel and channel 5 frequency, whatever it is sent.
            connect(&bad, &SimRadio::writeApplied, &bad, [&bad](int start) {
                tmx9sim::RadioState state = bad.state();
                state.write(start == 7 ? 13 : 0x80 + 5 * 7, start == 7 ? "5" : "4000000");
                bad.setState(state);
            });
        }
        if (command == QLatin1String("write"))
            arguments << profileFile(tmx9::defaultSettings());

        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == status, qPrintable(result.text()));
        QCOMPARE(result.errLines().size(), alsoFailing.isEmpty() ? 1 : 2);
        QVERIFY(result.err.startsWith(badPath + ": "));
        if (!alsoFailing.isEmpty())
            return;
        if (command == QLatin1String("read")) {
            QCOMPARE(result.out.count("Port  "), 2);
            return;
        }
        if (status == tmx9ctl::VerifyMismatch)
            QVERIFY(result.err.contains("currentChannel: wrote \"0\", radio reports \"5\"; "
                                        "frequencies[5] (channel 5): wrote \"459.0500\", radio "
                                        "reports \"400.0000\""));
        QCOMPARE(result.outWithoutBackups(),
                 ports.at(0) + ": written, acknowledged and verified\n" + ports.at(2) +
                     ": written, acknowledged and verified\n");
        QCOMPARE(planBytes(radios[2]->settings()), planBytes(tmx9::defaultSettings()));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const auto with = [](auto change) {
            Faults faults;
            change(faults);
            return faults;
        };
        QTest::newRow("read: silent") << "read" << with([](Faults &f) { f.silent = true; }) << 4
                                      << "no answer within 3000 ms";
        QTest::newRow("read: stray bytes")
            << "read" << with([](Faults &f) { f.strayBytes = "\x55\xAA"; }) << 5
            << "neither the parameter response nor the channel table response";
        QTest::newRow("read: CR LF in the parameters")
            << "read" << with([](Faults &f) { f.crLfInParameters = true; }) << 5
            << "shorter than its length byte (N=69)";
        QTest::newRow("read: CR LF in the table")
            << "read" << with([](Faults &f) { f.crLfInChannelTable = true; }) << 5
            << "holds 5 usable records";
        QTest::newRow("read: line closes mid-answer")
            << "read" << with([](Faults &f) { f.closeAfterBytes = 40; }) << 3
            << "failed during the exchange (the device went away)";
        QTest::newRow("read: bad checksum")
            << "read" << with([](Faults &f) { f.badChecksum = true; }) << 0 << "";
        QTest::newRow("read: fragments") << "read" << with([](Faults &f) {
            f.fragmentBytes = 5;
            f.fragmentGapMs = 1;
        }) << 0 << "";
        QTest::newRow("read: 9600 baud pace")
            << "read" << with([](Faults &f) { f.paceBaud = 9600; }) << 0 << "";
        // The write path itself: without the read that backs a radio up first.
        QTest::newRow("write: silent")
            << "write --no-backup" << with([](Faults &f) { f.silent = true; }) << 6
            << "did not acknowledge";
        QTest::newRow("write: no ack")
            << "write" << with([](Faults &f) { f.noAck = true; }) << 6 << "did not acknowledge";
        QTest::newRow("write: ack after the plan")
            << "write" << with([](Faults &f) { f.ackDelayMs = 2500; }) << 6
            << "did not acknowledge";
        QTest::newRow("write: line closes")
            << "write" << with([](Faults &f) { f.closeOnWriteFrame = 1; }) << 3
            << "failed during the exchange (the device went away)";
        QTest::newRow("write: stray bytes")
            << "write --no-backup" << with([](Faults &f) { f.strayBytes = "\x55"; }) << 5
            << "acknowledged, but the read-back failed";
        // A radio that cannot be read first is not written: what it holds would be lost unseen.
        QTest::newRow("write, backup: silent")
            << "write" << with([](Faults &f) { f.silent = true; }) << 8
            << "cannot read the radio before writing, so what it holds would be lost unseen: no "
               "answer within 3000 ms";
        QTest::newRow("default, backup: stray bytes")
            << "default" << with([](Faults &f) { f.strayBytes = "\x55"; }) << 8
            << "; nothing was sent to it (--no-backup writes without a backup)";
        QTest::newRow("write: fragments") << "write" << with([](Faults &f) {
            f.fragmentBytes = 3;
            f.fragmentGapMs = 2;
        }) << 0 << "";
        QTest::newRow("default: no ack")
            << "default" << with([](Faults &f) { f.noAck = true; }) << 6 << "did not acknowledge";
    }

    void faults()
    {
        QFETCH(QString, command);
        QFETCH(Faults, faults);
        QFETCH(int, status);
        QFETCH(QString, message);
        auto radio = startRadio();
        QVERIFY(radio);
        radio->setFaults(faults);
        const QString path = radio->slavePath(); // gone once a fault closes the line
        QStringList arguments = command.split(' ') + QStringList{"--port", path};
        if (command.startsWith("write"))
            arguments << profileFile(someSettings());
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == status, qPrintable(result.text()));
        QStringList errLines = result.errLines();
        if (command.endsWith("--no-backup"))
            QVERIFY(errLines.takeFirst().startsWith("tmx9ctl: no backup (--no-backup)"));
        QCOMPARE(errLines.size(), status == 0 ? 0 : 1);
        QVERIFY2(errLines.join('\n').startsWith(path + ": ") == (status != 0) &&
                     result.err.contains(message),
                 qPrintable(result.err));
        if (status == tmx9ctl::BackupFailed)
            QCOMPARE(radio->receivedLines().size(), 1); // the read request, nothing else
    }

    // A peer that answers the read request with bytes but never a line end, as a radio at
    // another rate does: it answered, but nothing could be recognised.
    void unterminatedAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("status");
        QTest::newRow("garbled bytes") << QByteArray("\x55\xAA\x13\xF0") << 5;
        QTest::newRow("the start of a response") << QByteArray("$$RJ\x45\x00\x45") << 5;
        QTest::newRow("CR without LF") << QByteArray("\x13\r\x13\r") << 5;
        QTest::newRow("nothing") << QByteArray() << 4;
    }

    void unterminatedAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, status);
        tmx9sim::PseudoTerminal peer;
        QVERIFY(peer.open());
        connect(&peer, &tmx9sim::PseudoTerminal::received, &peer, [&](const QByteArray &chunk) {
            if (chunk.contains('\n') && !answer.isEmpty())
                peer.write(answer);
        });
        const CtlResult result = ctl({"read", "--port", peer.slavePath()});
        QVERIFY2(result.status == status, qPrintable(result.text()));
    }

    void traceHoldsBothDirections()
    {
        auto radio = startRadio();
        QVERIFY(radio);
        const QString trace = dir_.filePath("trace.txt");
        QCOMPARE(ctl({"write", "--trace", trace, "--port", radio->slavePath(),
                      profileFile(someSettings())})
                     .status,
                 0);
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList text = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(text.first().startsWith("-- tmx9ctl write --trace"));
        QCOMPARE(text.last(), QStringLiteral("-- exit status 0"));

        static const QRegularExpression line(
            "^(->|<-) +([0-9]+\\.[0-9]{3}) ms  ([0-9A-F]{2}(?: [0-9A-F]{2})*)  (.+)$");
        QList<QByteArray> sent;
        QStringList sentWhat, receivedWhat;
        double last = 0;
        for (const QString &entry : text) {
            if (entry.startsWith("-- first pass") || entry.startsWith("-- second pass"))
                sentWhat << entry.section(':', 0, 0);
            if (entry.startsWith("-- "))
                continue;
            const auto match = line.match(entry);
            QVERIFY2(match.hasMatch() && match.captured(2).toDouble() >= last, qPrintable(entry));
            last = match.captured(2).toDouble();
            if (match.captured(1) == QLatin1String("->")) {
                sent << QByteArray::fromHex(match.captured(3).toLatin1());
                sentWhat << match.captured(4);
            } else {
                receivedWhat << match.captured(4);
            }
        }
        QList<QByteArray> arrived;
        for (const auto &entry : radio->receivedLines())
            arrived << entry.bytes + "\r\n";
        QCOMPARE(sent, arrived);
        // The profile's serial rate, 38400, is not the link's: it goes in a pass of its own.
        QCOMPARE(sentWhat,
                 (QStringList{"read request", "-- first pass", "parameter frame", "parameter frame",
                              "channel table frame", "channel table frame", "SET AIRBT 19200",
                              "SET FSK", "SET FSK", "read request", "-- second pass",
                              "parameter frame", "parameter frame", "read request"}));
        QCOMPARE(receivedWhat.count("write ack"), 6);
        RadioSettings first = someSettings();
        first.serialBaud = "115200";
        QCOMPARE(sent.at(1).toHex(), tmx9::parameterFrameHex(first).toLatin1().toLower());
        QCOMPARE(sent.at(9).toHex(), tmx9::parameterFrameHex(someSettings()).toLatin1().toLower());
        // The first answer is the read that backs the radio up, before anything is written.
        QCOMPARE(receivedWhat.mid(0, 2),
                 (QStringList{"parameter response N=69", "channel table response"}));
        QCOMPARE(receivedWhat.mid(receivedWhat.size() - 2),
                 (QStringList{"parameter response N=69", "channel table response"}));
    }

    void checkWritesNothing_data()
    {
        QTest::addColumn<QString>("second"); // how the second of two radios differs
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // the second port's, without the port
        QTest::newRow("both match")
            << "" << QStringList{} << 0 << QStringList{"matches the profile"};
        QTest::newRow("two fields differ")
            << "power, channel 5" << QStringList{} << int(tmx9ctl::VerifyMismatch)
            << QStringList{"power: profile \"L\", radio reports \"H\"",
                           "frequencies[5] (channel 5): profile \"447.5125\", radio reports "
                           "\"459.0500\""};
        QTest::newRow("older radio")
            << "older" << QStringList{} << 0
            << QStringList{"matches the profile; not checked, an older radio does not report "
                           "them: modulation"};
        QTest::newRow("auto: a radio at 19200")
            << "19200" << QStringList{"--baud", "auto"} << int(tmx9ctl::VerifyMismatch)
            << QStringList{"serialBaud: profile \"115200\", radio reports \"19200\""};
        QTest::newRow("unreadable profile")
            << "no profile" << QStringList{} << int(tmx9ctl::InvalidProfile) << QStringList{};
    }

    void checkWritesNothing()
    {
        QFETCH(QString, second);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        RadioSettings profile = tmx9::defaultSettings();
        profile.power = "L";
        profile.channel = "7";
        profile.frequencies[5] = "447.5125";
        std::unique_ptr<SimRadio> radios[2];
        for (auto &radio : radios) {
            QVERIFY(radio = startRadio());
            QVERIFY(radio->setSettings(profile));
        }
        SimRadio &other = *radios[1];
        if (second == "power, channel 5") {
            QVERIFY(other.setSettings(tmx9::defaultSettings()));
            tmx9sim::RadioState state = other.state();
            state.write(13, "7"); // the same channel
            other.setState(state);
        } else if (second == "older") {
            other.setFirmware(tmx9sim::Firmware::Old);
        } else if (second == "19200") {
            RadioSettings at19200 = profile;
            at19200.serialBaud = "19200";
            QVERIFY(other.setSettings(at19200));
            other.setAnyBaud(false);
        }
        const QString path = second == "no profile"
                                 ? dir_.filePath("none.json")
                                 : file("check.json", tmx9ctl::profileJson({profile, {}, {}}));
        const CtlResult result = ctl(QStringList{"check", "--port", radios[0]->slavePath(),
                                                 "--port", other.slavePath(), path} +
                                     options);
        QVERIFY2(result.status == status, qPrintable(result.text()));
        QStringList expected = lines;
        expected.replaceInStrings(QRegularExpression("^"), other.slavePath() + ": ");
        if (status == int(tmx9ctl::InvalidProfile)) {
            QCOMPARE(result.err, path + ": cannot read the profile: No such file or directory; "
                                        "no radio was read\n");
        } else {
            const QString first = radios[0]->slavePath() + ": matches the profile\n";
            QCOMPARE(result.out, status == 0 ? first + expected.join('\n') + '\n' : first);
            QCOMPARE(result.errLines(), status == 0 ? QStringList() : expected);
        }
        for (const auto &radio : radios)
            QCOMPARE(radio->writeFrames(), 0);
    }

    // A radio made from a trace reads as the radio that was traced, from the same bytes; a write
    // then takes effect and later reads come from its state.
    void replayedTraceReadsAsTheRadio_data()
    {
        QTest::addColumn<bool>("old");
        QTest::addColumn<QByteArray>("registers"); // register, value pairs
        QTest::addColumn<QByteArray>("channels");  // the channel table; empty: the default
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<bool>("channelTableFirst");
        QTest::addColumn<int>("ports");
        QTest::addColumn<bool>("crLfLater"); // in both radios' responses, once traced
        QByteArray ownChannels;
        for (int record = 0; record < tmx9::kTableRecords; ++record)
            ownChannels += QByteArray::number(2301250 + 98765 * record);
        Faults badChecksum;
        badChecksum.badChecksum = true;
        const QByteArray unshowable{"\x0e\x7a\x0f\x3f\x08\x55\x41\x39\x07\x00", 10};
        QTest::newRow("older radio, channels of its own")
            << true << QByteArray() << ownChannels << Faults() << false << 1 << false;
        QTest::newRow("codes the window cannot show")
            << false << unshowable << QByteArray() << Faults() << false << 1 << false;
        QTest::newRow("wrong checksums, channel table first")
            << true << QByteArray() << ownChannels << badChecksum << true << 1 << false;
        QTest::newRow("two ports")
            << false << unshowable << ownChannels << Faults() << false << 2 << false;
        QTest::newRow("a fault while replaying")
            << false << unshowable << ownChannels << Faults() << false << 1 << true;
    }

    void replayedTraceReadsAsTheRadio()
    {
        QFETCH(bool, old);
        QFETCH(QByteArray, registers);
        QFETCH(QByteArray, channels);
        QFETCH(Faults, faults);
        QFETCH(bool, channelTableFirst);
        QFETCH(int, ports);
        QFETCH(bool, crLfLater);
        std::vector<std::unique_ptr<SimRadio>> traced;
        QStringList readAll{"read", "--trace", dir_.filePath("recorded.txt")};
        for (int port = 0; port < ports; ++port) {
            traced.push_back(startRadio());
            SimRadio &radio = *traced.back();
            radio.setFirmware(old ? tmx9sim::Firmware::Old : tmx9sim::Firmware::New);
            QByteArray block = radio.parameterBlock();
            for (int i = 0; i + 1 < registers.size(); i += 2)
                block[int(registers[i])] = registers[i + 1];
            radio.setParameterBlock(block);
            QVERIFY(channels.isEmpty() || radio.setChannelRecords(channels));
            radio.setSerialNumber(QStringLiteral("PORT%1").arg(port));
            radio.setFaults(faults);
            radio.setChannelTableFirst(channelTableFirst);
            readAll << "--port" << radio.slavePath();
        }
        ctl(readAll);

        tmx9sim::SimOptions options;
        options.replayPath = dir_.filePath("recorded.txt");
        options.statePath = dir_.filePath("saved.json");
        SimRadio replayed;
        replayed.setAnyBaud(true);
        QString error;
        QVERIFY2(tmx9sim::applySimOptions(options, replayed, &error), qPrintable(error));
        QVERIFY(replayed.start());
        const auto source = std::find_if(traced.begin(), traced.end(), [&](const auto &radio) {
            return radio->serialNumber() == replayed.serialNumber();
        });
        QVERIFY(source != traced.end());
        tmx9sim::RadioState saved;
        QVERIFY(tmx9sim::loadStateFile(options.statePath, &saved, &error));
        QCOMPARE(saved.parameterBlock(), (*source)->parameterBlock());
        QCOMPARE(saved.channelRecords(), (*source)->channelRecords());

        // The trace alone reads as the radio did, with no port opened.
        const QString tracedPort = (*source)->slavePath();
        const CtlResult direct = ctl({"read", "--port", tracedPort, "--json"});
        const QStringList fromTrace{"read", "--from-trace", dir_.filePath("recorded.txt"),
                                    "--json"};
        QCOMPARE(ctl(fromTrace + QStringList{"--port", tracedPort}).text(), direct.text());
        const CtlResult anyPort = ctl(fromTrace);
        if (ports == 1)
            QCOMPARE(anyPort.text(), direct.text());
        else
            QVERIFY2(anyPort.status == tmx9ctl::UsageError &&
                         anyPort.err.contains("holds reads of several ports: "),
                     qPrintable(anyPort.text()));

        if (crLfLater) {
            Faults crLf;
            crLf.crLfInParameters = crLf.crLfInChannelTable = true;
            (*source)->setFaults(crLf);
            replayed.setFaults(crLf);
        }
        const auto readTraced = [&](SimRadio &radio, const QString &trace) {
            CtlResult result = ctl({"read", "--trace", trace, "--port", radio.slavePath()});
            result.out.replace(radio.slavePath(), "PORT");
            result.err.replace(radio.slavePath(), "PORT");
            return result;
        };
        const CtlResult original = readTraced(**source, dir_.filePath("original.txt"));
        const CtlResult replay = readTraced(replayed, dir_.filePath("replay.txt"));
        QCOMPARE(replay.text(), original.text());
        const QList<QByteArray> received = receivedIn(dir_.filePath("replay.txt"));
        QCOMPARE(received, receivedIn(dir_.filePath("original.txt")));

        replayed.setFaults(Faults());
        RadioSettings other = someSettings();
        other.serialBaud = "115200"; // a new rate is a write of its own
        ctl({"write", "--port", replayed.slavePath(), profileFile(other)});
        QVERIFY(replayed.channelRecords() != (*source)->channelRecords());
        readTraced(replayed, dir_.filePath("after.txt"));
        const QList<QByteArray> after = receivedIn(dir_.filePath("after.txt"));
        QVERIFY(after.contains(tmx9sim::parameterResponse(replayed.parameterBlock())));
        QVERIFY(after.contains(tmx9sim::channelTableResponse(replayed.channelRecords())));

        // An option that changes the radio ends the recording before the first read.
        options.serialNumber = "OTHER1";
        SimRadio renamed;
        renamed.setAnyBaud(true);
        QVERIFY(tmx9sim::applySimOptions(options, renamed, &error) && renamed.start());
        readTraced(renamed, dir_.filePath("renamed.txt"));
        QVERIFY(receivedIn(dir_.filePath("renamed.txt"))
                    .contains(tmx9sim::parameterResponse(renamed.parameterBlock())));
    }

    void backups_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("kept");  // backups of the radio in the folder afterwards
        QTest::addColumn<int>("reads"); // read requests before the first write frame
        QTest::newRow("the user's folder") << QStringList{} << 0 << 1 << 1;
        QTest::newRow("--backup-dir") << QStringList{"--backup-dir", "DIR/b"} << 0 << 1 << 1;
        QTest::newRow("--baud auto: the search read it")
            << QStringList{"--backup-dir", "DIR/b", "--baud", "auto"} << 0 << 1 << 1;
        QTest::newRow("no folder can be made")
            << QStringList{"--backup-dir", "DIR/file/b"} << int(tmx9ctl::BackupFailed) << 0 << 1;
        QTest::newRow("--no-backup") << QStringList{"--no-backup"} << 0 << 0 << 0;
        QTest::newRow("the newest 20 are kept")
            << QStringList{"--backup-dir", "DIR/full"} << 0 << tmx9ctl::kKeptBackups << 1;
    }

    void backups()
    {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(int, kept);
        QFETCH(int, reads);
        QTemporaryDir dir;
        QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkpath("full");
        for (int day = 1; day <= 25; ++day) // older ones, and one of another radio
            QFile(dir.filePath("full/" + tmx9ctl::backupFileName(day == 1 ? "SN0002" : "SN0001",
                                                                 QDateTime({2026, 1, day}, {}))))
                .open(QIODevice::WriteOnly);
        const bool full = options.contains("DIR/full");
        options.replaceInStrings(QRegularExpression("^DIR"), dir.path());
        const QString folder =
            options.contains("--backup-dir")
                ? options.at(options.indexOf("--backup-dir") + 1)
                : QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/tmx9-config/backups";
        const QStringList before = QDir(folder).entryList({"SN0001-*.json"});

        auto radio = startRadio();
        QVERIFY(radio);
        const CtlResult result =
            ctl(QStringList{"default", "--port", radio->slavePath()} + options);
        QVERIFY2(result.status == status, qPrintable(result.text()));
        const QStringList after =
            QDir(folder).entryList({"SN0001-*.json"}, QDir::Files, QDir::Name);
        QCOMPARE(after.size(), full ? kept : qMin(before.size() + kept, tmx9ctl::kKeptBackups));
        QCOMPARE(result.backups().size(), status == 0 ? kept ? 1 : 0 : 0);
        if (!result.backups().isEmpty())
            QCOMPARE(QFileInfo(result.backups().first()).fileName(), after.last());
        QCOMPARE(QDir(dir.filePath("full")).entryList({"SN0002-*"}).size(), 1);
        QCOMPARE(result.err.contains("no backup (--no-backup)"), options.contains("--no-backup"));

        int requests = 0;
        for (const auto &line : radio->receivedLines()) {
            if (line.bytes.startsWith("$$RJ"))
                break;
            requests += line.bytes + "\r\n" == tmx9::readRequest();
        }
        QCOMPARE(requests, reads);
        QCOMPARE(radio->receivedLines().size() > 1, status == 0);
    }

    // What the radio holds, but a profile cannot: shown, saved, and status 5.
    void readFlagsWhatAProfileCannotHold_data()
    {
        QTest::addColumn<int>("record"); // the channel record changed, -1: none
        QTest::addColumn<QByteArray>("digits");
        QTest::addColumn<QString>("message");
        QTest::newRow("a negative frequency")
            << 3 << QByteArray("-454050")
            << "frequencies outside 200.0000 to 500.0000 MHz for frequencies[3] (channel 3)";
        QTest::newRow("above 500 MHz")
            << 0 << QByteArray("9999999")
            << "frequencies outside 200.0000 to 500.0000 MHz for frequencies[0] (channel 0)";
    }

    void readFlagsWhatAProfileCannotHold()
    {
        QFETCH(int, record);
        QFETCH(QByteArray, digits);
        QFETCH(QString, message);
        auto radio = startRadio();
        QVERIFY(radio);
        QByteArray records = radio->channelRecords();
        records.replace(record * tmx9::kRecordSize, tmx9::kRecordSize, digits);
        QVERIFY(radio->setChannelRecords(records));
        const QString out = dir_.filePath("flagged.json");
        const CtlResult result = ctl({"read", "--port", radio->slavePath(), "--out", out});
        QVERIFY2(result.status == tmx9ctl::Undecodable && result.err.contains(message),
                 qPrintable(result.text()));
        QVERIFY(QFileInfo::exists(out));
        QCOMPARE(ctl({"check", "--port", radio->slavePath(), out}).status,
                 int(tmx9ctl::InvalidProfile));
    }

    void traceThatCannotBeWritten()
    {
        auto radio = startRadio();
        QVERIFY(radio);
        const CtlResult result =
            ctl({"read", "--port", radio->slavePath(), "--trace", "/dev/full"});
        QVERIFY2(result.status == tmx9ctl::UsageError, qPrintable(result.text()));
        QVERIFY(result.out.contains("Serial number"));
        QVERIFY(result.err.startsWith("tmx9ctl: cannot write the trace /dev/full: "));
    }

    // Many ports under a memory limit: tmx9ctl neither crashes nor hangs, and reports each port
    // once.
    void manyPortsUnderAMemoryLimit()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the address sanitizer reserves more address space than the limit leaves");
#endif
        auto radio = startRadio();
        QVERIFY(radio);
        QStringList ports{radio->slavePath()};
        for (int n = 0; n < 300; ++n)
            ports << QStringLiteral("/nonexistent/p%1").arg(n);
        QStringList arguments{"-c", "ulimit -v 300000; exec \"$0\" \"$@\"", TMX9CTL, "default",
                              "--no-backup"};
        for (const QString &port : ports)
            arguments << "--port" << port;
        QProcess ctl;
        ctl.start("bash", arguments);
        QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, 120000);
        const QString all =
            QString::fromUtf8(ctl.readAllStandardOutput() + ctl.readAllStandardError());
        QVERIFY2(ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() != 0, qPrintable(all));
        QVERIFY(!all.contains("QThread::start"));
        for (const QString &port : ports)
            QCOMPARE(all.count(QRegularExpression("^" + QRegularExpression::escape(port) + ": ",
                                                  QRegularExpression::MultilineOption)),
                     1);
    }

    // The fleet reports every port once and in order, runs no more than its limit at once, and
    // fails a port whose thread the system refuses instead of waiting for it.
    void fleetReportsEveryPortInOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QVector<int>>("refused"); // which starts the system refuses
        QTest::newRow("more ports than run at once")
            << tmx9ctl::kMaxPortThreads * 2 + 3 << QVector<int>{};
        QTest::newRow("some threads refused") << 10 << QVector<int>{0, 4, 9};
        QTest::newRow("every thread refused") << 3 << QVector<int>{0, 1, 2};
    }

    void fleetReportsEveryPortInOrder()
    {
        QFETCH(int, count);
        QFETCH(QVector<int>, refused);
        QStringList ports;
        for (int i = 0; i < count; ++i)
            ports << QString::number(i);
        std::atomic<int> running{0};
        std::atomic<int> peak{0};
        const auto job = [&](const QString &, const QString &tag) {
            const int now = ++running;
            for (int seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
            }
            QThread::msleep(2); // long enough for the threads to overlap
            --running;
            tmx9ctl::PortResult result;
            result.outcome.message = tag;
            return result;
        };
        int attempt = 0;
        const auto start = [&](QThread &thread) {
            return !refused.contains(attempt++) && tmx9ctl::startThread(thread);
        };
        QStringList reported;
        QStringList wrong;
        tmx9ctl::forEachPort(
            ports, job,
            [&](const QString &port, const tmx9ctl::PortResult &result) {
                reported << port;
                const bool failed = refused.contains(port.toInt());
                if (failed != (result.outcome.status == tmx9ctl::PortUnavailable) ||
                    (!failed && result.outcome.message != port))
                    wrong << port + ": " + result.outcome.message;
            },
            start);
        QCOMPARE(reported, ports);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        QVERIFY(peak <= tmx9ctl::kMaxPortThreads);
        QVERIFY(refused.size() == count || peak > 1);
    }

    void fromTraceRefusals_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QByteArray parameters =
            tmx9::formatTraceLine(tmx9::Direction::FromRadio, 1000000,
                                  tmx9sim::parameterResponse(QByteArray(69, '\x31')), "p")
                .toUtf8();
        QTest::newRow("a profile") << tmx9ctl::profileJson({tmx9::defaultSettings(), {}, {}}) << 2
                                   << "no complete parameter response from the radio";
        QTest::newRow("no channel table")
            << "-- opened /dev/ttyUSB0 at 115200 baud\n" + parameters + '\n'
            << 2 << "no complete channel table response from the radio";
        QTest::newRow("no such file") << QByteArray() << 2 << "cannot read the log: ";
    }

    void fromTraceRefusals()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString path = log.isEmpty() ? dir_.filePath("none.txt") : file("log.txt", log);
        const CtlResult result = ctl({"read", "--from-trace", path});
        QVERIFY2(result.status == status && result.err.startsWith(path + ": " + message),
                 qPrintable(result.text()));
        QVERIFY(result.out.isEmpty());
    }

    void portsListsOnlyWhatOpens()
    {
        auto radio = startRadio();
        QVERIFY(radio);
        // Not a stopped radio's terminal: a test beside this one may be given its number again.
        const QStringList candidates{radio->slavePath(), "/nonexistent/tty"};
        serialports::setCandidateSource([candidates] { return candidates; });
        const CtlResult listed = ctl({"ports"});
        serialports::setCandidateSource([] { return QStringList(); });
        const QString name = radio->slavePath().mid(5); // "pts/N", as the window lists it
        QCOMPARE(listed.out, name + '\n');
        QCOMPARE(ctl({"read", "--port", name}).status, 0); // a name is a usable --port

        const CtlResult none = ctl({"ports"});
        QVERIFY(none.status == 0 && none.out.isEmpty());
        QVERIFY(none.err.contains("no serial port can be opened"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown option") << QStringList{"read", "--port", "P", "--colour"};
        QTest::newRow("no port") << QStringList{"read"};
        QTest::newRow("no profile") << QStringList{"write", "--port", "P"};
        QTest::newRow("json and out") << QStringList{"read", "--port", "P", "--json", "--out", "f"};
        QTest::newRow("json, two ports")
            << QStringList{"read", "--port", "P", "--port", "Q", "--json"};
        QTest::newRow("no-verify for read") << QStringList{"read", "--port", "P", "--no-verify"};
        QTest::newRow("baud 57600") << QStringList{"read", "--port", "P", "--baud", "57600"};
        QTest::newRow("trace unwritable") << QStringList{"read", "--port", "P", "--trace", "/no/t"};
        QTest::newRow("baud Auto") << QStringList{"read", "--port", "P", "--baud", "Auto"};
        QTest::newRow("baud auto, JSON, two ports")
            << QStringList{"read", "--port", "P", "--port", "Q", "--baud", "auto", "--json"};
        QTest::newRow("a port twice") << QStringList{"default", "--port", "P", "--port", "P"};
        QTest::newRow("detect with a baud rate")
            << QStringList{"detect", "--port", "P", "--baud", "auto"};
        QTest::newRow("detect with out") << QStringList{"detect", "--port", "P", "--out", "f"};
        QTest::newRow("detect, no-verify") << QStringList{"detect", "--port", "P", "--no-verify"};
        QTest::newRow("check, no profile") << QStringList{"check", "--port", "P"};
        QTest::newRow("check, no-verify")
            << QStringList{"check", "--port", "P", "--no-verify", "p.json"};
        QTest::newRow("check, JSON") << QStringList{"check", "--port", "P", "--json", "p.json"};
        // Nothing may be written over an input, nor sent to a radio as a trace.
        QTest::newRow("trace over the profile")
            << QStringList{"write", "--port", "P", "--trace", "PROFILE", "PROFILE"};
        QTest::newRow("trace over the profile, another spelling")
            << QStringList{"check", "--port", "P", "--trace", "DIR/./profile.json", "PROFILE"};
        QTest::newRow("trace to the port") << QStringList{"read", "--port", "P", "--trace", "P"};
        QTest::newRow("out over the trace")
            << QStringList{"read", "--port", "P", "--trace", "DIR/t", "--out", "DIR/t"};
        QTest::newRow("out over the log read")
            << QStringList{"read", "--from-trace", "PROFILE", "--out", "PROFILE"};
        QTest::newRow("a port and its alias")
            << QStringList{"default", "--port", "P", "--port", "P//"};
        QTest::newRow("a port and a link to it")
            << QStringList{"default", "--port", "P", "--port", "DIR/link"};
        QTest::newRow("empty port name") << QStringList{"read", "--port", ""};
        QTest::newRow("backup-dir, no-backup")
            << QStringList{"default", "--port", "P", "--backup-dir", "DIR", "--no-backup"};
        QTest::newRow("backup-dir for read")
            << QStringList{"read", "--port", "P", "--backup-dir", "DIR"};
        QTest::newRow("from-trace with a baud rate")
            << QStringList{"read", "--from-trace", "PROFILE", "--baud", "9600"};
        QTest::newRow("from-trace, two ports")
            << QStringList{"read", "--from-trace", "PROFILE", "--port", "A", "--port", "B"};
        QTest::newRow("from-trace for write")
            << QStringList{"write", "--port", "P", "--from-trace", "PROFILE", "PROFILE"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        auto radio = startRadio();
        QVERIFY(radio);
        const QString profile = profileFile(tmx9::defaultSettings());
        QFile::link(radio->slavePath(), dir_.filePath("link"));
        arguments.replaceInStrings(QRegularExpression("^P$"), radio->slavePath());
        arguments.replaceInStrings(QRegularExpression("^P//$"),
                                   QString(radio->slavePath()).replace("/dev/", "/dev//"));
        arguments.replaceInStrings("PROFILE", profile);
        arguments.replaceInStrings(QRegularExpression("^DIR"), dir_.path());
        serialports::LineRecorder line;
        const CtlResult result = ctl(arguments);
        QVERIFY2(result.status == tmx9ctl::UsageError, qPrintable(result.text()));
        QVERIFY(result.out.isEmpty() && result.errLines().size() == 1);
        QVERIFY(result.err.startsWith("tmx9ctl: "));
        QVERIFY(line.events().isEmpty()); // nothing opened, not even the wait that settles a port
        QVERIFY(radio->traffic().isEmpty());
        QFile written(profile);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), tmx9ctl::profileJson({tmx9::defaultSettings(), {}, {}}));
        QFile::remove(dir_.filePath("link"));
    }
};

QTEST_GUILESS_MAIN(CliRadioTest)
#include "tst_cli_radio.moc"
