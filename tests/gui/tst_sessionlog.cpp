// The window's traffic log: where it goes, what it holds, and that it never gets in the way.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "debugcapture.h"
#include "describe.h"
#include "messageboxwatcher.h"
#include "ptypeer.h"
#include "radiostate.h"
#include "receiver.h"
#include "replay.h"
#include "responses.h"
#include "sessionlog.h"
#include "simradio.h"
#include "windowdriver.h"

namespace {

QStringList sessionFiles(const QString &folder)
{
    return QDir(folder).entryList({"*.log"}, QDir::Files, QDir::Name);
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// A session's lines after the header, shortened: notes as they stand with the port's names as
// PORT, traffic as its direction and summary, and each run of discarded bytes as their count.
QStringList trafficOf(const QStringList &lines, const QString &path, const QString &name)
{
    QStringList shown;
    for (const QString &line : lines.mid(3)) {
        const auto entry = tmx9::parseTraceLine(line);
        if (!entry) {
            shown << QString(line).replace(path, "PORT").replace(name, "PORT");
            continue;
        }
        const QString arrow = entry->direction == tmx9::Direction::ToRadio ? "->" : "<-";
        if (entry->summary != tmx9::discardedSummary()) {
            shown << arrow + ' ' + entry->summary;
            continue;
        }
        const QString previous = shown.isEmpty() ? QString() : shown.last();
        if (previous.startsWith("<- discarded "))
            shown.last() = QString("<- discarded %1")
                               .arg(previous.section(' ', 2).toInt() + entry->bytes.size());
        else
            shown << QString("<- discarded %1").arg(entry->bytes.size());
    }
    return shown;
}

// Changes the working directory for as long as it lives.
struct WorkingDirectory
{
    explicit WorkingDirectory(const QString &path) { QDir::setCurrent(path); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    const QString previous = QDir::currentPath();
};

} // namespace

class SessionLogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray testLogDir_ = qgetenv("TMX9_LOG_DIR"); // the test environment's

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QCoreApplication::setApplicationName("sessionlog-test");
        QCoreApplication::setApplicationVersion("9.8.7");
    }

    void cleanup()
    {
        qputenv("TMX9_LOG_DIR", testLogDir_);
        readOk = false;
    }

    void windowSession_data()
    {
        QTest::addColumn<QString>("logDir");     // "unset": no TMX9_LOG_DIR at all
        QTest::addColumn<int>("olderSessions");  // already in the folder below
        QTest::addColumn<QString>("expectedIn"); // where the session's file appears; "": none
        QTest::addColumn<bool>("debugLine");     // the one line saying the log is off
        QTest::newRow("moved") << "moved" << 0 << "moved" << false;
        QTest::newRow("user folder") << "unset" << 0 << "xdg/sessionlog-test/logs" << false;
        QTest::newRow("the last 20 kept") << "moved" << 25 << "moved" << false;
        QTest::newRow("empty: off") << "" << 0 << "" << false;
        QTest::newRow("unwritable") << "a-file/logs" << 0 << "" << true;
    }

