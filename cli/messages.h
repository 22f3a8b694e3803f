#pragma once

#include <QString>

namespace tmx9ctl {

class RadioLink;

// Texts that more than one command says.

// `text` with every control character, and every character that can move or recolour what a
// terminal shows (escape sequences, bidirectional overrides), written as \u001B: a profile or a
// radio must not be able to make a message say something else.
QString printable(const QString &text);
// printable() in double quotes.
QString quoted(const QString &text);

QString openMessage(const QString &error);
QString lostMessage(const RadioLink &link);
QString noRadioMessage();
// "115200, 38400, 19200, 9600, 4800": the rates a search tries, in its order.
QString searchRatesText();

} // namespace tmx9ctl
