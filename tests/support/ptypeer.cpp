#include "ptypeer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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
    char name[256] = {};
    if (openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) {
        masterFd = slaveFd = -1;
        return;
    }
    termios raw{};
    tcgetattr(slaveFd, &raw);
    cfmakeraw(&raw);
    tcsetattr(slaveFd, TCSANOW, &raw);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    slave = QString::fromLocal8Bit(name);
    notifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PtyPeer::readAvailable);
}

PtyPeer::~PtyPeer()
{
    close();
}

void PtyPeer::close()
{
    if (notifier) {
        notifier->setEnabled(false);
        delete notifier;
        notifier = nullptr;
    }
    if (masterFd >= 0)
        ::close(masterFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
    masterFd = slaveFd = -1;
}

void PtyPeer::readAvailable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n > 0) {
            arrivals.push_back({timer.nsecsElapsed(), QByteArray(buffer, int(n))});
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
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
    int done = 0;
    while (masterFd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += int(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
        else if (n < 0 && errno == EAGAIN)
            QTest::qWait(1);
    }
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
    if (slaveFd < 0 || tcgetattr(slaveFd, &t) != 0)
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
