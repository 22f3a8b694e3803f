#include "ptypeer.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <termios.h>

namespace {

int baudOf(speed_t speed)
{
    switch (speed) {
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return -1;
    }
}

} // namespace

PtyPeer::PtyPeer()
{
    pty.open();
    connect(&pty, &tmx9sim::PseudoTerminal::received, this,
            [this](const QByteArray &chunk) { arrived += chunk; });
}

bool PtyPeer::waitForBytes(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return received().size() >= count; }, timeoutMs);
}

void PtyPeer::send(const QByteArray &bytes)
{
    pty.write(bytes);
    QTimer wake; // never blocks for good, whatever the other side does
    wake.start(10);
    while (pty.isOpen() && pty.queuedBytes() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

PtyPeer::LineSettings PtyPeer::lineSettings() const
{
    LineSettings settings;
    termios t{};
    if (!pty.toolSettings(&t))
        return settings;
    settings.inputBaud = baudOf(cfgetispeed(&t));
    settings.outputBaud = baudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        settings.dataBits = 5;
        break;
    case CS6:
        settings.dataBits = 6;
        break;
    case CS7:
        settings.dataBits = 7;
        break;
    default:
        settings.dataBits = 8;
        break;
    }
    settings.parity = t.c_cflag & PARENB;
    settings.twoStopBits = t.c_cflag & CSTOPB;
    settings.hardwareFlow = t.c_cflag & CRTSCTS;
    settings.softwareFlow = t.c_iflag & (IXON | IXOFF);
    return settings;
}
