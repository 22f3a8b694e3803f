#include "eventwait.h"

#include <QCoreApplication>
#include <QTimer>

#include <limits>

namespace serialports {

bool waitUntil(const QDeadlineTimer &deadline, const std::function<bool()> &done)
{
    // The timer guarantees an event at the deadline, so blocking for the next event never
    // oversleeps it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (done && done())
            return true;
        if (deadline.hasExpired())
            return false;
        if (!deadline.isForever())
            wake.start(int(qMin<qint64>((deadline.remainingTimeNSecs() + 999999) / 1000000,
                                        std::numeric_limits<int>::max())));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace serialports
