#include "eventwait.h"

#include <QCoreApplication>
#include <QTimer>

#include <limits>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace serialports {

namespace {

// The time left, rounded up to whole milliseconds: a wait never ends before its deadline.
qint64 msLeft(const QDeadlineTimer &deadline)
{
    return (deadline.remainingTimeNSecs() + 999999) / 1000000;
}

// Blocks until the next event arrives or the deadline passes, then serves what came.
void waitForEvents(const QDeadlineTimer &deadline)
{
#ifdef Q_OS_WIN
    // Qt's dispatcher would block with no time-out of its own, counting on the wake timer's
    // message; under Wine that message was seen lost (the thread that fires precise timers was
    // gone), and a wait with nothing else to wake it never ended. The system's own time-out
    // bounds this one. Alertable, so that the port's completions run as in Qt's own wait.
    const DWORD ms = deadline.isForever()
                         ? INFINITE
                         : DWORD(qBound<qint64>(0, msLeft(deadline), qint64(INFINITE) - 1));
    ::MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT,
                                  MWMO_ALERTABLE | MWMO_INPUTAVAILABLE);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
#else
    Q_UNUSED(deadline);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
#endif
}

} // namespace

bool waitUntil(const QDeadlineTimer &deadline, const std::function<bool()> &done)
{
    // The timer wakes the wait at the deadline to the millisecond, so blocking for the next event
    // never oversleeps it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (done && done())
            return true;
        if (deadline.hasExpired())
            return false;
        if (!deadline.isForever())
            wake.start(int(qMin<qint64>(msLeft(deadline), std::numeric_limits<int>::max())));
        waitForEvents(deadline);
    }
}

} // namespace serialports
