#pragma once

#include "options.h"

#include <QString>

namespace tmx9ctl {

// What a port name names on this machine, whatever its spelling: its system location ("ttyUSB0"
// is /dev/ttyUSB0, "COM3" is \\.\COM3) with links, "." and "//" resolved. Two ports with one
// identity are one device.
QString portIdentity(const QString &port);

// What a file path names: its canonical path when it exists, else its folder's canonical path
// and its name.
QString fileIdentity(const QString &path);

// Fills options->portIds. False with a usage error for an empty port name, or a port given
// twice, however spelt: two threads would compete for one line.
bool identifyPorts(Options *options, QString *error);

// False with a usage error when an output (--trace, --out) names an input (the profile,
// --from-trace, a port) or the other output: it would be written over, or sent to a radio.
bool checkOutputs(const Options &options, QString *error);

} // namespace tmx9ctl
