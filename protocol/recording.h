#pragma once

#include "describe.h"
#include "receiver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// What a trace or a window's traffic log says about the radio at its other end.
namespace tmx9 {

// A window's log stops at 1 MiB; a tmx9ctl trace has no cap, and a long run of it (reads of
// several radios, a write and its verification) stays far below this. More is not a trace of
// reads: reading stops there rather than taking the machine's memory.
inline constexpr qint64 kMaxTraceBytes = 16 << 20;

// One traffic line of a trace or a window log, with the port it belongs to: its tag when it has
// one, else the port of the last note before it that says a port was opened ("-- opened PORT at
// N baud..." or "-- TAG: opened PORT at ..."); empty when no such note came before it.
struct PortEntry
{
    TraceEntry entry;
    QString port;
};
// Lines end in LF or CR LF; notes and anything not laid out as a traffic line are skipped.
QVector<PortEntry> parseTrace(const QByteArray &text);

// The body of a response of `kind` (Parameters or ChannelTable) when `received`, a line from the
// radio as a trace keeps it, is all of one: its only CR LF at the end, and the whole body its
// length byte says (140 bytes for a channel table) before its checksum. nullopt otherwise.
std::optional<QByteArray> responseBody(const QByteArray &received, LineKind kind);

// Ports that have at least one complete parameter response from the radio, in the order they
// first appear. Lines that no port was named for have the empty port, which is not null.
QStringList recordedPorts(const QVector<PortEntry> &entries);

struct Recording
{
    QByteArray parameterResponse;    // as received, CR LF included
    QByteArray channelTableResponse; // likewise; empty when that port has none
    bool channelTableFirst = false;  // the radio sent the channel table before the parameters
    QString port;                    // empty when the trace never named one
};
// The radio as the trace last saw it: the last complete parameter response (on `port` when it is
// not null, else the port of the last complete parameter response of the whole trace) and the last
// complete channel table response of that port. nullopt with `missing` set to what is missing,
// e.g. "no complete parameter response from the radio" or "no complete parameter response from
// the radio on PORT".
std::optional<Recording> lastRecording(const QVector<PortEntry> &entries, const QString &port,
                                       QString *missing);

} // namespace tmx9
