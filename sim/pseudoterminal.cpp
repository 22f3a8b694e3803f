#include "pseudoterminal.h"

#include "linerate.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tmx9sim {

namespace {

constexpr int kReadSize = 4096;
// After EIO the notifier would fire again at once; look again a little later instead.
constexpr int kRetryAfterErrorMs = 20;

bool addFlags(int fd, int getCommand, int setCommand, int flags)
{
    const int current = ::fcntl(fd, getCommand);
    return current >= 0 && ::fcntl(fd, setCommand, current | flags) == 0;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent) : QObject(parent) {}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
    const auto fail = [&](const char *what) {
        if (error)
            *error = systemError(what);
        close();
        return false;
    };
    if (isOpen())
        return true;

    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return fail("openpty");
    }
    // Raw before anyone else can open the slave: no echo, no CR/LF translation, no line editing.
    termios settings{};
    if (::tcgetattr(slave_, &settings) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&settings);
    if (::tcsetattr(slave_, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    // Child processes (the tool under test, started by a test) must not inherit them.
    if (!addFlags(master_, F_GETFD, F_SETFD, FD_CLOEXEC) ||
        !addFlags(slave_, F_GETFD, F_SETFD, FD_CLOEXEC))
        return fail("fcntl(FD_CLOEXEC)");
    if (!addFlags(master_, F_GETFL, F_SETFL, O_NONBLOCK))
        return fail("fcntl(O_NONBLOCK)");
    const char *name = ::ttyname(slave_);
    if (!name)
        return fail("ttyname");
    slavePath_ = QString::fromLocal8Bit(name);

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PseudoTerminal::flushQueue);
    return true;
}

void PseudoTerminal::close()
{
    // This may run inside a notifier's own signal: disable now, delete later.
    for (QSocketNotifier **notifier : {&readNotifier_, &writeNotifier_}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
    slavePath_.clear();
    queue_.clear();
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    if (!isOpen())
        return;
    queue_.append(bytes);
    flushQueue();
}

void PseudoTerminal::flushQueue()
{
    while (isOpen() && !queue_.isEmpty()) {
        const ssize_t written = ::write(master_, queue_.constData(), size_t(queue_.size()));
        if (written > 0) {
            queue_.remove(0, int(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            queue_.clear(); // the line is gone; nobody will read these bytes
        break;
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(!queue_.isEmpty());
}

int PseudoTerminal::unreadBytes() const
{
    int waiting = 0;
    if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &waiting) != 0)
        waiting = 0;
    return waiting + queue_.size();
}

void PseudoTerminal::discardUnread()
{
    queue_.clear();
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
    if (slave_ >= 0)
        ::tcflush(slave_, TCIFLUSH);
}

int PseudoTerminal::toolSendRate() const
{
    return slaveSendRate(master_);
}

bool PseudoTerminal::toolSettings(termios *settings) const
{
    return slave_ >= 0 && ::tcgetattr(slave_, settings) == 0;
}

void PseudoTerminal::readMaster()
{
    QByteArray chunk;
    char buffer[kReadSize];
    for (;;) {
        const ssize_t count = ::read(master_, buffer, sizeof buffer);
        if (count > 0) {
            chunk.append(buffer, int(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && readNotifier_) {
            readNotifier_->setEnabled(false);
            QTimer::singleShot(kRetryAfterErrorMs, readNotifier_, [this, notifier = readNotifier_] {
                if (notifier == readNotifier_)
                    notifier->setEnabled(true);
            });
        }
        break;
    }
    if (!chunk.isEmpty())
        emit received(chunk);
}

} // namespace tmx9sim