    void windowSession()
    {
        QFETCH(QString, logDir);
        QFETCH(int, olderSessions);
        QFETCH(QString, expectedIn);
        QFETCH(bool, debugLine);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const WorkingDirectory cwd(root.path()); // a log that should be off would land here
        const auto path = [&](const QString &name) { return root.filePath(name); };
        QFile(path("a-file")).open(QIODevice::WriteOnly); // no folder can be made under it
        qputenv("XDG_DATA_HOME", path("xdg").toUtf8());
        if (logDir == QLatin1String("unset"))
            qunsetenv("TMX9_LOG_DIR");
        else
            qputenv("TMX9_LOG_DIR", logDir.isEmpty() ? QByteArray() : path(logDir).toUtf8());
        const QString folder = path(expectedIn);
        QVERIFY(QDir().mkpath(folder));
        for (int n = 0; n < olderSessions; ++n)
            QFile(QStringLiteral("%1/20200101-0000%2-000-1-0001.log")
                      .arg(folder)
                      .arg(n, 2, 10, QChar('0')))
                .open(QIODevice::WriteOnly);
        QFile(folder + "/notes.log").open(QIODevice::WriteOnly); // not a session: kept

        tmx9sim::SimRadio radio;
        QVERIFY(radio.start());
        DebugCapture debug;
        MessageBoxWatcher boxes;
        {
            WindowDriver driver;
            driver.openPort(radio.slavePath());
            QVERIFY(boxes.waitForCount(1));
            driver.closePortIfOpen();
        }
        QCOMPARE(boxes.count(), 1); // "读取完成", and nothing about the log
        QCOMPARE(debug.debugLines().filter("traffic log off").size(), debugLine ? 1 : 0);

        const QStringList files = sessionFiles(folder);
        if (expectedIn.isEmpty()) {
            QCOMPARE(files, QStringList{"notes.log"});
            QCOMPARE(QDir(path("xdg")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                     QStringList());
            return;
        }
        QCOMPARE(files.size(), 1 + qMin(olderSessions + 1, SessionLog::kKeptSessions));
        QVERIFY(files.contains("notes.log"));
        if (olderSessions > 0) // the oldest went first
            QVERIFY(!files.contains("20200101-000005-000-1-0001.log") &&
                    files.contains("20200101-000006-000-1-0001.log"));

        const QString log = folder + '/' + files.at(files.size() - 2);
        const QStringList lines = linesOf(log);
        QVERIFY2(lines.size() == 8, qPrintable(lines.join('\n')));
        QCOMPARE(lines.at(0), QStringLiteral("-- sessionlog-test 9.8.7"));
        QVERIFY(lines.at(1).startsWith("-- " + QSysInfo::prettyProductName()));
        QVERIFY(lines.at(2).startsWith("-- started "));
        QVERIFY(lines.at(3).startsWith("-- opened ") && lines.at(3).endsWith(" at 115200 baud"));
        QStringList summaries;
        for (const QString &line : lines.mid(4, 3))
            summaries << tmx9::parseTraceLine(line).value_or(tmx9::TraceEntry{}).summary;
        QCOMPARE(summaries, (QStringList{"read request", "parameter response N=69",
                                         "channel table response"}));
        QVERIFY(lines.at(7).startsWith("-- closed "));
        // The log makes a radio to test against.
        tmx9sim::Recording recording;
        QString error;
        QVERIFY2(tmx9sim::loadRecording(log, &recording, &error), qPrintable(error));
        QCOMPARE(recording.state().parameterBlock(), radio.parameterBlock());
        QCOMPARE(recording.state().channelRecords(), radio.channelRecords());
    }

    // The window logs each line where it takes it, and what its receiver throws away.
    void trafficAsTaken_data()
    {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QByteArrayList>("chunks"); // from the radio, each taken before the next
        QTest::addColumn<QStringList>("expected");  // after the header; each a line's beginning

        tmx9sim::RadioState radio;
        const QByteArray parameters = tmx9sim::parameterResponse(radio.parameterBlock());
        QByteArrayList pieces;
        for (int at = 0; at < parameters.size(); at += 5)
            pieces << parameters.mid(at, 5);
        const QStringList opening = {"-- opened PORT at 115200 baud", "-> read request"};
        QTest::newRow("a response in pieces")
            << "115200" << pieces
            << opening + QStringList{"<- parameter response N=69", "-- closed PORT"};
        QTest::newRow("two responses in one piece")
            << "115200" << QByteArrayList{parameters + parameters}
            << opening + QStringList{"<- parameter response N=69", "<- parameter response N=69",
                                     "-- closed PORT"};
        // Each piece over the cap is thrown away whole, however the port cuts it; the line the
        // flood began then ends as a line of its own.
        const QByteArray flood(tmx9::kMaxPendingBytes + 1, 'z');
        QTest::newRow("a flood without a line end, then one")
            << "115200" << QByteArrayList{flood, flood, flood, "\r\n" + parameters}
            << opening + QStringList{QString("<- discarded %1").arg(3 * flood.size()),
                                     "<- unrecognised (1 bytes)", "<- parameter response N=69",
                                     "-- closed PORT"};
        QTest::newRow("bytes without a line end when the port closes")
            << "115200" << QByteArrayList{"noise"}
            << opening + QStringList{"<- discarded 5", "-- closed PORT"};
        // The window keeps the port it has; the log says what the line refused.
        QTest::newRow("a rate the port refuses")
            << "0" << QByteArrayList{}
            << QStringList{"-- PORT: cannot set 0 baud, 8N1: ", "-- opened PORT at ",
                           "-> read request", "-- closed PORT"};
    }

    void trafficAsTaken()
    {
        QFETCH(QString, baud);
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, expected);
        QTemporaryDir logs;
        QVERIFY(logs.isValid());
        qputenv("TMX9_LOG_DIR", logs.path().toUtf8());

        PtyPeer radio;
        MessageBoxWatcher boxes;
        QString name;
        {
            WindowDriver driver;
            PortTap tap;
            driver.combo("baud")->addItem(baud); // a second "115200" changes nothing
            driver.openPort(radio.slavePath(), baud);
            QVERIFY(radio.waitForBytes(9));
            QVERIFY(driver.button("open_port_2")->isEnabled());
            name = serialPort->portName();
            QByteArray sent;
            for (const QByteArray &chunk : chunks) {
                radio.send(chunk);
                sent += chunk;
                QTRY_COMPARE(tap.taken(), sent);
            }
            driver.click("open_port");
        }
        QCOMPARE(boxes.count(), 0);

        const QStringList files = sessionFiles(logs.path());
        QCOMPARE(files.size(), 1);
        const QStringList shown =
            trafficOf(linesOf(logs.filePath(files.first())), radio.slavePath(), name);
        QVERIFY2(shown.size() == expected.size(), qPrintable(shown.join('\n')));
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(shown.at(i).startsWith(expected.at(i)), qPrintable(shown.join('\n')));
    }

    void capAtOneMiB_data()
    {
        QTest::addColumn<int>("lineBytes");
        QTest::newRow("long lines") << 200;
        // Shorter than the closing note: the cap must leave room for the note itself.
        QTest::newRow("lines shorter than the closing note") << 1;
    }

    void capAtOneMiB()
    {
        QFETCH(int, lineBytes);
        SessionLog log(dir_.filePath(QString("capped-%1").arg(lineBytes)));
        const QByteArray line = QByteArray(lineBytes, 'x') + "\r\n";
        const QString logged =
            tmx9::formatTraceLine(tmx9::Direction::FromRadio, 0, line, tmx9::describeLine(line));
        for (qint64 total = 0; total <= SessionLog::kMaxFileBytes; total += logged.size())
            log.received(line);
        log.sent("late\r\n");
        QVERIFY(!log.isActive());
        const qint64 size = QFileInfo(log.filePath()).size();
        QVERIFY2(size <= SessionLog::kMaxFileBytes, qPrintable(QString::number(size)));
        QVERIFY(size > SessionLog::kMaxFileBytes - 2 * logged.size() - 100);
        const QStringList written = linesOf(log.filePath());
        QVERIFY(written.last().startsWith("-- the log ends here"));
        QCOMPARE(written.filter("-- the log ends here").size(), 1);
        QCOMPARE(written.filter("late").size(), 0);
    }
};

QTEST_MAIN(SessionLogTest)
#include "tst_sessionlog.moc"
