#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "pseudoterminal.h"

// The radio's end of a real pseudo-terminal, for tests that play the radio byte by byte. The
// window opens the slave path through its own open_port click, so QSerialPort and termios are
// real; the test reads and writes the master.
class PtyPeer : public QObject
{
    Q_OBJECT

public:
    PtyPeer();

    bool isOpen() const { return pty.isOpen(); }
    QString slavePath() const { return pty.slavePath(); }

    // Everything received so far.
    const QByteArray &received() const { return arrived; }
    void clearReceived() { arrived.clear(); }
    // Processes events until `count` bytes have arrived or `timeoutMs` passed.
    bool waitForBytes(int count, int timeoutMs = 3000);

    // Returns once the bytes are on the line (the window may have to read some first), so that
    // a flood never piles up here.
    void send(const QByteArray &bytes);

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

private:
    tmx9sim::PseudoTerminal pty;
    QByteArray arrived;
};
