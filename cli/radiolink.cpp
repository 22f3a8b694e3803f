#include "radiolink.h"

#include "frames.h"
#include "portline.h"
#include "receiver.h"
#include "registers.h"
#include "trace.h"

#include <QEventLoop>
#include <QTimer>

namespace tmx9ctl {

namespace {

// As the window does after opening, before it first writes.
constexpr int kSettleMs = tmx9::kFrameSpacingMs;

} // namespace

RadioLink::RadioLink(Trace &trace, const QString &tag, QObject *parent)
    : QObject(parent), trace_(trace), tag_(tag)
{
    connect(&port_, &QSerialPort::readyRead, this, &RadioLink::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &RadioLink::onError);
}

RadioLink::~RadioLink()
{
    close();
}

bool RadioLink::open(const QString &port, int baud, QString *error)
{
    port_.setPortName(port);
    if (!port_.open(QIODevice::ReadWrite)) {
        *error = port_.errorString();
        trace_.note(QStringLiteral("cannot open %1: %2").arg(port, *error), tag_);
        return false;
    }
    if (!port_.setBaudRate(baud) || !port_.setDataBits(QSerialPort::Data8) ||
        !port_.setParity(QSerialPort::NoParity) || !port_.setStopBits(QSerialPort::OneStop) ||
        !port_.setFlowControl(QSerialPort::NoFlowControl)) {
        *error = QStringLiteral("cannot set %1 baud, 8N1: %2").arg(baud).arg(port_.errorString());
        trace_.note(QStringLiteral("%1: %2").arg(port, *error), tag_);
        port_.close();
        return false;
    }
    baud_ = baud;
    lost_ = false;
    lostReason_.clear();
    trace_.note(QStringLiteral("opened %1 at %2 baud, 8N1, no flow control").arg(port).arg(baud),
                tag_);

    // What a radio sent before we listened belongs to no request of ours.
    wait(kSettleMs);
    port_.clear(QSerialPort::Input);
    port_.readAll();
    dropPending();
    if (lost_) {
        *error = lostReason_;
        port_.close();
        return false;
    }
    return true;
}

void RadioLink::close()
{
    if (!port_.isOpen())
        return;
    // Closing puts back the line rate found at opening: the last frame must be out first. The
    // system's drain does not cover a reader with a buffer of its own (a USB adapter, a
    // pseudo-terminal): give it the spacing that follows every other frame.
    serialports::drainOutput(port_);
    if (lastSent_.isValid() && !lost_)
        wait(tmx9::kFrameSpacingMs - int(lastSent_.elapsed()));
    dropPending();
    port_.close();
    trace_.note(QStringLiteral("closed %1").arg(port_.portName()), tag_);
}

bool RadioLink::setBaud(int baud, QString *error)
{
    if (!port_.setBaudRate(baud)) {
        *error = QStringLiteral("cannot set %1 baud: %2").arg(baud).arg(port_.errorString());
        trace_.note(*error, tag_);
        return false;
    }
    baud_ = baud;
    // Whatever came in belongs to the old rate.
    port_.clear(QSerialPort::Input);
    port_.readAll();
    dropPending();
    trace_.note(QStringLiteral("now at %1 baud").arg(baud), tag_);
    return true;
}

std::optional<RadioLink::Found> RadioLink::search(const QVector<int> &rates, int waitMs)
{
    for (int i = 0; i < rates.size() && !lost_; ++i) {
        QString error;
        if (i > 0 && !setBaud(rates.at(i), &error))
            return std::nullopt;
        trace_.note(
            QStringLiteral("trying %1 baud, waiting up to %2 ms").arg(rates.at(i)).arg(waitMs),
            tag_);
        dropPending();
        answer_ = ReadAnswer();
        send(tmx9::readRequest());
        const auto decodable = [this] {
            return answer_.parameters && tmx9::decodeParameters(*answer_.parameters);
        };
        // The channel table response too, so that none of this answer is left to arrive later.
        waitUntil(QDeadlineTimer(waitMs, Qt::PreciseTimer),
                  [&] { return decodable() && answer_.channelTable; });
        if (decodable()) {
            if (answer_.channelTable)
                lastSent_.invalidate();
            trace_.note(QStringLiteral("a radio answered at %1 baud").arg(rates.at(i)), tag_);
            return Found{rates.at(i), *answer_.parameters, answer_.channelTable};
        }
    }
    trace_.note(QStringLiteral("no radio answered at any rate"), tag_);
    return std::nullopt;
}

int RadioLink::runPlan(const tmx9::TransmissionPlan &plan)
{
    acknowledgements_ = 0;
    for (const tmx9::PlanStep &step : plan) {
        if (lost_)
            break;
        if (!step.bytes.isEmpty())
            send(step.bytes);
        if (step.waitMs > 0)
            wait(step.waitMs);
    }
    return acknowledgements_;
}

RadioLink::ReadAnswer RadioLink::read(int timeoutMs)
{
    dropPending(); // an unterminated tail would spoil the first response
    answer_ = ReadAnswer();
    send(tmx9::readRequest());
    waitUntil(QDeadlineTimer(timeoutMs, Qt::PreciseTimer),
              [this] { return answer_.parameters && answer_.channelTable; });
    ReadAnswer answer = answer_;
    answer.anything = answer.anything || head_ < received_.size();
    if (answer.parameters && answer.channelTable)
        lastSent_.invalidate(); // the radio has taken the request: it answered it
    return answer;
}

void RadioLink::wait(int ms)
{
    waitUntil(QDeadlineTimer(qMax(ms, 0), Qt::PreciseTimer), {});
}

void RadioLink::onReadyRead()
{
    tmx9::appendReceived(received_, head_, port_.readAll());
    while (const auto line = tmx9::takeLine(received_, head_)) {
        trace_.received(*line + tmx9::kCrLf, tag_);
        switch (tmx9::classify(*line)) {
        case tmx9::LineKind::WriteAck:
            ++acknowledgements_;
            break;
        case tmx9::LineKind::Parameters:
            answer_.parameters = *line;
            answer_.anything = true;
            break;
        case tmx9::LineKind::ChannelTable:
            answer_.channelTable = *line;
            answer_.anything = true;
            break;
        case tmx9::LineKind::Dropped:
            answer_.anything = true;
            break;
        }
    }
    tmx9::settle(received_, head_);
    emit progressed();
}

void RadioLink::onError(QSerialPort::SerialPortError error)
{
    const bool failed = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                        error == QSerialPort::WriteError;
    const bool gone = error != QSerialPort::NoError && serialports::deviceHungUp(port_);
    if (!failed && !gone)
        return;
    if (!lost_) {
        lost_ = true;
        // The system's text for a vanished device is often a stale errno (or, under Wine, an
        // unknown error); say what happened.
        lostReason_ = error == QSerialPort::ResourceError || gone
                          ? QStringLiteral("the device went away")
                          : port_.errorString();
        trace_.note(QStringLiteral("port failed: %1").arg(lostReason_), tag_);
    }
    emit progressed();
}

void RadioLink::send(const QByteArray &bytes)
{
    port_.write(bytes);
    // Traced before the drain: on Windows the answer may be taken in while it waits.
    trace_.sent(bytes, tag_);
    // Out on the line now, not at the next turn of the event loop: the wait that follows is
    // measured from here.
    serialports::drainOutput(port_);
    lastSent_.start();
}

void RadioLink::dropPending()
{
    if (head_ < received_.size())
        trace_.discarded(received_.mid(head_), tag_);
    received_.clear();
    head_ = 0;
}

void RadioLink::waitUntil(const QDeadlineTimer &deadline, const std::function<bool()> &done)
{
    // Blocks in the event loop until something arrives or the deadline; no spinning.
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &RadioLink::progressed, &loop, &QEventLoop::quit);
    while (!lost_ && !(done && done()) && !deadline.hasExpired()) {
        wake.start(int((deadline.remainingTimeNSecs() + 999999) / 1000000));
        loop.exec();
    }
}

} // namespace tmx9ctl
