#include "transmitter.h"

#include <cmath>

namespace tmx9sim {

namespace {

constexpr qint64 kNsPerMs = 1000000;
constexpr double kBitsPerByte = 10.0; // start bit, 8 data bits, stop bit

} // namespace

Transmitter::Transmitter(QObject *parent) : QObject(parent)
{
    started_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Transmitter::pump);
}

void Transmitter::setShape(const OutputShape &shape)
{
    shape_ = shape;
}

void Transmitter::send(const QByteArray &message, const QString &summary)
{
    if (message.isEmpty())
        return;
    const int step = shape_.fragmentBytes > 0 ? shape_.fragmentBytes : message.size();
    for (int offset = 0; offset < message.size(); offset += step)
        queue_.enqueue({message.mid(offset, step), summary, offset, int(message.size())});
    if (!pumping_)
        pump();
}

void Transmitter::clear()
{
    queue_.clear();
    releasedOfHead_ = 0;
    headStartedNs_ = -1;
    timer_.stop();
}

void Transmitter::wakeIn(qint64 nanoseconds)
{
    const qint64 ms = (qMax<qint64>(0, nanoseconds) + kNsPerMs - 1) / kNsPerMs;
    timer_.start(int(ms));
}

void Transmitter::pump()
{
    pumping_ = true;
    while (!queue_.isEmpty()) {
        const qint64 now = clock_();
        if (headStartedNs_ < 0) {
            if (shape_.fragmentGapMs > 0 && lastPieceEndNs_ >= 0) {
                const qint64 due = lastPieceEndNs_ + shape_.fragmentGapMs * kNsPerMs;
                if (now < due) {
                    wakeIn(due - now);
                    break;
                }
            }
            headStartedNs_ = now;
        }

        const Piece piece = queue_.head();
        int count = piece.bytes.size() - releasedOfHead_;
        if (shape_.paceBaud > 0) {
            // A byte is on the far side only once its last bit has been sent.
            const double byteNs = kBitsPerByte * 1e9 / shape_.paceBaud;
            const qint64 sent = qint64(std::floor((now - headStartedNs_) / byteNs));
            const qint64 allowed = sent - releasedOfHead_;
            if (allowed <= 0) {
                const qint64 nextDue =
                    headStartedNs_ + qint64(std::ceil((releasedOfHead_ + 1) * byteNs));
                wakeIn(nextDue - now);
                break;
            }
            count = int(qMin<qint64>(count, allowed));
        }

        const QByteArray chunk = piece.bytes.mid(releasedOfHead_, count);
        const int offset = piece.offset + releasedOfHead_;
        releasedOfHead_ += count;
        if (releasedOfHead_ == piece.bytes.size()) {
            queue_.dequeue();
            releasedOfHead_ = 0;
            headStartedNs_ = -1;
            lastPieceEndNs_ = now;
        }
        emit chunkReady(chunk, piece.summary, offset, piece.messageSize);
    }
    pumping_ = false;
}

} // namespace tmx9sim
