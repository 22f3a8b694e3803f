#include "reporter.h"

#include "messages.h"
#include "trace.h"

namespace tmx9ctl {

void Reporter::result(const QString &port, const QString &text)
{
    out_ << printable(port) << ": " << text << '\n';
    out_.flush();
}

void Reporter::fail(const QString &port, const Outcome &outcome)
{
    err_ << printable(port) << ": " << outcome.message << '\n';
    failed(port, outcome.status);
}

void Reporter::failed(const QString &port, int status)
{
    err_.flush();
    trace_.note(QStringLiteral("%1: exit status %2").arg(port).arg(status));
    if (status_ == Success)
        status_ = status; // the first failure decides
}

void Reporter::problem(const QString &text)
{
    err_ << "tmx9ctl: " << text << '\n';
    err_.flush();
}

} // namespace tmx9ctl
