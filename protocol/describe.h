#pragma once

#include <QByteArray>
#include <QString>

namespace tmx9 {

// A short human summary of a line on the wire, in either direction (CR LF optional): "read
// request", "parameter frame", "channel table frame", "parameter response N=69", "channel table
// response", "write ack", "SET FSK", "LOG RADIOINFO", or "unrecognised (N bytes)".
QString describeLine(const QByteArray &line);

} // namespace tmx9
