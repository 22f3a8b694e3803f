#pragma once

#include "faults.h"
#include "inboundsplitter.h"
#include "pseudoterminal.h"
#include "radiostate.h"
#include "traffic.h"
#include "transmitter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

class QIODevice;

namespace tmx9sim {

// A radio on the far side of a pseudo-terminal. It answers the read request with the parameter
// and channel table responses, applies and acknowledges write frames, and obeys the text
// commands. Runs on the thread that owns it; every wait is an event-loop timer, so the tool and
// the radio can share one thread.
//
// It hears only its own serial rate (register 15): bytes the tool sends at another rate are line
// noise, logged as such and never answered. A write that changes the rate takes effect once the
// radio has nothing left to send, so its acknowledgement still leaves at the old rate.
class SimRadio : public QObject
{
    Q_OBJECT
public:
    explicit SimRadio(QObject *parent = nullptr);
    ~SimRadio() override;

    // Opens a new pseudo-terminal; slavePath() is then the port the tool opens.
    bool start(QString *error = nullptr);
    // Closes the pseudo-terminal at once: for the tool, the radio vanishes, and bytes it has not
    // read yet are lost. Emits stopped().
    void stop();
    bool isRunning() const { return pty_.isOpen(); }
    QString slavePath() const { return pty_.slavePath(); }
    // The slave side stays open in the simulator, so what the radio sends while the tool has
    // the port closed waits there and is read when the tool opens it again. This drops it, as a
    // real line would have.
    void discardUnread() { pty_.discardUnread(); }

    const RadioState &state() const { return state_; }
    void setState(const RadioState &state)
    {
        state_ = state;
        heldRate_ = 0;
    }
    Firmware firmware() const { return state_.firmware(); }
    void setFirmware(Firmware firmware) { state_.setFirmware(firmware); }
    QByteArray parameterBlock() const { return state_.parameterBlock(); }
    void setParameterBlock(const QByteArray &block)
    {
        state_.setParameterBlock(block);
        heldRate_ = 0;
    }
    QByteArray channelRecords() const { return state_.channelRecords(); }
    bool setChannelRecords(const QByteArray &records) { return state_.setChannelRecords(records); }
    tmx9::RadioSettings settings() const { return state_.settings(); }
    bool setSettings(const tmx9::RadioSettings &settings)
    {
        heldRate_ = 0;
        return state_.setSettings(settings);
    }
    QString serialNumber() const { return state_.serialNumber(); }
    void setSerialNumber(const QString &text) { state_.setSerialNumber(text); }
    QString firmwareVersion() const { return state_.firmwareVersion(); }
    void setFirmwareVersion(const QString &text) { state_.setFirmwareVersion(text); }

    // Read requests are answered with these responses as they stand (CR LF included; an empty
    // one is built from the state as usual) for as long as the state is still the one it was when
    // they were given: the first change the state undergoes ends them for good. Faults still apply.
    void setRecordedResponses(const QByteArray &parameters, const QByteArray &channelTable);

    // Order of the two read responses; the parameter response comes first by default.
    bool channelTableFirst() const { return channelTableFirst_; }
    void setChannelTableFirst(bool first) { channelTableFirst_ = first; }
    // "OK" / "ERROR" lines after text commands (on by default; the tool drops them).
    bool commandReplies() const { return commandReplies_; }
    void setCommandReplies(bool on) { commandReplies_ = on; }

    // The rate in bits per second the radio hears now: its serial-rate register, or the old rate
    // while the acknowledgement of a write that changed it is still to leave. 0: a code the
    // radio does not know, and then every rate is heard.
    int listeningRate() const { return heldRate_ > 0 ? heldRate_ : state_.serialRate(); }
    // On: bytes are heard whatever rate the tool set, for programs that cannot set one.
    bool anyBaud() const { return anyBaud_; }
    void setAnyBaud(bool on) { anyBaud_ = on; }

    Faults faults() const { return faults_; }
    void setFaults(const Faults &faults);

