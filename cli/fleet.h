#pragma once

#include "portjobs.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tmx9ctl {

using PortJob = std::function<PortResult(const QString &port, const QString &tag)>;
using PortReport = std::function<void(const QString &port, const PortResult &result)>;

// Runs `job` for every port and calls `report` for each result, on the calling thread, in the
// order of `ports`. One port runs on the calling thread; several run at the same time, one thread
// each, because a link's waits block its thread (they run a nested event loop), and one port's
// waits must not stretch another's. The calling thread meanwhile runs its event loop and reports
// each port as soon as every port before it is done. A port whose thread the system cannot start
// is reported as failed at once: nothing was sent to it. `tag` is empty for a lone port, else
// the port itself, to mark its lines in the shared trace.
void forEachPort(const QStringList &ports, const PortJob &job, const PortReport &report);

} // namespace tmx9ctl
