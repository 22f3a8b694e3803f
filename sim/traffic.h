#pragma once

#include <QByteArray>
#include <QString>

namespace tmx9sim {

// Bytes as they crossed the line, in one direction, at one moment.
struct TrafficEntry
{
    enum class Direction {
        ToRadio,   // sent by the tool, received by the simulated radio
        FromRadio, // sent by the simulated radio
    };
    Direction direction = Direction::ToRadio;
    qint64 timeNs = 0; // monotonic, since the simulator was created
    QByteArray bytes;
};

// One log line: "->" for bytes to the radio, "<-" for bytes from it, the time in milliseconds
// with three decimals, the bytes in hex and a summary.
//   "->     12.345 ms  24 24 52 49 1B 00 00 0D 0A  read request"
QString formatTrafficLine(TrafficEntry::Direction direction, qint64 timeNs, const QByteArray &bytes,
                          const QString &summary);

} // namespace tmx9sim
