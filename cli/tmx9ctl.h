#pragma once

#include <QStringList>
#include <QTextStream>

namespace tmx9ctl {

// The whole of tmx9ctl: `arguments` as a process receives them (program name first). Results go
// to `out`, messages to `err`; returns the exit status (exitstatus.h). Needs a QCoreApplication;
// waits run its event loop on the calling thread.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace tmx9ctl
