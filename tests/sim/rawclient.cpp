#include "rawclient.h"

#include "receiver.h"
#include "simradio.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedOf(int baud)
{
    switch (baud) {
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

} // namespace

RawClient::RawClient(const QString &path, int baud)
{
    clock_.start();
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios settings{};
    if (::tcgetattr(fd_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
    setBaud(baud);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { readAvailable(); });
}

RawClient::~RawClient()
{
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void RawClient::send(const QByteArray &bytes)
{
    int done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t written = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0)
            done += int(written);
        else if (written < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
}

bool RawClient::setBaud(int baud)
{
    termios settings{};
    return fd_ >= 0 && speedOf(baud) != B0 && ::tcgetattr(fd_, &settings) == 0 &&
           ::cfsetspeed(&settings, speedOf(baud)) == 0 && ::tcsetattr(fd_, TCSANOW, &settings) == 0;
}

void RawClient::readAvailable()
{
    char buffer[4096];
    QByteArray chunk;
    for (;;) {
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count > 0) {
            chunk.append(buffer, int(count));
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        // End of file or EIO: the other side has closed the line.
        hungUp_ = true;
        notifier_->setEnabled(false);
        break;
    }
    if (chunk.isEmpty())
        return;
    const qint64 now = clock_.nsecsElapsed();
    received_ += chunk;
    chunks_.append({now, chunk});
    tmx9::appendReceived(pending_, head_, chunk);
    while (const auto line = tmx9::takeLine(pending_, head_)) {
        lines_.append(*line);
        lineTimes_.append(now);
    }
    tmx9::settle(pending_, head_);
}

namespace {

// QTest::qWait sleeps between event passes, which would blur the arrival times; an event loop
// wakes for every byte.
template <typename Predicate> bool runUntil(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(qMin<qint64>(left, 5)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace

bool RawClient::waitForLines(int count, int timeoutMs)
{
    return runUntil([&] { return lines_.size() >= count; }, timeoutMs);
}

bool RawClient::waitForHangUp(int timeoutMs)
{
    return runUntil([&] { return hungUp_; }, timeoutMs);
}

bool RawClient::waitForAllSentBy(const tmx9sim::SimRadio &radio, int timeoutMs)
{
    QByteArray sent;
    for (const tmx9sim::TrafficEntry &entry : radio.traffic()) {
        if (entry.direction == tmx9sim::TrafficEntry::Direction::FromRadio)
            sent += entry.bytes;
    }
    runUntil([&] { return received_.size() >= sent.size(); }, timeoutMs);
    return received_ == sent;
}

void RawClient::idle(int ms)
{
    runUntil([] { return false; }, ms);
}
