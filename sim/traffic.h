#pragma once

#include "describe.h"

#include <QByteArray>

namespace tmx9sim {

// Bytes as they crossed the line, in one direction, at one moment.
struct TrafficEntry
{
    using Direction = tmx9::Direction;
    Direction direction = Direction::ToRadio;
    qint64 timeNs = 0; // monotonic, since the simulator was created
    QByteArray bytes;
};

} // namespace tmx9sim
