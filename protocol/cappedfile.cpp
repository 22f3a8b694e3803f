#include "cappedfile.h"

#include <QFile>

namespace tmx9 {

QString byteCountText(qint64 bytes)
{
    constexpr qint64 kKiB = 1024;
    if (bytes > 0 && bytes % (kKiB * kKiB) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (kKiB * kKiB));
    if (bytes > 0 && bytes % kKiB == 0)
        return QStringLiteral("%1 KiB").arg(bytes / kKiB);
    return QStringLiteral("%1 bytes").arg(bytes);
}

std::optional<QByteArray> readCappedFile(const QString &path, qint64 maxBytes, QString *error)
{
    QFile file(path);
    // Unbuffered: what is read is what was asked for, not a buffer's worth more.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return std::nullopt;
    }
    // Read until end of file rather than trusting size() or atEnd(): a pipe has neither before
    // it is read.
    QByteArray bytes;
    const qint64 wanted = maxBytes + 1;
    while (bytes.size() < wanted) {
        const qint64 room = qMin<qint64>(wanted - bytes.size(), 1 << 16);
        const int before = bytes.size();
        bytes.resize(before + int(room));
        const qint64 got = file.read(bytes.data() + before, room);
        bytes.resize(before + int(qMax<qint64>(got, 0)));
        if (got < 0) {
            *error = file.errorString();
            return std::nullopt;
        }
        if (got == 0)
            break;
    }
    if (bytes.size() > maxBytes) {
        *error =
            QStringLiteral("larger than %1, the most that is read").arg(byteCountText(maxBytes));
        return std::nullopt;
    }
    return bytes;
}

} // namespace tmx9
