#include "messages.h"

#include "radiolink.h"
#include "registers.h"

#include <QStringList>

namespace tmx9ctl {

namespace {

bool moves(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (moves(c.unicode()))
            shown += QStringLiteral("\\u") +
                     QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + printable(text) + QLatin1Char('"');
}

QString openMessage(const QString &error)
{
    return QStringLiteral("cannot open the port (%1): check its name (tmx9ctl ports lists the "
                          "ports that can be opened), that no other program uses it, and that "
                          "you may use serial ports (group dialout)")
        .arg(error);
}

QString lostMessage(const RadioLink &link)
{
    return QStringLiteral("the port failed during the exchange (%1): check the cable and that "
                          "the radio stays connected")
        .arg(link.lostReason());
}

QString searchRatesText()
{
    QStringList rates;
    for (const int rate : tmx9::kSearchRates)
        rates << QString::number(rate);
    return rates.join(QStringLiteral(", "));
}

QString noRadioMessage()
{
    return QStringLiteral("no radio answered at any rate (%1 baud, %2 ms each): check that the "
                          "radio is on and connected to this port")
        .arg(searchRatesText())
        .arg(tmx9::kSearchWaitMs);
}

} // namespace tmx9ctl
