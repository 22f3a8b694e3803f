// The window's traffic log: where it goes, what it holds, and that it never gets in the way.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "debugcapture.h"
#include "describe.h"
#include "messageboxwatcher.h"
#include "replay.h"
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
        QCOMPARE(lines.at(0), QStringLiteral("-- sessionlog-test"));
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

    void capAtOneMiB()
    {
        SessionLog log(dir_.filePath("capped"));
        QByteArray lines;
        for (int n = 0; n < 2000; ++n) // 1.2 MB of log, the cap falling inside one chunk
            lines += QByteArray(200, 'x') + "\r\n";
        log.received(lines);
        log.sent("late\r\n");
        QCOMPARE(sessionFiles(dir_.filePath("capped")).size(), 1);
        QVERIFY(QFileInfo(log.filePath()).size() <= SessionLog::kMaxFileBytes);
        QVERIFY(QFileInfo(log.filePath()).size() > SessionLog::kMaxFileBytes - 1000);
        const QStringList written = linesOf(log.filePath());
        QVERIFY(written.last().startsWith("-- the log ends here"));
        QCOMPARE(written.filter("-- the log ends here").size(), 1);
    }
};

QTEST_MAIN(SessionLogTest)
#include "tst_sessionlog.moc"
