#pragma once

#include "faults.h"
#include "radiostate.h"

#include <QString>
#include <optional>

class QCommandLineParser;

namespace tmx9sim {

class SimRadio;

// What the tmx9-sim command line asks for.
struct SimOptions
{
    QString statePath; // with replayPath: where the state is saved
    QString replayPath;
    std::optional<Firmware> firmware;
    std::optional<QString> serialNumber;
    std::optional<QString> firmwareVersion;
    bool channelTableFirst = false;
    bool commandReplies = true;
    bool anyBaud = false;
    Faults faults;
    QString logPath; // empty: standard error
    bool quiet = false;
    QString linkPath;
};

// Declares every option, with its help text.
void addSimOptions(QCommandLineParser &parser);

// Reads the options of an already parsed command line. False with a message when a value is
// not usable.
bool readSimOptions(const QCommandLineParser &parser, SimOptions *options, QString *error);

// State file (or the trace to replay, then saved to the state file) first, then the options that
// override it, then behaviour and faults.
bool applySimOptions(const SimOptions &options, SimRadio &radio, QString *error);

} // namespace tmx9sim
