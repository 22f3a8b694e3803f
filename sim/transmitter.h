#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

#include <functional>

namespace tmx9sim {

// How the radio's output reaches the line.
struct OutputShape
{
    int fragmentBytes = 0; // > 0: every message goes out in pieces of this many bytes
    int fragmentGapMs = 0; // pause before every piece but the first of the queue
    int paceBaud = 0;      // > 0: bytes leave no faster than a UART at this rate (10 bits a byte)
};

// Queues whole messages and releases them as chunks, timed by event-loop timers so that the
// thread is never blocked.
class Transmitter : public QObject
{
    Q_OBJECT
public:
    explicit Transmitter(QObject *parent = nullptr);

    void setShape(const OutputShape &shape);
    OutputShape shape() const { return shape_; }

    // Nanoseconds on a steady clock; the gaps and the pace are measured on it. A test gives its
    // own to judge them as the transmitter decides them, whatever the machine's load. The timer
    // that wakes the transmitter only says when to look again.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // `summary` names the message in the log of every chunk cut from it.
    void send(const QByteArray &message, const QString &summary);
    // Forgets everything not yet released.
    void clear();
    bool isIdle() const { return queue_.isEmpty(); }
    // Bytes queued and not yet released.
    qint64 pendingBytes() const
    {
        qint64 bytes = -releasedOfHead_;
        for (const Piece &piece : queue_)
            bytes += piece.bytes.size();
        return queue_.isEmpty() ? 0 : bytes;
    }

signals:
    // `offset` is where the chunk starts within its message of `messageSize` bytes.
    void chunkReady(const QByteArray &chunk, const QString &summary, int offset, int messageSize);

private:
    struct Piece
    {
        QByteArray bytes;
        QString summary;
        int offset = 0; // within the message
        int messageSize = 0;
    };
    void pump();
    void wakeIn(qint64 nanoseconds);

    OutputShape shape_;
    QQueue<Piece> queue_;
    int releasedOfHead_ = 0; // bytes of queue_.head() already released
    qint64 headStartedNs_ = -1;
    qint64 lastPieceEndNs_ = -1;
    bool pumping_ = false; // a slot of chunkReady may send more while pump() runs
    QElapsedTimer started_;
    Clock clock_ = [this] { return started_.nsecsElapsed(); };
    QTimer timer_;
};

} // namespace tmx9sim
