#include "portline.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace serialports {

namespace {

// Long enough for the largest frame at the slowest rate, short enough not to hang on a stuck
// driver.
constexpr int kWriteTimeoutMs = 2000;

} // namespace

bool deviceHungUp(QSerialPort &port)
{
    if (!port.isOpen())
        return false;
#ifdef Q_OS_UNIX
    pollfd watched{int(port.handle()), POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    // A removed device fails the port's pending read (Wine reports a vanished pseudo-terminal as
    // a broken pipe, an unknown error to Qt), and a failed pending read is never started again:
    // the port hears nothing more. A merely busy device fails a new read instead (a read error).
    return port.error() == QSerialPort::ResourceError || port.error() == QSerialPort::UnknownError;
#endif
}

bool portLost(QSerialPort::SerialPortError error, bool hungUp)
{
    if (error == QSerialPort::NoError)
        return false;
    return error == QSerialPort::ResourceError || hungUp;
}

bool drainOutput(QSerialPort &port)
{
    if (!port.isOpen())
        return false;
    port.flush();
    while (port.bytesToWrite() > 0) {
        if (!port.waitForBytesWritten(kWriteTimeoutMs))
            return false;
    }
#ifdef Q_OS_UNIX
    while (::tcdrain(int(port.handle())) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
#elif defined(Q_OS_WIN)
    return ::FlushFileBuffers(port.handle());
#else
    return true;
#endif
}

qint64 unsentBytes(QSerialPort &port)
{
    if (!port.isOpen())
        return 0;
    qint64 unsent = port.bytesToWrite();
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(int(port.handle()), TIOCOUTQ, &queued) == 0)
        unsent += queued;
#endif
    return unsent;
}

} // namespace serialports
