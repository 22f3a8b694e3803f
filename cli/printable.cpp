#include "printable.h"

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

} // namespace tmx9ctl
