#pragma once

#include <QByteArray>
#include <QString>

namespace tmx9 {

// A short human summary of a line on the wire, in either direction (CR LF optional): "read
// request", "parameter frame", "channel table frame", "parameter response N=69", "channel table
// response", "write ack", "SET FSK", "LOG RADIOINFO", or "unrecognised (N bytes)".
QString describeLine(const QByteArray &line);

enum class Direction {
    ToRadio,   // sent by the tool
    FromRadio, // sent by the radio
};

// One traffic line, as both the simulated radio's log and tmx9ctl's trace write them: "->" for
// bytes to the radio, "<-" for bytes from it, milliseconds with three decimals, the bytes in hex
// and a summary.
//   "->     12.345 ms  24 24 52 49 1B 00 00 0D 0A  read request"
QString formatTraceLine(Direction direction, qint64 timeNs, const QByteArray &bytes,
                        const QString &summary);

} // namespace tmx9
