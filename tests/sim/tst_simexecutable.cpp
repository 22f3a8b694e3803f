// tmx9-sim as a process: the port on the first line, a working radio behind it, a clean end on
// SIGTERM.
#include "rawclient.h"

#include "frames.h"
#include "receiver.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSimExecutable : public QObject
{
    Q_OBJECT

private slots:
    void servesUntilTerminated();
    void rejectsUnusableOptions_data();
    void rejectsUnusableOptions();
    void anyBaudOption_data();
    void anyBaudOption();
};

void TestSimExecutable::servesUntilTerminated()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("radio"));
    const QString log = dir.filePath(QStringLiteral("traffic.log"));
    const QString state = dir.filePath(QStringLiteral("state.json"));
    QFile stateFile(state);
    QVERIFY(stateFile.open(QIODevice::WriteOnly));
    stateFile.write(R"({"settings": {"modulation": "FSK", "airBaud": "19200", "channel": "5"}})");
    stateFile.close();

    QProcess sim;
    sim.start(QStringLiteral(TMX9_SIM_EXECUTABLE),
              {QStringLiteral("--link"), link, QStringLiteral("--log"), log,
               QStringLiteral("--state"), state, QStringLiteral("--serial-number"),
               QStringLiteral("XY42")});
    QVERIFY(sim.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/pts/")), qPrintable(path));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    {
        RawClient client(link);
        QVERIFY(client.isOpen());
        client.send(tmx9::readRequest());
        QVERIFY(client.waitForLines(2));
        const auto report = tmx9::decodeParameters(client.lines().at(0));
        QVERIFY(report);
        QCOMPARE(report->modulation.value_or(QString()), QStringLiteral("FSK"));
        QCOMPARE(report->airBaud.value_or(QString()), QStringLiteral("19200"));
        QCOMPARE(report->channel, QStringLiteral("5"));
        QCOMPARE(report->serialNumber, QStringLiteral("XY42"));
    }

    sim.terminate(); // SIGTERM
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    QFile traffic(log);
    QVERIFY(traffic.open(QIODevice::ReadOnly));
    const QByteArray text = traffic.readAll();
    QVERIFY(text.contains("read request"));
    QVERIFY(text.contains("channel table response"));
}

void TestSimExecutable::rejectsUnusableOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // part of it
    QTest::newRow("unknown firmware")
        << QStringList{QStringLiteral("--firmware"), QStringLiteral("mid")} << "\"mid\"";
    QTest::newRow("stray bytes not hex")
        << QStringList{QStringLiteral("--stray"), QStringLiteral("5G")} << "\"5G\"";
    QTest::newRow("empty fragments")
        << QStringList{QStringLiteral("--fragment"), QStringLiteral("0")} << "\"0\"";
    QTest::newRow("missing state file")
        << QStringList{QStringLiteral("--state"), QStringLiteral("/nonexistent/state.json")}
        << "/nonexistent/state.json: ";
    QTest::newRow("missing trace")
        << QStringList{QStringLiteral("--replay"), QStringLiteral("/nonexistent/trace.txt")}
        << "/nonexistent/trace.txt: ";
    QTest::newRow("trace without a parameter response")
        << QStringList{QStringLiteral("--replay"), QStringLiteral("/dev/null")}
        << "/dev/null: no complete parameter response";
}

void TestSimExecutable::rejectsUnusableOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QProcess sim;
    sim.start(QStringLiteral(TMX9_SIM_EXECUTABLE), arguments);
    QVERIFY(sim.waitForFinished(5000));
    QVERIFY(sim.exitCode() != 0);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray()); // no port announced
    const QString error = QString::fromUtf8(sim.readAllStandardError());
    QVERIFY2(error.startsWith("tmx9-sim: ") && error.contains(message), qPrintable(error));
}

void TestSimExecutable::anyBaudOption_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("heard");
    QTest::newRow("own rate only") << QStringList() << false;
    QTest::newRow("--any-baud") << QStringList{QStringLiteral("--any-baud")} << true;
}

void TestSimExecutable::anyBaudOption()
{
    QFETCH(QStringList, options);
    QFETCH(bool, heard);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("traffic.log"));
    QProcess sim;
    sim.start(QStringLiteral(TMX9_SIM_EXECUTABLE),
              QStringList{QStringLiteral("--log"), log} + options);
    QVERIFY(sim.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();

    RawClient client(path, 4800);
    client.send(tmx9::readRequest());
    if (heard) {
        QVERIFY(client.waitForLines(2));
    } else {
        const auto logged = [&] {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) &&
                   file.readAll().contains(
                       "noise: sent at 4800 baud, the radio listens at 115200 baud");
        };
        QVERIFY(QTest::qWaitFor(logged, 5000));
        QVERIFY(client.lines().isEmpty());
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
