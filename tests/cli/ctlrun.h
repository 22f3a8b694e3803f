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
    // The backups a write announced ("PORT: backup saved to FILE"), and its output without them.
    QStringList backups() const
    {
        QStringList files;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            if (line.contains(QLatin1String(": backup saved to ")))
                files << line.section(QLatin1String(": backup saved to "), 1);
        }
        return files;
    }
    QString outWithoutBackups() const
    {
        QString rest;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            if (!line.contains(QLatin1String(": backup saved to ")))
                rest += line + '\n';
        }
        return rest;
    }
};

inline CtlResult ctl(const QStringList &arguments)
{
    CtlResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = tmx9ctl::run(QStringList{"tmx9ctl"} + arguments, out, err);
    return result;
}
