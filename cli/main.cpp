#include "tmx9ctl.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tmx9ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tmx9ctl::run(QCoreApplication::arguments(), out, err);
}
