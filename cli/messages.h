#pragma once

#include "printable.h"

#include <QString>

namespace tmx9ctl {

class RadioLink;

// Texts that more than one command says.

QString openMessage(const QString &error);
QString lostMessage(const RadioLink &link);
QString noRadioMessage();
// "115200, 38400, 19200, 9600, 4800": the rates a search tries, in its order.
QString searchRatesText();

} // namespace tmx9ctl
