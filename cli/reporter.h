#pragma once

#include "exitstatus.h"

#include <QString>
#include <QTextStream>

namespace tmx9ctl {

class Trace;

// A command's result as a port's work returns it: Success, or a status with one line saying what
// to check. The port is not in the message: the reporter puts it in front.
struct Outcome
{
    int status = Success;
    QString message;
};

// The output and the exit status of a run. Only the thread that runs the command may use it:
// the work of each port, which may run on a thread of its own, gets the trace but never this.
class Reporter
{
public:
    Reporter(QTextStream &out, QTextStream &err, Trace &trace) : out_(out), err_(err), trace_(trace)
    {
    }

    QTextStream &out() { return out_; }
    QTextStream &err() { return err_; }
    Trace &trace() { return trace_; }

    // "PORT: text" on standard output.
    void result(const QString &port, const QString &text);
    // "PORT: message" on standard error, and the status if it is the first failure.
    void fail(const QString &port, const Outcome &outcome);
    // The status of a port whose failure lines are already written.
    void failed(const QString &port, int status);
    // "tmx9ctl: text" on standard error, for a failure that is no port's.
    void problem(const QString &text);

    int status() const { return status_; }

private:
    QTextStream &out_;
    QTextStream &err_;
    Trace &trace_;
    int status_ = Success;
};

} // namespace tmx9ctl
