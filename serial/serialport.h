#pragma once

#include <QStringList>
#include <functional>

namespace serialports {

// System locations of the serial ports the machine reports (QSerialPortInfo::availablePorts by
// default). The list is only a set of candidates: the window keeps those it can open.
QStringList candidates();

// Replaces where candidates() comes from; an empty function restores the machine's list. Tests use
// it so that no real port of the machine is ever opened, and to offer pseudo-terminals, which the
// machine's list never reports.
void setCandidateSource(std::function<QStringList()> source);

} // namespace serialports
