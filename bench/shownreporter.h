#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>

#include "benchfigures.h"

// Start-up harnesses: at the first expose of a window, print the moment (monotonic ns) and,
// once that expose has been painted, the peak memory (KiB); then quit.
class ShownReporter : public QObject
{
public:
    explicit ShownReporter(QCoreApplication *app) : QObject(app) { app->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (shownNs_ == 0 && event->type() == QEvent::Expose && qobject_cast<QWindow *>(watched)) {
            shownNs_ = bench::monotonicNs();
            QTimer::singleShot(0, this, [this] {
                std::printf("%lld %lld\n", static_cast<long long>(shownNs_),
                            static_cast<long long>(bench::peakRssKb()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    qint64 shownNs_ = 0;
};
