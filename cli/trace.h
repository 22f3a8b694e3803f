#pragma once

#include "trafficwriter.h"

#include <QFile>
#include <QMutex>
#include <QString>

namespace tmx9ctl {

// The --trace file: the engine's traffic writer into a file, laid out as the simulated radio logs
// its traffic. Times count from open(). Inactive (all calls do nothing) until opened. Safe to call
// from several threads. With several ports at once, each port's lines carry a non-empty `tag` (the
// port): "-- tag: text" for notes, "  [tag]" after the summary otherwise.
class Trace : public serialports::TrafficWriter
{
public:
    bool open(const QString &path, QString *error);

    // A write to the file failed (a full disk, --trace /dev/full): the trace ends there, and
    // failure() gives the system's reason.
    bool failed() const;
    QString failure() const;

private:
    bool put(const QString &line);

    QFile file_;
    mutable QMutex failureMutex_;
    QString failure_;
};

} // namespace tmx9ctl
