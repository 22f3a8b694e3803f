#include "backup.h"

#include "profile.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVector>
#include <algorithm>

namespace tmx9ctl {

namespace {

QString fileStem(const QString &serialNumber)
{
    QString stem;
    for (const QChar c : serialNumber)
        stem += c.unicode() < 0x80 &&
                        (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
                    ? c
                    : QLatin1Char('_');
    return stem.isEmpty() ? QStringLiteral("no-serial-number") : stem;
}

QString timeText(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'"));
}

// Ports of one run save at the same time; two radios may carry one serial number.
QMutex saving;

} // namespace

QString defaultBackupFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/tmx9-config/backups");
}

QString backupFileName(const QString &serialNumber, const QDateTime &when)
{
    return QStringLiteral("%1-%2.json").arg(fileStem(serialNumber), timeText(when));
}

std::optional<QString> saveBackup(const QString &folder, const Configuration &configuration,
                                  const QDateTime &when, QString *error)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.mkpath(QStringLiteral("."))) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return std::nullopt;
    }
    const QMutexLocker lock(&saving);
    const QString stem = fileStem(configuration.serialNumber);
    QString name = backupFileName(configuration.serialNumber, when);
    for (int n = 2; dir.exists(name); ++n)
        name = QStringLiteral("%1-%2-%3.json").arg(stem, timeText(when)).arg(n);

    QSaveFile file(dir.filePath(name));
    const QByteArray json = profileJson(configuration);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    }

    // Only this radio's backups, oldest first: by time, then by the count a same-millisecond
    // backup carries.
    const QRegularExpression ours(
        QStringLiteral("^%1-([0-9]{8}T[0-9]{6}\\.[0-9]{3})Z(?:-([0-9]+))?\\.json$")
            .arg(QRegularExpression::escape(stem)));
    QVector<std::pair<std::pair<QString, int>, QString>> older;
    for (const QString &entry : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = ours.match(entry);
        if (match.hasMatch())
            older.append({{match.captured(1), qMax(1, match.captured(2).toInt())}, entry});
    }
    std::sort(older.begin(), older.end());
    for (int excess = older.size() - kKeptBackups; excess > 0; --excess)
        QFile::remove(dir.filePath(older.takeFirst().second));
    return dir.filePath(name);
}

} // namespace tmx9ctl
