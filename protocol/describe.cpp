#include "describe.h"

#include "frames.h"
#include "receiver.h"

namespace tmx9 {

QString describeLine(const QByteArray &raw)
{
    QByteArray line = raw;
    if (line.endsWith(kCrLf))
        line.chop(2);

    if (line.startsWith("$$01")) // text command: show it as it stands
        return QString::fromLatin1(line.mid(4));

    if (line.size() >= 5 && line.startsWith(kReadHeader) &&
        static_cast<unsigned char>(line.at(4)) == kToolMarker)
        return QStringLiteral("read request");

    if (line.size() >= 7 && line.startsWith(kWriteHeader) &&
        static_cast<unsigned char>(line.at(4)) == kToolMarker) {
        const auto start = static_cast<unsigned char>(line.at(6));
        if (start == kChannelStartRegister)
            return QStringLiteral("channel table frame");
        if (start == kParameterStartRegister)
            return QStringLiteral("parameter frame");
        return QStringLiteral("write frame at register 0x%1").arg(start, 2, 16, QLatin1Char('0'));
    }

    switch (classify(line)) {
    case LineKind::ChannelTable:
        return QStringLiteral("channel table response");
    case LineKind::Parameters:
        return QStringLiteral("parameter response N=%1").arg(declaredLength(line));
    case LineKind::WriteAck:
        return QStringLiteral("write ack");
    case LineKind::Dropped:
        break;
    }
    return QStringLiteral("unrecognised (%1 bytes)").arg(line.size());
}

QString formatTraceLine(Direction direction, qint64 timeNs, const QByteArray &bytes,
                        const QString &summary)
{
    const QLatin1String arrow(direction == Direction::ToRadio ? "->" : "<-");
    return QStringLiteral("%1 %2 ms  %3  %4")
        .arg(arrow)
        .arg(double(timeNs) / 1e6, 10, 'f', 3)
        .arg(QString::fromLatin1(bytes.toHex(' ').toUpper()), summary);
}

} // namespace tmx9
