#include "exitstatus.h"

namespace tmx9ctl {

QString exitStatusHelp()
{
    return QStringLiteral(
        "  0  success: every radio read, or written and acknowledged (and verified)\n"
        "  1  usage: bad command line, or the trace or output file cannot be written\n"
        "  2  the profile or trace cannot be read or is invalid; nothing was sent\n"
        "  3  a port cannot be opened, or failed during the exchange\n"
        "  4  a radio did not answer within 3000 ms; detect, --baud auto: at no rate\n"
        "  5  a radio's answer cannot be decoded\n"
        "  6  a radio did not acknowledge the write\n"
        "  7  a radio differs from the write it acknowledged, or (check) from the profile\n"
        "  8  a radio could not be read or backed up before the write; nothing was sent to it\n"
        "With several ports, the status is that of the first radio that failed.\n");
}

} // namespace tmx9ctl
