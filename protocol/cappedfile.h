#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tmx9 {

// Reads the whole of `path`: a file, a pipe or a device. nullopt, with `error` set to a message
// that does not name the path, when it cannot be opened or read, or holds more than `maxBytes` (the
// message then says the limit: "larger than 1 MiB, the most that is read"). Never reads more than
// maxBytes + 1 bytes, so an endless device is refused at once. A FIFO with no writer may block, as
// cat does.
std::optional<QByteArray> readCappedFile(const QString &path, qint64 maxBytes, QString *error);

// "1 MiB", "64 KiB" or "1000 bytes": a size limit as messages give it.
QString byteCountText(qint64 bytes);

} // namespace tmx9
