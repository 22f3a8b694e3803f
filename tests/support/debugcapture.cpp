#include "debugcapture.h"

namespace {

QStringList captured;

void record(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        captured << message;
}

} // namespace

DebugCapture::DebugCapture()
{
    captured.clear();
    previous = qInstallMessageHandler(record);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(previous);
}

QStringList DebugCapture::debugLines() const
{
    return captured;
}

void DebugCapture::clear()
{
    captured.clear();
}
