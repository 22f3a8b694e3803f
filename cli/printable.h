#pragma once

#include <QString>

namespace tmx9ctl {

// `text` with every control character, and every character that can move or recolour what a
// terminal shows (escape sequences, bidirectional overrides), written as \u001B: a profile or a
// radio must not be able to make a message say something else.
QString printable(const QString &text);
// printable() in double quotes.
QString quoted(const QString &text);

} // namespace tmx9ctl
