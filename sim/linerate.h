#pragma once

namespace tmx9sim {

// The rate, in bits per second, at which the program holding the slave side of a pseudo-terminal
// sends: on Linux the master reports the slave's settings. 0 when it cannot be read.
int slaveSendRate(int masterFd);

} // namespace tmx9sim
