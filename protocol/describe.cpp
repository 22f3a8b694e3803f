#include "describe.h"

#include "frames.h"
#include "receiver.h"

#include <QRegularExpression>

#include <limits>

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

QString formatTraceNote(const QString &text, const QString &tag)
{
    return tag.isEmpty() ? QStringLiteral("-- ") + text
                         : QStringLiteral("-- %1: %2").arg(tag, text);
}

QString tagTraceLine(const QString &line, const QString &tag)
{
    return tag.isEmpty() ? line : QStringLiteral("%1  [%2]").arg(line, tag);
}

QString discardedSummary()
{
    return QStringLiteral("no CR LF, discarded");
}

std::optional<TraceEntry> parseTraceLine(const QString &line)
{
    // A summary never ends in "  [...]": that is always a port's tag.
    static const QRegularExpression layout(
        QStringLiteral("^(->|<-) +([0-9]+)\\.([0-9]{3}) ms  ((?:[0-9A-F]{2} )*[0-9A-F]{2})  "
                       "(.*?)(?:  \\[(.+)\\])?$"));
    const QRegularExpressionMatch match = layout.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    // A time past what nanoseconds in 64 bits hold is no time this program wrote.
    constexpr qint64 kNsPerMs = 1000000;
    constexpr qint64 kMaxMs = (std::numeric_limits<qint64>::max() - 999 * 1000) / kNsPerMs;
    bool ok = false;
    const qint64 ms = match.capturedRef(2).toLongLong(&ok);
    if (!ok || ms > kMaxMs)
        return std::nullopt;
    return TraceEntry{
        match.capturedRef(1) == QLatin1String("->") ? Direction::ToRadio : Direction::FromRadio,
        ms * kNsPerMs + match.capturedRef(3).toLongLong() * 1000,
        QByteArray::fromHex(match.captured(4).toLatin1()), match.captured(5), match.captured(6)};
}

} // namespace tmx9
