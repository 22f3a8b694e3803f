#include "traffic.h"

namespace tmx9sim {

QString formatTrafficLine(TrafficEntry::Direction direction, qint64 timeNs, const QByteArray &bytes,
                          const QString &summary)
{
    const QLatin1String arrow(direction == TrafficEntry::Direction::ToRadio ? "->" : "<-");
    return QStringLiteral("%1 %2 ms  %3  %4")
        .arg(arrow)
        .arg(double(timeNs) / 1e6, 10, 'f', 3)
        .arg(QString::fromLatin1(bytes.toHex(' ').toUpper()), summary);
}

} // namespace tmx9sim
