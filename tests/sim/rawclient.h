#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QVector>

class QSocketNotifier;

namespace tmx9sim {
class SimRadio;
}

// The tool's end of the line, without the tool: opens the slave side raw and collects what the
// radio sends, with the time each chunk was read. Waits run the event loop, so a simulator on
// the same thread keeps working.
class RawClient
{
public:
    struct Chunk
    {
        qint64 timeNs; // on clock()
        QByteArray bytes;
    };

    // Opens at `baud`, the simulated radio's default rate unless told otherwise.
    explicit RawClient(const QString &path, int baud = 115200);
    ~RawClient();
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void send(const QByteArray &bytes);
    // The rate the radio's side reads from the line's settings: 4800 to 115200, else false.
    bool setBaud(int baud);

    // Runs the event loop until `count` lines have arrived in all, or `timeoutMs` passed.
    bool waitForLines(int count, int timeoutMs = 2000);
    bool waitForHangUp(int timeoutMs = 2000);
    // Runs the event loop until all that `radio` has sent (by its own record) has arrived; true
    // when what arrived is exactly that. Once the radio has handled what was sent to it, nothing
    // more is on its way then, unless it delays something on purpose.
    bool waitForAllSentBy(const tmx9sim::SimRadio &radio, int timeoutMs = 2000);
    // Runs the event loop for this long, collecting.
    void idle(int ms);

    // Lines cut by the receiver of the protocol core, without CR LF, in arrival order.
    QList<QByteArray> lines() const { return lines_; }
    QByteArray received() const { return received_; }
    QVector<Chunk> chunks() const { return chunks_; }
    // Arrival time of the chunk that completed line `index`.
    qint64 lineTimeNs(int index) const { return lineTimes_.at(index); }
    bool hungUp() const { return hungUp_; }
    const QElapsedTimer &clock() const { return clock_; }

private:
    void readAvailable();

    int fd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    QElapsedTimer clock_;
    QByteArray received_;
    QVector<Chunk> chunks_;
    QByteArray pending_;
    int head_ = 0;
    QList<QByteArray> lines_;
    QVector<qint64> lineTimes_;
    bool hungUp_ = false;
};
