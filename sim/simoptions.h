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
    QString statePath;     // read at start; with replayPath, where the state is saved instead
    QString saveStatePath; // where the state is saved, at start and at exit
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

    // The state file read at start; none with replayPath.
    QString stateInput() const { return replayPath.isEmpty() ? statePath : QString(); }
    // --state with --replay: the spelling of --save-state that earlier versions knew.
    bool stateSavedAsState() const { return !replayPath.isEmpty() && !statePath.isEmpty(); }
    // Where the state is saved; empty: nowhere.
    QString stateOutput() const
    {
        if (!saveStatePath.isEmpty())
            return saveStatePath;
        return stateSavedAsState() ? statePath : QString();
    }
};

// Declares every option, with its help text.
void addSimOptions(QCommandLineParser &parser);

// Reads the options of an already parsed command line. False with a message when a value is
// not usable.
bool readSimOptions(const QCommandLineParser &parser, SimOptions *options, QString *error);

// Refuses any two paths that lead to one file that one of them writes, before anything is read;
// then the state file (or the trace to replay) first, the options that override it, behaviour and
// faults, and last the state is saved where stateOutput() says.
bool applySimOptions(const SimOptions &options, SimRadio &radio, QString *error);

} // namespace tmx9sim
