#include "trace.h"

namespace tmx9ctl {

bool Trace::open(const QString &path, QString *error)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = file_.errorString();
        return false;
    }
    restartClock();
    setSink([this](const QString &line) { return put(line); });
    return true;
}

bool Trace::failed() const
{
    const QMutexLocker lock(&failureMutex_);
    return !failure_.isEmpty();
}

QString Trace::failure() const
{
    const QMutexLocker lock(&failureMutex_);
    return failure_;
}

bool Trace::put(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    if (file_.write(bytes) == bytes.size() && file_.flush())
        return true;
    const QString reason = file_.errorString();
    const QMutexLocker lock(&failureMutex_);
    failure_ = reason.isEmpty() ? QStringLiteral("the write failed") : reason;
    return false;
}

} // namespace tmx9ctl
