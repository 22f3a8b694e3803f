#pragma once

#include <QJsonValue>
#include <QString>

namespace tmx9 {

// What a JSON value is, in the words a message to a person uses: "a text", "a number", "a list",
// "an object", "true or false", "null".
QString jsonKindName(const QJsonValue &value);

} // namespace tmx9
