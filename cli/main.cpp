#include "tmx9ctl.h"

#include <QCoreApplication>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char *argv[])
{
#ifdef __GLIBC__
    // glibc gives each new thread an arena of 64 MiB of address space, up to eight per core: under
    // a memory limit, a fleet of ports would spend it all on arenas and fail an allocation. The
    // port threads mostly wait on their lines, so two arenas are enough.
    mallopt(M_ARENA_MAX, 2);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tmx9ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tmx9ctl::run(QCoreApplication::arguments(), out, err);
}
