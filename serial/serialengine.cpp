#include "serialengine.h"

#include "eventwait.h"
#include "linerecorder.h"
#include "portline.h"
#include "receiver.h"
#include "trafficwriter.h"

#include "frames.h"

namespace serialports {

SerialEngine::SerialEngine(QSerialPort &port, TrafficWriter *traffic, OnLoss onLoss,
                           const QString &tag, QObject *parent)
    : QObject(parent), port_(port), traffic_(traffic), onLoss_(onLoss), tag_(tag)
{
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialEngine::onError);
}

SerialEngine::Opening SerialEngine::open(const QString &name, int baud)
{
    lost_ = false;
    port_.setPortName(name);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QString error = port_.errorString();
        if (traffic_)
            traffic_->note(QStringLiteral("cannot open %1: %2").arg(name, error), tag_);
        return {Opening::Status::NotOpened, error};
    }
    // Every setting is tried, so that a refused one leaves the others as asked.
    bool allApplied = true;
    QString refused;
    const auto apply = [&](bool applied) {
        if (!applied && allApplied)
            refused = port_.errorString();
        allApplied = allApplied && applied;
    };
    apply(port_.setBaudRate(baud, QSerialPort::AllDirections));
    apply(port_.setDataBits(QSerialPort::Data8));
    apply(port_.setStopBits(QSerialPort::OneStop));
    apply(port_.setParity(QSerialPort::NoParity));
    apply(port_.setFlowControl(QSerialPort::NoFlowControl));
    if (!allApplied) {
        const QString error = QStringLiteral("cannot set %1 baud, 8N1: %2").arg(baud).arg(refused);
        if (traffic_)
            traffic_->note(QStringLiteral("%1: %2").arg(name, error), tag_);
        return {Opening::Status::SettingsRefused, error};
    }
    return {Opening::Status::Open, {}};
}

void SerialEngine::dropWaiting()
{
    port_.clear(QSerialPort::Input);
    const QByteArray waiting = port_.readAll();
    if (traffic_)
        traffic_->discarded(waiting, tag_, QStringLiteral("waiting in the port, dropped"));
}

bool SerialEngine::send(const QByteArray &bytes)
{
    if (!port_.isOpen())
        return false;
    LineRecorder::record({LineEvent::Kind::Sent, bytes, 0, port_.portName(), 0, 0});
    port_.write(bytes);
    // Noted before the drain: on Windows the answer may be taken in while it waits.
    if (traffic_)
        traffic_->sent(bytes, tag_);
    const bool drained = drainOutput(port_);
    lastSend_.start();
    return drained;
}

void SerialEngine::runPlan(const tmx9::TransmissionPlan &plan)
{
    for (const tmx9::PlanStep &step : plan) {
        if (givenUp())
            return;
        if (!step.bytes.isEmpty())
            send(step.bytes);
        if (step.waitMs > 0)
            pause(step.waitMs);
    }
}

void SerialEngine::pause(int ms)
{
    if (ms <= 0)
        return;
    LineRecorder::record(
        {LineEvent::Kind::Waited, {}, ms, port_.portName(), 0, unsentBytes(port_)});
    // A monotonic deadline: a wait across midnight, or a clock change, lasts its full time.
    waitUntil(QDeadlineTimer(ms, Qt::PreciseTimer), [this] { return givenUp(); });
}

bool SerialEngine::await(int ms, const std::function<bool()> &done)
{
    LineRecorder::record(
        {LineEvent::Kind::Awaited, {}, qMax(ms, 0), port_.portName(), 0, unsentBytes(port_)});
    return waitUntil(QDeadlineTimer(qMax(ms, 0), Qt::PreciseTimer),
                     [&] { return givenUp() || done(); }) &&
           !givenUp();
}

void SerialEngine::receive(QByteArray &buffer, int &head,
                           const std::function<void(const QByteArray &)> &take)
{
    QByteArray discarded;
    tmx9::appendReceived(buffer, head, port_.readAll(), &discarded);
    if (traffic_)
        traffic_->discarded(discarded, tag_);
    while (const auto line = tmx9::takeLine(buffer, head)) {
        if (traffic_)
            traffic_->received(*line + tmx9::kCrLf, tag_);
        take(*line);
    }
    tmx9::settle(buffer, head);
}

void SerialEngine::dropUnterminated(QByteArray &buffer, int &head)
{
    const QByteArray dropped = tmx9::dropUnterminated(buffer, head);
    if (traffic_)
        traffic_->discarded(dropped, tag_);
}

void SerialEngine::onError(QSerialPort::SerialPortError error)
{
    // Errors of opening, and of a port already closed, lose nothing.
    if (lost_ || !port_.isOpen())
        return;
    if (!portLost(error, error != QSerialPort::NoError && deviceHungUp(port_)))
        return;
    lost_ = true;
    emit lost();
}

} // namespace serialports
