#include "linerate.h"

// The kernel's own termios2 carries the rate as a number, custom rates included; it cannot
// share a translation unit with the C library's <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tmx9sim {

int slaveSendRate(int masterFd)
{
    termios2 settings{};
    if (masterFd < 0 || ::ioctl(masterFd, TCGETS2, &settings) != 0)
        return 0;
    return int(settings.c_ospeed);
}

} // namespace tmx9sim
