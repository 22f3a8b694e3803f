#pragma once

class QSerialPort;

namespace serialports {

// True when the device behind an open port is gone for good (a pulled cable, a closed
// pseudo-terminal), not merely busy. Asked after the port reported an error; the window and
// tmx9ctl both take it as a lost port.
bool deviceHungUp(QSerialPort &port);

// Hands everything written so far to the system and waits until the system has sent it: the
// line rate must not change (closing puts back the one found at opening) while bytes are still
// on their way. False when the port failed meanwhile.
bool drainOutput(QSerialPort &port);

} // namespace serialports
