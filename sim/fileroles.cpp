#include "fileroles.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace tmx9sim {

namespace {

struct Identity
{
    QString location; // canonical folder and the name: where the path itself is
    QString target;   // canonical path of what it leads to; empty when nothing is there
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
};

Identity identify(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    Identity identity;
    identity.location = folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                                         : folder + QLatin1Char('/') + info.fileName();
    identity.target = info.canonicalFilePath();
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        identity.regular = S_ISREG(status.st_mode);
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
        if (identity.target.isEmpty()) // a device behind /proc, say: it exists all the same
            identity.target = identity.location;
    }
    return identity;
}

bool sameFile(const OptionPath &a, const Identity &x, const OptionPath &b, const Identity &y)
{
    if (a.role == FileRole::Link || b.role == FileRole::Link) {
        const Identity &link = a.role == FileRole::Link ? x : y;
        const Identity &other = a.role == FileRole::Link ? y : x;
        return link.location == other.location || link.location == other.target;
    }
    const bool xExists = !x.target.isEmpty();
    const bool yExists = !y.target.isEmpty();
    if (xExists && yExists)
        return x.regular && y.regular && x.device == y.device && x.inode == y.inode;
    // Two files still to be made.
    return !xExists && !yExists && x.location == y.location;
}

} // namespace

QString sameFileConflict(const QVector<OptionPath> &paths)
{
    QVector<Identity> identities;
    for (const OptionPath &path : paths)
        identities << identify(path.path);
    for (int i = 0; i < paths.size(); ++i) {
        for (int j = i + 1; j < paths.size(); ++j) {
            const OptionPath &a = paths.at(i);
            const OptionPath &b = paths.at(j);
            if (a.role == FileRole::Read && b.role == FileRole::Read)
                continue;
            if (!sameFile(a, identities.at(i), b, identities.at(j)))
                continue;
            const bool reads = a.role == FileRole::Read || b.role == FileRole::Read;
            return QStringLiteral("%1 %2 and %3 %4 are the same file: %5")
                .arg(a.option, a.path, b.option, b.path,
                     reads ? QStringLiteral("what is read would be overwritten")
                           : QStringLiteral("one output would overwrite the other"));
        }
    }
    return QString();
}

} // namespace tmx9sim
