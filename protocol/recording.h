#pragma once
// TEMPORARY stand-in until the sim branch lands.
#include "describe.h"
#include <QStringList>
#include <QVector>
#include <optional>
namespace tmx9 {
inline constexpr qint64 kMaxTraceBytes = 64 << 20;
struct PortEntry { TraceEntry entry; QString port; };
QVector<PortEntry> parseTrace(const QByteArray &text);
QStringList recordedPorts(const QVector<PortEntry> &entries);
struct Recording {
    QByteArray parameterResponse;
    QByteArray channelTableResponse;
    bool channelTableFirst = false;
    QString port;
};
std::optional<Recording> lastRecording(const QVector<PortEntry> &entries, const QString &port, QString *missing);
}
