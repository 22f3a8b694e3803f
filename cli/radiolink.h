#pragma once

#include "plans.h"
#include "serialengine.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QVector>
#include <optional>

namespace tmx9ctl {

class Trace;

// One radio on one serial port, with its own QSerialPort. Every wait runs the event loop of the
// calling thread, so answers are taken in while it waits, and a simulated radio on the same
// thread can answer. Each link belongs to the thread that made it; several ports at once take a
// thread each. `tag` marks its lines in a trace shared with other ports (empty: alone).
class RadioLink : public QObject
{
    Q_OBJECT
public:
    explicit RadioLink(Trace &trace, const QString &tag = {}, QObject *parent = nullptr);
    ~RadioLink() override;

    // Opens `port` (a path or a name) read-write at `baud`, 8N1, no flow control, lets the line
    // settle and drops what arrived meanwhile. False with the reason.
    bool open(const QString &port, int baud, QString *error);
    void close();

    // Switches the open port to `baud` and drops what arrived at the old rate.
    bool setBaud(int baud, QString *error);
    int baud() const { return baud_; }

    // The port lost its device while open (the lost-port rule of serialports::portLost).
    bool isLost() const { return engine_.isLost(); }
    QString lostReason() const { return lostReason_; }

    // Writes each step's bytes, then waits its time. Returns the write acknowledgements that
    // arrived while the plan ran; stops early when the port fails.
    int runPlan(const tmx9::TransmissionPlan &plan);

    struct ReadAnswer
    {
        std::optional<QByteArray> parameters;   // latest parameter response line
        std::optional<QByteArray> channelTable; // latest channel table response line
        bool anything = false; // something other than write acknowledgements came back
    };
    // Sends the read request and waits until both responses are in or `timeoutMs` has passed.
    ReadAnswer read(int timeoutMs);

    // Looks for a radio at each of `rates` in turn (the first is the rate the port is open at):
    // sends the read request and waits up to `waitMs` for a decodable parameter response. The
    // rate it answered at and its parameter response line, or nullopt. Leaves the port at the
    // rate found, or at the last one tried.
    struct Found
    {
        int baud = 0;
        QByteArray parameters;
        std::optional<QByteArray> channelTable; // when it came within the wait as well
    };
    std::optional<Found> search(const QVector<int> &rates, int waitMs);

    void wait(int ms);

signals:
    void progressed(); // bytes arrived, or the port failed

private:
    void onReadyRead();
    void onLost();
    void send(const QByteArray &bytes);
    void dropPending();

    Trace &trace_;
    const QString tag_;
    QSerialPort port_;
    serialports::SerialEngine engine_;
    int baud_ = 0;
    QByteArray received_;
    int head_ = 0;
    int acknowledgements_ = 0;
    ReadAnswer answer_;
    QString lostReason_;
    bool unanswered_ = false; // bytes went out that the radio has not answered yet
};

} // namespace tmx9ctl
