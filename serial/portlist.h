#pragma once

#include <QStringList>
#include <functional>

class QSerialPort;

namespace serialports {

// System locations of the serial ports the machine reports (QSerialPortInfo::availablePorts by
// default). The list is only a set of candidates: only those that can be opened are offered.
QStringList candidates();

// Replaces where candidates() comes from; an empty function restores the machine's list. Tests use
// it so that no real port of the machine is ever opened, and to offer pseudo-terminals, which the
// machine's list never reports.
void setCandidateSource(std::function<QStringList()> source);

// Port names of the candidates that `port` can open now, in the order of candidates(): each is
// opened read-write and closed again. A port another program holds is left out silently.
QStringList openablePorts(QSerialPort &port);

} // namespace serialports
