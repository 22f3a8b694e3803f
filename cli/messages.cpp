#include "messages.h"

#include "radiolink.h"
#include "registers.h"

#include <QStringList>

namespace tmx9ctl {

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
