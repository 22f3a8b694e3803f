#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include "pseudoterminal.h"

// The radio's end of a real pseudo-terminal, for tests that play the radio byte by byte. The
// window opens the slave path through its own open_port click, so QSerialPort and termios are
// real; the test reads and writes the master.
class PtyPeer : public QObject
{
    Q_OBJECT

public:
    struct Chunk
    {
        qint64 atNs; // arrival, on the peer's monotonic clock
        QByteArray bytes;
    };

    PtyPeer();

    bool isOpen() const { return pty.isOpen(); }
    QString slavePath() const { return pty.slavePath(); }

    // Everything received so far, and the chunks as they arrived.
    QByteArray received() const;
    const QVector<Chunk> &chunks() const { return arrivals; }
    // Arrival time (ns on clock()) of byte `index` of received().
    qint64 arrivalOfByte(int index) const;
    void clearReceived();
    // Processes events until `count` bytes have arrived or `timeoutMs` passed.
    bool waitForBytes(int count, int timeoutMs = 3000);

    // Returns once the bytes are on the line (the window may have to read some first), so that
    // a flood never piles up here.
    void send(const QByteArray &bytes);
    // Sends `bytes` in pieces of `pieceSize`, `gapMs` apart, processing events in between.
    void sendInPieces(const QByteArray &bytes, int pieceSize, int gapMs);

    // Line settings the slave carries now, read from the terminal.
    struct LineSettings
    {
        int inputBaud = 0;
        int outputBaud = 0;
        int dataBits = 0;
        bool parity = false;
        bool twoStopBits = false;
        bool hardwareFlow = false;
        bool softwareFlow = false;
    };
    LineSettings lineSettings() const;

    // Closes the master: the radio vanishes.
    void close() { pty.close(); }

    const QElapsedTimer &clock() const { return timer; }

private:
    tmx9sim::PseudoTerminal pty;
    QVector<Chunk> arrivals;
    QElapsedTimer timer;
};
