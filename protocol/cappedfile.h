#pragma once
// TEMPORARY stand-in until the sim branch lands.
#include <QByteArray>
#include <QString>
#include <optional>
namespace tmx9 {
std::optional<QByteArray> readCappedFile(const QString &path, qint64 maxBytes, QString *error);
}
