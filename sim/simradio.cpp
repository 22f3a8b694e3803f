#include "simradio.h"

#include "describe.h"
#include "frames.h"
#include "responses.h"

#include <QFileDevice>
#include <QScopedValueRollback>

namespace tmx9sim {

namespace {

// The tool writes a frame in one go; a frame still incomplete after this long was cut short.
constexpr int kPartialFrameTimeoutMs = 300;
// Closing the pseudo-terminal discards what the tool has not read: a fault that closes the line
// waits for the tool to read what was sent, but not for ever.
constexpr int kClosePollMs = 5;
constexpr qint64 kMaxCloseWaitNs = 2000LL * 1000 * 1000;

constexpr int kMarkerOffset = 4;
constexpr int kLengthOffset = 5;
constexpr int kBodyOffset = 6;
constexpr char kReadType = 'I';
constexpr char kWriteType = 'J';

// Registers 20-34 mean nothing to the tool: a CR LF there cuts the response without changing
// anything it shows.
constexpr int kCrLfRegister = 20;
// Opening record 6: the records before it survive the cut.
constexpr int kCrLfRecord = 5;

const QByteArray kLogRadioInfo = QByteArray(tmx9::kLogRadioInfo).chopped(2);
const QByteArray kOk("OK\r\n");
const QByteArray kError("ERROR\r\n");

QByteArray withCrLfAt(QByteArray bytes, int index)
{
    if (index + 2 <= bytes.size())
        bytes.replace(index, 2, tmx9::kCrLf);
    return bytes;
}

// The same in a whole response, at `index` of its body. Its checksum changes as the radio's would,
// so that a recorded checksum, right or wrong, stays as right or wrong as it was.
QByteArray withCrLfInBodyAt(QByteArray frame, int index)
{
    const int at = kBodyOffset + index;
    const int sum = kBodyOffset + static_cast<unsigned char>(frame.at(kLengthOffset));
    if (at + 2 > sum || sum >= frame.size())
        return frame;
    frame[sum] = char(frame.at(sum) ^ frame.at(at) ^ frame.at(at + 1) ^ '\r' ^ '\n');
    frame.replace(at, 2, tmx9::kCrLf);
    return frame;
}

// Checksum byte of a frame that ends in checksum, CR LF.
void spoilChecksum(QByteArray &frame)
{
    frame[frame.size() - 3] = char(frame.at(frame.size() - 3) ^ 0xFF);
}

} // namespace

SimRadio::SimRadio(QObject *parent) : QObject(parent)
{
    clock_.start();
    partialFrameTimer_.setSingleShot(true);
    partialFrameTimer_.setInterval(kPartialFrameTimeoutMs);
    connect(&partialFrameTimer_, &QTimer::timeout, this, &SimRadio::onPartialFrameStale);
    closeTimer_.setInterval(kClosePollMs);
    connect(&closeTimer_, &QTimer::timeout, this, &SimRadio::closeWhenDrained);
    connect(&pty_, &PseudoTerminal::received, this, &SimRadio::onReceived);
    connect(&transmitter_, &Transmitter::chunkReady, this, &SimRadio::onChunkReady);
}

SimRadio::~SimRadio()
{
    if (isRunning()) {
        const QSignalBlocker quiet(this);
        stop();
    }
}

bool SimRadio::start(QString *error)
{
    if (isRunning())
        return true;
    if (!pty_.open(error))
        return false;
    ++generation_;
    splitter_ = InboundSplitter();
    readRequests_ = writeFrames_ = writesApplied_ = acknowledgements_ = 0;
    heldRate_ = delayedAcks_ = 0;
    bytesSentSinceFaults_ = 0;
    writeFramesSinceFaults_ = 0;
    writeLog(QStringLiteral("-- line open at %1, listening at %2 baud%3")
                 .arg(pty_.slavePath())
                 .arg(listeningRate())
                 .arg(anyBaud_ ? QStringLiteral(" (or any other rate)") : QString()));
    return true;
}

void SimRadio::stop()
{
    if (!isRunning())
        return;
    ++generation_;
    transmitter_.clear();
    partialFrameTimer_.stop();
    closeTimer_.stop();
    closing_ = false;
    pty_.close();
    writeLog(QStringLiteral("-- line closed"));
    emit stopped();
}

void SimRadio::setFaults(const Faults &faults)
{
    faults_ = faults;
    transmitter_.setShape({faults.fragmentBytes, faults.fragmentGapMs, faults.paceBaud});
    bytesSentSinceFaults_ = 0;
    writeFramesSinceFaults_ = 0;
}

void SimRadio::setRecordedResponses(const QByteArray &parameters, const QByteArray &channelTable)
{
    recordedParameters_ = parameters;
    recordedChannelTable_ = channelTable;
    recordedState_ = state_;
}

qint64 SimRadio::unsentBytes() const
{
    return transmitter_.pendingBytes() + pty_.queuedBytes();
}

void SimRadio::clearTraffic()
{
    traffic_.clear();
    receivedLines_.clear();
}

void SimRadio::onReceived(const QByteArray &chunk)
{
    const qint64 now = elapsedNs();
    if (recordTraffic_)
        traffic_.append({TrafficEntry::Direction::ToRadio, now, chunk});
    emit chunkReceived(chunk);
    if (closing_)
        return;
    // Read for every chunk: the tool may change its rate at any time, even with the port open.
    // Bytes the radio has not read yet count as sent at the rate in force now, like bytes still
    // in a UART's buffer; so do those of a tool that closes at once, since closing restores the
    // settings it found.
    const int toolRate = pty_.toolSendRate();
    const int ownRate = listeningRate();
    if (!anyBaud_ && toolRate > 0 && ownRate > 0 && toolRate != ownRate) {
        hearNoise(chunk, toolRate, now);
        return;
    }
    splitter_.append(chunk);
    drain(now);
}

void SimRadio::hearNoise(const QByteArray &chunk, int toolRate, qint64 timeNs)
{
    // A UART at the wrong rate sees framing errors and garbage: nothing in it can be decoded, and
    // it spoils whatever was half received before it.
    partialFrameTimer_.stop();
    const QByteArray cut = splitter_.takePending();
    if (!cut.isEmpty())
        logNoise(cut, timeNs, QStringLiteral("noise, cut short"));
    logNoise(chunk, timeNs,
             QStringLiteral("noise: sent at %1 baud, the radio listens at %2 baud")
                 .arg(toolRate)
                 .arg(listeningRate()));
}

void SimRadio::logNoise(const QByteArray &bytes, qint64 timeNs, const QString &summary)
{
    if (recordTraffic_)
        receivedLines_.append({TrafficEntry::Direction::ToRadio, timeNs, bytes});
    writeLog(tmx9::formatTraceLine(tmx9::Direction::ToRadio, timeNs, bytes, summary));
}

void SimRadio::drain(qint64 timeNs)
{
    while (isRunning() && !closing_) {
        const auto unit = splitter_.next();
        if (!unit)
            break;
        handle(*unit, timeNs);
    }
    if (isRunning() && !closing_ && splitter_.holdsPartialFrame())
        partialFrameTimer_.start();
    else
        partialFrameTimer_.stop();
}

void SimRadio::onPartialFrameStale()
{
    if (const auto noise = splitter_.abandonPartialFrame())
        handle(*noise, elapsedNs());
    drain(elapsedNs());
}

void SimRadio::handle(const Inbound &unit, qint64 timeNs)
{
    if (unit.kind == Inbound::Kind::Noise) {
        logNoise(unit.bytes, timeNs, QStringLiteral("noise, skipped"));
        return;
    }
    if (recordTraffic_)
        receivedLines_.append({TrafficEntry::Direction::ToRadio, timeNs, unit.bytes});
    writeLog(tmx9::formatTraceLine(tmx9::Direction::ToRadio, timeNs, unit.bytes + tmx9::kCrLf,
                                   tmx9::describeLine(unit.bytes)));
    emit lineReceived(unit.bytes);
    const QString note =
        unit.kind == Inbound::Kind::Frame ? handleFrame(unit.bytes) : handleLine(unit.bytes);
    forgetRecordingIfChanged();
    if (!note.isEmpty())
        writeLog(QStringLiteral("-- %1").arg(note));
}

QString SimRadio::handleFrame(const QByteArray &frame)
{
    const int length = static_cast<unsigned char>(frame.at(kLengthOffset));
    const char type = frame.at(3);
    if (type == kWriteType) {
        ++writeFrames_;
        ++writeFramesSinceFaults_;
        if (faults_.closeOnWriteFrame > 0 && writeFramesSinceFaults_ == faults_.closeOnWriteFrame) {
            closeLine(QStringLiteral("on write frame %1").arg(writeFramesSinceFaults_));
            return QString();
        }
    }
    if (faults_.silent)
        return QStringLiteral("silent");
    if (static_cast<unsigned char>(frame.at(kMarkerOffset)) != tmx9::kToolMarker)
        return QStringLiteral("not a request, ignored");
    if (tmx9::checksum(frame.left(kBodyOffset + length)) !=
        static_cast<unsigned char>(frame.at(kBodyOffset + length)))
        return QStringLiteral("wrong checksum, ignored");

    if (type == kReadType) {
        ++readRequests_;
        answerRead();
        return QString();
    }
    if (type != kWriteType || length < 1)
        return QStringLiteral("ignored");
    const auto startRegister = static_cast<unsigned char>(frame.at(kBodyOffset));
    const QByteArray data = frame.mid(kBodyOffset + 1, length - 1);
    const int rateBefore = listeningRate();
    if (!state_.write(startRegister, data))
        return QStringLiteral("no such registers, ignored");
    ++writesApplied_;
    if (heldRate_ == 0 && state_.serialRate() != rateBefore)
        heldRate_ = rateBefore;
    emit writeApplied(startRegister, data);
    if (faults_.noAck) {
        switchRateWhenSent();
        return QStringLiteral("applied, not acknowledged");
    }
    acknowledge(startRegister);
    switchRateWhenSent();
    return QString();
}

QString SimRadio::handleLine(const QByteArray &line)
{
    if (faults_.silent)
        return QStringLiteral("silent");
    if (line == kLogRadioInfo) {
        sendText(QStringLiteral("TMX9 SN %1 FW %2 N=%3\r\n")
                     .arg(state_.serialNumber(), state_.firmwareVersion())
                     .arg(state_.parameterBlock().size())
                     .toUtf8());
        return QString();
    }
    switch (state_.applyCommand(line)) {
    case RadioState::CommandOutcome::Applied:
        if (commandReplies_)
            sendText(kOk);
        return QString();
    case RadioState::CommandOutcome::Refused:
        if (commandReplies_)
            sendText(kError);
        return QStringLiteral("refused");
    case RadioState::CommandOutcome::Unknown:
        break;
    }
    if (line.startsWith("$$01") && commandReplies_)
        sendText(kError);
    return QStringLiteral("ignored");
}

void SimRadio::forgetRecordingIfChanged()
{
    if (state_.parameterBlock() != recordedState_.parameterBlock() ||
        state_.channelRecords() != recordedState_.channelRecords()) {
        recordedParameters_.clear();
        recordedChannelTable_.clear();
    }
}

void SimRadio::answerRead()
{
    forgetRecordingIfChanged(); // the state may have been set from outside
    // The fault puts its CR LF into the body, whether built or recorded.
    const auto response = [](const QByteArray &recorded, const QByteArray &body, bool crLf, int at,
                             QByteArray (*build)(const QByteArray &)) {
        if (!recorded.isEmpty())
            return crLf ? withCrLfInBodyAt(recorded, at) : recorded;
        return build(crLf ? withCrLfAt(body, at) : body);
    };
    const QByteArray parameters =
        response(recordedParameters_, state_.parameterBlock(), faults_.crLfInParameters,
                 kCrLfRegister, parameterResponse);
    const QByteArray channels =
        response(recordedChannelTable_, state_.channelRecords(), faults_.crLfInChannelTable,
                 kCrLfRecord * RadioState::kRecordLength, channelTableResponse);

    sendFrame(channelTableFirst_ ? channels : parameters);
    sendFrame(channelTableFirst_ ? parameters : channels);
}

void SimRadio::acknowledge(unsigned char startRegister)
{
    ++acknowledgements_;
    const QByteArray ack = writeAcknowledgement(startRegister);
    if (faults_.ackDelayMs <= 0) {
        sendFrame(ack);
        return;
    }
    ++delayedAcks_;
    // Precise: a coarse timer may fire up to 5 % early, and the delay is a promise of at least.
    QTimer::singleShot(faults_.ackDelayMs, Qt::PreciseTimer, this, [this, ack, run = generation_] {
        if (run != generation_)
            return;
        --delayedAcks_;
        sendFrame(ack);
        switchRateWhenSent();
    });
}

void SimRadio::sendFrame(QByteArray frame)
{
    if (faults_.badChecksum)
        spoilChecksum(frame);
    // The transmitter may release the stray bytes at once: the frame is not queued yet then.
    const QScopedValueRollback<bool> queuing(queuingFrame_, true);
    if (!faults_.strayBytes.isEmpty())
        transmitter_.send(faults_.strayBytes, QStringLiteral("stray bytes"));
    transmitter_.send(frame, tmx9::describeLine(frame));
}

void SimRadio::sendText(const QByteArray &text)
{
    transmitter_.send(text, QStringLiteral("reply \"%1\"").arg(QString::fromUtf8(text.trimmed())));
}

void SimRadio::onChunkReady(const QByteArray &chunk, const QString &summary, int offset, int size)
{
    // Silence also holds back what was queued or delayed before the radio fell silent.
    if (closing_ || faults_.silent) {
        switchRateWhenSent();
        return;
    }
    QByteArray out = chunk;
    bool closeAfter = false;
    if (faults_.closeAfterBytes >= 0) {
        const qint64 room = faults_.closeAfterBytes - bytesSentSinceFaults_;
        if (out.size() >= room) {
            out.truncate(int(qMax<qint64>(0, room)));
            closeAfter = true;
        }
    }
    if (!out.isEmpty()) {
        const qint64 now = elapsedNs();
        pty_.write(out);
        bytesSentSinceFaults_ += out.size();
        if (recordTraffic_)
            traffic_.append({TrafficEntry::Direction::FromRadio, now, out});
        QString text = summary;
        if (out.size() != size)
            text += QStringLiteral(" [bytes %1-%2 of %3]")
                        .arg(offset)
                        .arg(offset + out.size() - 1)
                        .arg(size);
        writeLog(tmx9::formatTraceLine(tmx9::Direction::FromRadio, now, out, text));
        emit chunkSent(out);
    }
    switchRateWhenSent();
    if (closeAfter)
        closeLine(QStringLiteral("after %1 bytes").arg(faults_.closeAfterBytes));
}

void SimRadio::switchRateWhenSent()
{
    if (heldRate_ == 0 || queuingFrame_ || delayedAcks_ > 0 || !transmitter_.isIdle())
        return;
    heldRate_ = 0;
    const int rate = listeningRate();
    writeLog(rate > 0 ? QStringLiteral("-- serial rate now %1 baud").arg(rate)
                      : QStringLiteral("-- serial rate code unknown: every rate is heard"));
}

void SimRadio::closeLine(const QString &why)
{
    if (closing_)
        return;
    writeLog(QStringLiteral("-- closing the line %1").arg(why));
    closing_ = true;
    ++generation_;
    transmitter_.clear();
    partialFrameTimer_.stop();
    closeDeadlineNs_ = elapsedNs() + kMaxCloseWaitNs;
    closeTimer_.start();
}

void SimRadio::closeWhenDrained()
{
    if (pty_.unreadBytes() == 0 || elapsedNs() >= closeDeadlineNs_)
        stop();
}

void SimRadio::writeLog(const QString &line)
{
    if (!log_)
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    // Someone may be watching the log while the radio runs.
    auto *file = qobject_cast<QFileDevice *>(log_);
    if (log_->write(bytes) == bytes.size() && (!file || file->flush()))
        return;
    const QString why = log_->errorString();
    log_ = nullptr;
    emit logFailed(why);
}

} // namespace tmx9sim
