#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include "plans.h"

namespace serialports {

// One thing a serial line was asked to do.
struct LineEvent
{
    enum class Kind {
        Sent,    // bytes written
        Waited,  // a fixed wait: a plan's, or another pause
        Awaited, // a wait for an answer, ended by the answer or at the latest after `ms`
    };
    Kind kind = Kind::Sent;
    QByteArray bytes; // Sent
    int ms = 0;       // Waited, Awaited
    QString port;     // the port's name
    qint64 atNs = 0;  // when it began, on the recorder's clock
    // Waited, Awaited: bytes written that had not yet left the computer when the wait began.
    qint64 unsentBytes = 0;

    // What was asked (kind, bytes, wait), not where or when.
    bool operator==(const LineEvent &other) const
    {
        return kind == other.kind && bytes == other.bytes && ms == other.ms;
    }
    bool operator!=(const LineEvent &other) const { return !(*this == other); }
};

// What the serial lines of the process are asked to do, in order, while a recorder lives (one at
// a time): every SerialEngine reports to it. Tests compare it with the plan a front end meant to
// run, whatever the machine's load made of the timing; the times it keeps are the sender's.
class LineRecorder
{
public:
    LineRecorder();
    ~LineRecorder();
    LineRecorder(const LineRecorder &) = delete;
    LineRecorder &operator=(const LineRecorder &) = delete;

    // All ports' events, or those of the port named `port` (its QSerialPort::portName()).
    QVector<LineEvent> events(const QString &port = {}) const;
    void clear();

    // For the engine: keeps `event`, timed now, if a recorder lives.
    static void record(LineEvent event);

    // What running `plan` asks of a line: each step's bytes, then its wait.
    static QVector<LineEvent> planned(const tmx9::TransmissionPlan &plan);
    // One line a event, for a test's failure message.
    static QString describe(const QVector<LineEvent> &events);
};

} // namespace serialports