    // Counts since start().
    int readRequests() const { return readRequests_; }
    int writeFrames() const { return writeFrames_; } // all "$$RJ" frames, applied or not
    int writesApplied() const { return writesApplied_; }
    int acknowledgements() const { return acknowledgements_; }
    // Bytes the radio has queued and not yet put on the line (held back by a fault's pace or
    // gaps, or not yet taken by the pseudo-terminal). An acknowledgement still in its delay is
    // not among them.
    qint64 unsentBytes() const;

    // Raw chunks of both directions, in order; a received chunk is timed when it was read.
    QVector<TrafficEntry> traffic() const { return traffic_; }
    // Every frame, line or noise cut from the received bytes (without CR LF), timed when its
    // last byte was read.
    QVector<TrafficEntry> receivedLines() const { return receivedLines_; }
    void clearTraffic();
    // Off: nothing is kept in memory (a long-running simulator).
    void setRecordTraffic(bool on) { recordTraffic_ = on; }
    // Human-readable log, one line per received unit and per sent chunk. Not owned; null: none.
    // Once a line cannot be written, the log is dropped and logFailed() says why.
    void setLogDevice(QIODevice *device) { log_ = device; }
    // The clock of every timestamp: nanoseconds since the simulator was created.
    qint64 elapsedNs() const { return clock_.nsecsElapsed(); }

signals:
    void chunkReceived(const QByteArray &chunk);
    // A frame or line from the tool, without its CR LF.
    void lineReceived(const QByteArray &line);
    void chunkSent(const QByteArray &chunk);
    void writeApplied(int startRegister, const QByteArray &data);
    void stopped();
    void logFailed(const QString &why);

private:
    void onReceived(const QByteArray &chunk);
    void drain(qint64 timeNs);
    void onPartialFrameStale();
    void handle(const Inbound &unit, qint64 timeNs);
    void hearNoise(const QByteArray &chunk, int toolRate, qint64 timeNs);
    void logNoise(const QByteArray &bytes, qint64 timeNs, const QString &summary);
    // Ends a hold on the old rate once no acknowledgement is waiting to leave.
    void switchRateWhenSent();
    // Both return a note for the log when the unit was not acted on as usual.
    QString handleFrame(const QByteArray &frame);
    QString handleLine(const QByteArray &line);
    void forgetRecordingIfChanged();
    void answerRead();
    void acknowledge(unsigned char startRegister);
    void sendFrame(QByteArray frame);
    void sendText(const QByteArray &text);
    void onChunkReady(const QByteArray &chunk, const QString &summary, int offset, int size);
    // Stops answering at once; closes when the tool has read what was sent (or gave up).
    void closeLine(const QString &why);
    void closeWhenDrained();
    void writeLog(const QString &line);

    RadioState state_;
    Faults faults_;
    bool channelTableFirst_ = false;
    QByteArray recordedParameters_;
    QByteArray recordedChannelTable_;
    RadioState recordedState_; // what the recorded responses describe
    bool commandReplies_ = true;
    bool anyBaud_ = false;
    int heldRate_ = 0;    // > 0: still listening at this rate, see listeningRate()
    int delayedAcks_ = 0; // acknowledgements waiting for their delay (a fault)
    bool queuingFrame_ = false;

    PseudoTerminal pty_;
    InboundSplitter splitter_;
    Transmitter transmitter_;
    QTimer partialFrameTimer_;
    QTimer closeTimer_;
    bool closing_ = false;
    qint64 closeDeadlineNs_ = 0;
    QElapsedTimer clock_;
    int generation_ = 0; // delayed sends of an earlier run are dropped

    int readRequests_ = 0;
    int writeFrames_ = 0;
    int writesApplied_ = 0;
    int acknowledgements_ = 0;
    qint64 bytesSentSinceFaults_ = 0;
    int writeFramesSinceFaults_ = 0;

    bool recordTraffic_ = true;
    QVector<TrafficEntry> traffic_;
    QVector<TrafficEntry> receivedLines_;
    QIODevice *log_ = nullptr;
};

} // namespace tmx9sim
