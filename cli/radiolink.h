#pragma once

#include "plans.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <optional>

namespace tmx9ctl {

class Trace;

// One radio on one serial port, with its own QSerialPort. Every wait runs the event loop of the
// calling thread, so answers are taken in while it waits, and a simulated radio on the same
// thread can answer.
class RadioLink : public QObject
{
    Q_OBJECT
public:
    explicit RadioLink(Trace &trace, QObject *parent = nullptr);
    ~RadioLink() override;

    // Opens `port` (a path or a name) read-write at `baud`, 8N1, no flow control, lets the line
    // settle and drops what arrived meanwhile. False with the reason.
    bool open(const QString &port, int baud, QString *error);
    void close();

    // The port failed while open (e.g. the device went away).
    bool isLost() const { return lost_; }
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

    void wait(int ms);

signals:
    void progressed(); // bytes arrived, or the port failed

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void send(const QByteArray &bytes);
    void dropPending();
    void waitUntil(const QDeadlineTimer &deadline, const std::function<bool()> &done);

    Trace &trace_;
    QSerialPort port_;
    QByteArray received_;
    int head_ = 0;
    int acknowledgements_ = 0;
    ReadAnswer answer_;
    bool lost_ = false;
    QString lostReason_;
};

} // namespace tmx9ctl
