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

void Trace::note(const QString &text, const QString &tag)
{
    write(tmx9::formatTraceNote(text, tag));
}

void Trace::sent(const QByteArray &bytes, const QString &tag)
{
    if (isActive())
        traffic(tmx9::Direction::ToRadio, bytes, tmx9::describeLine(bytes), tag);
}

void Trace::received(const QByteArray &line, const QString &tag)
{
    if (isActive())
        traffic(tmx9::Direction::FromRadio, line, tmx9::describeLine(line), tag);
}

void Trace::discarded(const QByteArray &bytes, const QString &tag)
{
    if (isActive())
        traffic(tmx9::Direction::FromRadio, bytes, tmx9::discardedSummary(), tag);
}

void Trace::traffic(tmx9::Direction direction, const QByteArray &bytes, const QString &summary,
                    const QString &tag)
{
    // Timed under the lock, so that the times in the file never go backwards.
    const QMutexLocker lock(&mutex_);
    const QString line = tmx9::formatTraceLine(direction, clock_.nsecsElapsed(), bytes, summary);
    put(tmx9::tagTraceLine(line, tag));
}

void Trace::write(const QString &line)
{
    if (!isActive())
        return;
    const QMutexLocker lock(&mutex_);
    put(line);
}

void Trace::put(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    if ((file_.write(bytes) != bytes.size() || !file_.flush()) && failure_.isEmpty())
        failure_ = file_.errorString();
}

bool Trace::failed() const
{
    const QMutexLocker lock(&mutex_);
    return !failure_.isEmpty();
}

QString Trace::failure() const
{
    const QMutexLocker lock(&mutex_);
    return failure_;
}

} // namespace tmx9ctl
