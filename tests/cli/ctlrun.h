#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include "tmx9ctl.h"

// tmx9ctl run in the test's process, on its thread: the simulated radios answer while it waits.
struct CtlResult
{
    int status = -1;
    QString out;
    QString err;
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
    QString text() const { return QString("status %1\n%2%3").arg(status).arg(out, err); }
};

inline CtlResult ctl(const QStringList &arguments)
{
    CtlResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = tmx9ctl::run(QStringList{"tmx9ctl"} + arguments, out, err);
    return result;
}
