#pragma once

#include <QStringList>
#include <QtGlobal>

// Records the messages of Qt's debug output while it lives (one capture at a time).
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    QStringList debugLines() const; // QtDebugMsg messages only
    void clear();

private:
    QtMessageHandler previous = nullptr;
};
