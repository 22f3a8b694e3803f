#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tmx9 {

// A short human summary of a line on the wire, in either direction (CR LF optional): "read
// request", "parameter frame", "channel table frame", "parameter response N=69", "channel table
// response", "write ack", "SET FSK", "LOG RADIOINFO", or "unrecognised (N bytes)".
QString describeLine(const QByteArray &line);

enum class Direction {
    ToRadio,   // sent by the tool
    FromRadio, // sent by the radio
};

// One traffic line, as both the simulated radio's log and tmx9ctl's trace write them: "->" for
// bytes to the radio, "<-" for bytes from it, milliseconds with three decimals, the bytes in hex
// and a summary.
//   "->     12.345 ms  24 24 52 49 1B 00 00 0D 0A  read request"
QString formatTraceLine(Direction direction, qint64 timeNs, const QByteArray &bytes,
                        const QString &summary);

// A trace that speaks for several ports at once names the port on each line: "-- tag: text" for a
// note, the traffic line then "  [tag]". An empty tag leaves a line as it is ("-- text").
QString formatTraceNote(const QString &text, const QString &tag = {});
QString tagTraceLine(const QString &line, const QString &tag);

// The summary of bytes from the radio that never formed a line.
QString discardedSummary();

// One traffic line of a trace, read back.
struct TraceEntry
{
    Direction direction;
    qint64 timeNs;
    QByteArray bytes;
    QString summary;
    QString tag; // empty: the trace speaks for one port
};

// nullopt for a note or any line not laid out by formatTraceLine (and tagTraceLine).
std::optional<TraceEntry> parseTraceLine(const QString &line);

} // namespace tmx9
