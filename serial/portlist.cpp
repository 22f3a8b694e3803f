#include "portlist.h"

#include <QSerialPort>
#include <QSerialPortInfo>

namespace serialports {
namespace {

std::function<QStringList()> &source()
{
    static std::function<QStringList()> current;
    return current;
}

} // namespace

QStringList candidates()
{
    if (source())
        return source()();
    QStringList locations;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        locations << info.systemLocation();
    return locations;
}

void setCandidateSource(std::function<QStringList()> newSource)
{
    source() = std::move(newSource);
}

QStringList openablePorts(QSerialPort &port)
{
    QStringList names;
    for (const QString &location : candidates()) {
        port.setPortName(location);
        if (!port.open(QIODevice::ReadWrite))
            continue;
        names << port.portName();
        port.close();
    }
    return names;
}

} // namespace serialports
