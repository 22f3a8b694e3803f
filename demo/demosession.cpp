#include "demosession.h"

#include "simulatedport.h"

#include <QSerialPort>

namespace tmx9demo {

DemoSession::DemoSession()
{
    // A demo may run for hours: keep the log, not an ever-growing record in memory.
    radio_.setRecordTraffic(false);
}

DemoSession::~DemoSession()
{
    // The window leaves the process-wide port open; it must not outlive the radio's terminal
    // for a later session in the same process.
    window_.reset();
    if (serialPort->isOpen())
        serialPort->close();
}

bool DemoSession::start(QIODevice *log, QString *error)
{
    radio_.setLogDevice(log);
    if (!radio_.start(error))
        return false;
    window_ = std::make_unique<MainWindow>();
    offerSimulatedPort(*window_, radio_.slavePath());
    return true;
}

} // namespace tmx9demo
