#pragma once

#include <QByteArray>

namespace tmx9sim {

// Misbehaviour of the simulated radio, each independent of the others. All off by default.
// Counts (bytes sent, write frames) start again at start() and at every setFaults().
struct Faults
{
    bool silent = false;             // deaf and mute: applies nothing, answers nothing
    bool noAck = false;              // applies write frames but never acknowledges them
    int ackDelayMs = 0;              // each acknowledgement leaves this long after its write frame
    int fragmentBytes = 0;           // > 0: everything sent leaves in pieces of this many bytes
    int fragmentGapMs = 0;           // pause before each piece
    QByteArray strayBytes;           // sent just before every frame (read responses and acks)
    bool badChecksum = false;        // frames sent carry a wrong checksum
    bool crLfInParameters = false;   // CR LF in registers 20-21 of the parameter response
    bool crLfInChannelTable = false; // CR LF opening record 6 of the channel table response
    int closeAfterBytes = -1;        // >= 0: the line closes once this many bytes have been sent
    int closeOnWriteFrame = 0; // > 0: the line closes when this write frame (1 = first) arrives
    int paceBaud = 0;          // > 0: output no faster than a UART at this baud rate
};

} // namespace tmx9sim
