#include "radiolink.h"

#include "frames.h"
#include "portline.h"
#include "receiver.h"
#include "registers.h"
#include "trace.h"

namespace tmx9ctl {

namespace {

// As the window does after opening, before it first writes.
constexpr int kSettleMs = tmx9::kFrameSpacingMs;

} // namespace

RadioLink::RadioLink(Trace &trace, const QString &tag, QObject *parent)
    : QObject(parent), trace_(trace), tag_(tag),
      engine_(port_, &trace, serialports::SerialEngine::OnLoss::GiveUp, tag)
{
    connect(&port_, &QSerialPort::readyRead, this, &RadioLink::onReadyRead);
    connect(&engine_, &serialports::SerialEngine::lost, this, &RadioLink::onLost);
}

RadioLink::~RadioLink()
{
    close();
}

bool RadioLink::open(const QString &port, int baud, QString *error)
{
    const serialports::SerialEngine::Opening opening = engine_.open(port, baud);
    if (opening.status != serialports::SerialEngine::Opening::Status::Open) {
        *error = opening.error;
        if (port_.isOpen())
            port_.close();
        return false;
    }
    baud_ = baud;
    lostReason_.clear();
    trace_.note(QStringLiteral("opened %1 at %2 baud, 8N1, no flow control").arg(port).arg(baud),
                tag_);

    // What a radio sent before we listened belongs to no request of ours.
    wait(kSettleMs);
    engine_.dropWaiting();
    dropPending();
    if (isLost()) {
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
    if (unanswered_ && !isLost())
        wait(tmx9::kFrameSpacingMs - int(engine_.msSinceLastSend()));
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
    engine_.dropWaiting();
    dropPending();
    trace_.note(QStringLiteral("now at %1 baud").arg(baud), tag_);
    return true;
}

std::optional<RadioLink::Found> RadioLink::search(const QVector<int> &rates, int waitMs)
{
    for (int i = 0; i < rates.size() && !isLost(); ++i) {
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
        engine_.await(waitMs, [&] { return decodable() && answer_.channelTable; });
        if (decodable()) {
            if (answer_.channelTable)
                unanswered_ = false;
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
    engine_.runPlan(plan);
    unanswered_ = unanswered_ || !plan.isEmpty();
    return acknowledgements_;
}

RadioLink::ReadAnswer RadioLink::read(int timeoutMs)
{
    dropPending(); // an unterminated tail would spoil the first response
    answer_ = ReadAnswer();
    send(tmx9::readRequest());
    engine_.await(timeoutMs, [this] { return answer_.parameters && answer_.channelTable; });
    ReadAnswer answer = answer_;
    answer.anything = answer.anything || head_ < received_.size();
    if (answer.parameters && answer.channelTable)
        unanswered_ = false; // the radio has taken the request: it answered it
    return answer;
}

void RadioLink::wait(int ms)
{
    engine_.pause(ms);
}

void RadioLink::onReadyRead()
{
    engine_.receive(received_, head_, [this](const QByteArray &line) {
        switch (tmx9::classify(line)) {
        case tmx9::LineKind::WriteAck:
            ++acknowledgements_;
            break;
        case tmx9::LineKind::Parameters:
            answer_.parameters = line;
            answer_.anything = true;
            break;
        case tmx9::LineKind::ChannelTable:
            answer_.channelTable = line;
            answer_.anything = true;
            break;
        case tmx9::LineKind::Dropped:
            answer_.anything = true;
            break;
        }
    });
    emit progressed();
}

void RadioLink::onLost()
{
    // The system's text for a vanished device is often a stale errno (or, under Wine, an unknown
    // error); say what happened.
    lostReason_ = QStringLiteral("the device went away");
    trace_.note(QStringLiteral("port failed: %1").arg(lostReason_), tag_);
    emit progressed();
}

void RadioLink::send(const QByteArray &bytes)
{
    engine_.send(bytes);
    unanswered_ = true;
}

void RadioLink::dropPending()
{
    engine_.dropUnterminated(received_, head_);
}

} // namespace tmx9ctl
