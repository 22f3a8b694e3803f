#include "trace.h"

#include "describe.h"

namespace tmx9ctl {

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
        write(tmx9::formatTraceLine(tmx9::Direction::ToRadio, clock_.nsecsElapsed(), bytes,
                                    tmx9::describeLine(bytes)));
}

void Trace::received(const QByteArray &line)
{
    if (isActive())
        write(tmx9::formatTraceLine(tmx9::Direction::FromRadio, clock_.nsecsElapsed(), line,
                                    tmx9::describeLine(line)));
}

void Trace::discarded(const QByteArray &bytes)
{
    if (isActive())
        write(tmx9::formatTraceLine(tmx9::Direction::FromRadio, clock_.nsecsElapsed(), bytes,
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
