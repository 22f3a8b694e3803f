#pragma once

#include "portjobs.h"

#include <QString>
#include <QStringList>
#include <functional>

class QThread;

namespace tmx9ctl {

using PortJob = std::function<PortResult(const QString &port, const QString &tag)>;
using PortReport = std::function<void(const QString &port, const PortResult &result)>;
// Starts a port's thread; false if the system refused it.
using ThreadStart = std::function<bool(QThread &thread)>;

// At most this many ports run at once, so that memory stays bounded however many are given.
constexpr int kMaxPortThreads = 64;

bool startThread(QThread &thread);

// Runs `job` for every port and calls `report` for each result, on the calling thread, in the
// order of `ports`. One port runs on the calling thread; several run at the same time, one thread
// each (up to kMaxPortThreads, the next starting as one ends), because a link's waits block its
// thread (they run a nested event loop), and one port's waits must not stretch another's. The
// calling thread meanwhile runs its event loop and reports each port as soon as every port before
// it is done. A port whose thread the system cannot start is reported as failed at once: nothing
// was sent to it. `tag` is empty for a lone port, else the port itself, to mark its lines in the
// shared trace.
void forEachPort(const QStringList &ports, const PortJob &job, const PortReport &report,
                 const ThreadStart &start = startThread);

} // namespace tmx9ctl
