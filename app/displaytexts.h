#pragma once

#include <QString>

// Texts written at run time in the language chosen by the switch. The form's own texts are the
// Chinese ones and go through QCoreApplication::translate.
namespace displaytexts {

inline QString pick(bool english, const char *en, const char *zh)
{
    return english ? QString::fromUtf8(en) : QString::fromUtf8(zh);
}

inline QString openPortButton(bool english, bool portIsOpen)
{
    return portIsOpen ? pick(english, "Close SerialPort", "关闭串口")
                      : pick(english, "Open SerialPort", "打开串口");
}

} // namespace displaytexts
