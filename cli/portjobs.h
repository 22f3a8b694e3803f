#pragma once

// One port's work: free functions of (options, trace, port). They may run on a thread of their
// own, so they reach the radio and the trace, never the output: what they find goes back in the
// PortResult, which the command reports on its own thread.

#include "configuration.h"
#include "options.h"
#include "plans.h"
#include "reporter.h"

#include <QString>
#include <optional>

namespace tmx9ctl {

class RadioLink;
class Trace;

// What detect learnt of a radio from its parameter response.
struct Detected
{
    int baud = 0;
    QString serialNumber;
    QString firmwareVersion;
    int registers = 0;
};

struct PortResult
{
    Outcome outcome;                            // Success: the message is the result line
    std::optional<Configuration> configuration; // read, check
    std::optional<Detected> detected;           // detect
    QString backup;                             // write, default: the backup's line, if any
};

// A configuration read back, or why not.
struct ReadResult
{
    Outcome outcome;
    std::optional<Configuration> configuration;
};

// Opens the port at the rate asked for, or with --baud auto finds the radio's rate first (then
// `found` holds what the radio answered there). The failure to report, or nullopt with the link
// ready at link.baud().
struct Found
{
    QByteArray parameters;
    std::optional<QByteArray> channelTable;
};
std::optional<Outcome> connectRadio(const Options &options, RadioLink &link, const QString &port,
                                    std::optional<Found> *found = nullptr);

// Sends the read request at the link's rate and decodes the answer.
ReadResult readBack(RadioLink &link, int timeoutMs);

PortResult readOne(const Options &options, Trace &trace, const QString &port, const QString &tag);
PortResult detectOne(const Options &options, Trace &trace, const QString &port, const QString &tag);

// What write and default send, and what the radio must then report.
struct WriteJob
{
    tmx9::TransmissionPlan plan;
    tmx9::RadioSettings expected;
};
PortResult writeOne(const Options &options, Trace &trace, const QString &port, const QString &tag,
                    const WriteJob &job);

} // namespace tmx9ctl
