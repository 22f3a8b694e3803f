#include "cappedfile.h"
#include <QFile>
namespace tmx9 {
std::optional<QByteArray> readCappedFile(const QString &path, qint64 maxBytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes;
    while (bytes.size() <= maxBytes) {
        const QByteArray chunk = file.read(qMin<qint64>(65536, maxBytes + 1 - bytes.size()));
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    if (bytes.size() > maxBytes) {
        *error = QStringLiteral("larger than %1 bytes, the most that is read").arg(maxBytes);
        return std::nullopt;
    }
    return bytes;
}
}
