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
    timer.start();
    pty.open();
    connect(&pty, &tmx9sim::PseudoTerminal::received, this, [this](const QByteArray &chunk) {
        arrivals.push_back({timer.nsecsElapsed(), chunk});
    });
}

QByteArray PtyPeer::received() const
{
    QByteArray all;
    for (const Chunk &chunk : arrivals)
        all += chunk.bytes;
    return all;
}

qint64 PtyPeer::arrivalOfByte(int index) const
{
    for (const Chunk &chunk : arrivals) {
        if (index < chunk.bytes.size())
            return chunk.atNs;
        index -= chunk.bytes.size();
    }
    return -1;
}

void PtyPeer::clearReceived()
{
    arrivals.clear();
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

void PtyPeer::sendInPieces(const QByteArray &bytes, int pieceSize, int gapMs)
{
    for (int at = 0; at < bytes.size(); at += pieceSize) {
        send(bytes.mid(at, pieceSize));
        if (at + pieceSize < bytes.size())
            QTest::qWait(gapMs);
    }
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
