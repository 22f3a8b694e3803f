#include "trace.h"

#include "describe.h"

namespace tmx9ctl {

QString formatTraceLine(bool toRadio, qint64 timeNs, const QByteArray &bytes,
                        const QString &summary)
{
    return QStringLiteral("%1 %2 ms  %3  %4")
        .arg(QLatin1String(toRadio ? "->" : "<-"))
        .arg(double(timeNs) / 1e6, 10, 'f', 3)
        .arg(QString::fromLatin1(bytes.toHex(' ').toUpper()), summary);
}

bool Trace::open(const QString &path, QString *error)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = file_.errorString();
        return false;
    }
    clock_.start();
    return true;
}

void Trace::note(const QString &text)
{
    write(QStringLiteral("-- ") + text);
}

void Trace::sent(const QByteArray &bytes)
{
    if (isActive())
        write(formatTraceLine(true, clock_.nsecsElapsed(), bytes, tmx9::describeLine(bytes)));
}

void Trace::received(const QByteArray &line)
{
    if (isActive())
        write(formatTraceLine(false, clock_.nsecsElapsed(), line, tmx9::describeLine(line)));
}

void Trace::discarded(const QByteArray &bytes)
{
    if (isActive())
        write(formatTraceLine(false, clock_.nsecsElapsed(), bytes,
                              QStringLiteral("no CR LF, discarded")));
}

void Trace::write(const QString &line)
{
    if (!isActive())
        return;
    file_.write(line.toUtf8() + '\n');
    file_.flush();
}

} // namespace tmx9ctl
