#pragma once

#include <QSerialPort>

namespace serialports {

// True when the device behind an open port is gone for good (a pulled cable, a closed
// pseudo-terminal), not merely busy. Asked after the port reported an error.
bool deviceHungUp(QSerialPort &port);

// The lost-port rule of both front ends: whether a port that reported `error` will hear nothing
// more from its device. `hungUp` is deviceHungUp() at that moment.
//
// A resource error always: the system says the device is gone, and Qt stops reading such a port
// (on Linux it turns the port's read notifier off). Any other error only when the device has hung
// up as well: a read or write that fails on a live port (a busy device, a transfer cut short) says
// nothing of the next one. On Linux a hang-up is the terminal's own POLLHUP, whatever error Qt made
// of the failed call (often a read error with a stale errno). Windows has no such flag, and there
// the error itself tells: Wine reports a vanished pseudo-terminal as a broken pipe, which Qt calls
// an unknown error, and after it the port's pending read is never started again.
bool portLost(QSerialPort::SerialPortError error, bool hungUp);

// Hands everything written so far to the system and waits until the system has sent it: the
// line rate must not change (closing puts back the one found at opening) while bytes are still
// on their way. False when the port failed meanwhile.
bool drainOutput(QSerialPort &port);

// Bytes written to the port that have not left the computer yet: those in the port's own buffer,
// and those in the system's output queue where the system tells (Linux; on Windows the drain waits
// for them).
qint64 unsentBytes(QSerialPort &port);

} // namespace serialports
