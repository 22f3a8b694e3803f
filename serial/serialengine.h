#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>

#include "plans.h"

namespace serialports {

class TrafficWriter;

// The serial rules the window and tmx9ctl share, over a port the caller owns: opening the line,
// sending, running a transmission plan, waiting, taking received lines, and when a port is lost.
// What goes out and comes in is written to `traffic` (null: nowhere), each line marked with
// `tag`; what is sent and every wait asked for also go to a LineRecorder, when one listens.
// Lives on the port's thread.
class SerialEngine : public QObject
{
    Q_OBJECT
public:
    // What a lost port does to the waits and plans still to come: the window keeps its pace (it
    // does not notice a removed device), tmx9ctl gives up at once.
    enum class OnLoss { KeepPace, GiveUp };

    SerialEngine(QSerialPort &port, TrafficWriter *traffic, OnLoss onLoss, const QString &tag = {},
                 QObject *parent = nullptr);

    struct Opening
    {
        enum class Status {
            Open,
            NotOpened,       // the port is closed
            SettingsRefused, // the port is open, but not as asked
        } status = Status::NotOpened;
        QString error; // the system's reason, unless Open
    };
    // Opens `name` read-write, then sets `baud` in both directions, 8 data bits, 1 stop bit, no
    // parity and no flow control, in that order. A failure is noted in the traffic with `name`;
    // after a refused setting the port stays open, for the caller to decide.
    Opening open(const QString &name, int baud);

    // Drops what reached the port before anyone asked for it (noted as dropped). The read also
    // starts reception: on Windows a port reads only after a "data arrived" event or a read of
    // ours, and Wine never reports that event for a pseudo-terminal.
    void dropWaiting();

    // Writes `bytes`, notes them, and returns once they have left the computer (a wait that
    // follows is measured from there). False when the port failed; nothing is written to a port
    // that is closed (a released device).
    bool send(const QByteArray &bytes);

    // Each step's bytes, sent, then its wait. Stops at a lost port under OnLoss::GiveUp.
    void runPlan(const tmx9::TransmissionPlan &plan);

    // A fixed wait of `ms` (a plan's, or a pause), serving events meanwhile.
    void pause(int ms);
    // Waits for an answer: until `done` holds, for at most `ms`. True when it held.
    bool await(int ms, const std::function<bool()> &done);

    // Appends what the port holds to the receive buffer `buffer` (consumed up to `head`), notes
    // what the receiver throws away, then hands each complete line, noted as it is taken, to
    // `take`. `take` may run the event loop: the next line is looked for from the buffer's
    // front as it then stands, so a nested run never sees a line twice.
    void receive(QByteArray &buffer, int &head,
                 const std::function<void(const QByteArray &)> &take);
    // Empties the receive buffer, noting its unterminated bytes as discarded.
    void dropUnterminated(QByteArray &buffer, int &head);

    // Milliseconds since the bytes of the last send left; -1 before any.
    qint64 msSinceLastSend() const { return lastSend_.isValid() ? lastSend_.elapsed() : -1; }

    // The port lost its device (see portLost) since it was opened.
    bool isLost() const { return lost_; }

signals:
    // Once per opening, as soon as the port is lost.
    void lost();

private:
    void onError(QSerialPort::SerialPortError error);
    bool givenUp() const { return lost_ && onLoss_ == OnLoss::GiveUp; }

    QSerialPort &port_;
    TrafficWriter *const traffic_;
    const OnLoss onLoss_;
    const QString tag_;
    bool lost_ = false;
    QElapsedTimer lastSend_;
};

} // namespace serialports
