#include "sessionlog.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

#include "describe.h"

namespace {

// Files are named by the session's start in UTC, so that their names sort in time order whatever
// the clock's zone does, then the process and a count within it.
// Only files named so are ever deleted, whatever else TMX9_LOG_DIR holds.
const QRegularExpression
    kFileName(QStringLiteral("^[0-9]{8}-[0-9]{6}-[0-9]{3}-[0-9]+-[0-9]{4}\\.log$"));
QAtomicInt sessionsStarted;

#ifdef Q_OS_WIN
constexpr char kNewline[] = "\r\n"; // for Notepad
#else
constexpr char kNewline[] = "\n";
#endif

} // namespace

QString SessionLog::defaultFolder()
{
    if (qEnvironmentVariableIsSet("TMX9_LOG_DIR"))
        return qEnvironmentVariable("TMX9_LOG_DIR");
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/logs");
}

SessionLog::SessionLog(const QString &folder) : folder_(folder), off_(folder.isEmpty())
{
    started_ = QDateTime::currentDateTimeUtc();
    if (!off_)
        setSink([this](const QString &line) { return put(line); });
}

void SessionLog::portOpened(const QString &port, int baudRate)
{
    note(QStringLiteral("opened %1 at %2 baud").arg(port).arg(baudRate));
}

void SessionLog::portClosed(const QString &port)
{
    note(QStringLiteral("closed %1").arg(port));
}

void SessionLog::deviceGone(const QString &port)
{
    note(QStringLiteral("%1 vanished; the port is released").arg(port));
}

bool SessionLog::put(const QString &line)
{
    // Once off, for good: a full log must not start another file.
    if (off_ || (!file_.isOpen() && !openFile()))
        return false;
    const QByteArray bytes = line.toUtf8() + kNewline;
    const QByteArray capNote =
        QByteArrayLiteral("-- the log ends here: it has reached 1 MiB, the most a session keeps") +
        kNewline;
    const bool full = written_ + bytes.size() + capNote.size() > kMaxFileBytes;
    const QByteArray out = full ? capNote : bytes;
    // At once, so that a session that ends badly leaves what happened until then.
    if (file_.write(out) != out.size() || !file_.flush()) {
        giveUp(QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString()));
        return false;
    }
    written_ += out.size();
    if (full) {
        file_.close();
        off_ = true;
    }
    return !off_;
}

bool SessionLog::openFile()
{
    const QDir dir(folder_);
    if (!dir.mkpath(QStringLiteral("."))) {
        giveUp(QStringLiteral("cannot create the folder %1").arg(folder_));
        return false;
    }
    const QString name =
        QStringLiteral("%1-%2-%3.log")
            .arg(started_.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
            .arg(QCoreApplication::applicationPid())
            .arg(sessionsStarted.fetchAndAddRelaxed(1) + 1, 4, 10, QLatin1Char('0'));
    file_.setFileName(dir.filePath(name));
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        giveUp(QStringLiteral("cannot create %1: %2").arg(file_.fileName(), file_.errorString()));
        return false;
    }

    // Oldest first; never this session's own file, whatever the clocks of other sessions said.
    QStringList older =
        dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name).filter(kFileName);
    older.removeAll(name);
    for (int excess = older.size() - (kKeptSessions - 1); excess > 0; --excess)
        QFile::remove(dir.filePath(older.takeFirst()));

    const QString program = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    const QString header[] = {
        version.isEmpty() ? program : program + QLatin1Char(' ') + version,
        QStringLiteral("%1 (%2 %3, %4), Qt %5")
            .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                 QSysInfo::currentCpuArchitecture(), QString::fromLatin1(qVersion())),
        QStringLiteral("started %1 UTC; times are milliseconds since then")
            .arg(started_.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
    };
    for (const QString &text : header) {
        if (!put(tmx9::formatTraceNote(text)))
            return false;
    }
    return true;
}

void SessionLog::giveUp(const QString &why)
{
    qDebug().noquote() << "traffic log off:" << why;
    file_.close();
    off_ = true;
}
