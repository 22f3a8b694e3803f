#pragma once

// The command line: one table of commands and one of options. --help, the usage errors, the
// dispatch and the shell completion are all made from them.

#include "options.h"
#include "reporter.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tmx9ctl {

enum class PortRule {
    None,     // takes no --port
    Required, // at least one --port
    Optional, // none: every port that can be opened
};

struct OptionSpec
{
    unsigned id;           // one bit
    const char *name;      // without the dashes
    const char *valueName; // null: a flag
    const char *help;      // --help's lines, already broken
};

struct CommandSpec
{
    const char *name;
    const char *synopsis; // what follows the name in --help
    const char *help;     // --help's lines, already broken
    unsigned options;     // the OptionSpec ids it takes (--trace: every command)
    PortRule ports;
    bool profile; // takes exactly one profile file
    int (*run)(const Options &options, Reporter &reporter);
};

const QVector<OptionSpec> &optionTable();
// The id of --trace, which every command takes.
unsigned traceOption();
// --baud's values: the computer-side rates, and auto.
const QStringList &baudChoices();
const QVector<CommandSpec> &commandTable();
const CommandSpec *findCommand(const QString &name);

// Parses and checks the command line. nullopt with `error` set for a usage error, or with
// `error` empty when help or the version was asked for (then `text` holds it).
std::optional<Options> parseCommandLine(const QStringList &arguments, QString *error,
                                        QString *text);

QString helpText();

// A bash completion for tmx9ctl (completion.cpp): its commands, each command's options, the rates
// of --baud, files for the options that take one, and serial devices for --port.
QString bashCompletion();

} // namespace tmx9ctl
