#include "commandline.h"

#include "commands.h"
#include "exitstatus.h"
#include "messages.h"
#include "paths.h"
#include "registers.h"

#include <QCommandLineParser>
#include <map>

namespace tmx9ctl {

namespace {

enum OptionId : unsigned {
    Port = 1u << 0,
    Baud = 1u << 1,
    Json = 1u << 2,
    Out = 1u << 3,
    NoVerify = 1u << 4,
    TraceFile = 1u << 5,
    BackupDir = 1u << 6,
    NoBackup = 1u << 7,
    FromTrace = 1u << 8,
};

constexpr int kHelpColumn = 29;       // where a command's description starts
constexpr int kOptionHelpColumn = 16; // where an option's description starts

QString indentedLines(const char *lines, int column)
{
    return QString::fromUtf8(lines).replace(QLatin1Char('\n'),
                                            QLatin1Char('\n') + QString(column, QLatin1Char(' ')));
}

// "  NAME   First line\n" when the name fits before the column, else the name on a line of its own.
QString helpEntry(const QString &name, const char *help, int column)
{
    QString head = QStringLiteral("  ") + name;
    head += head.size() + 2 <= column ? QString(column - head.size(), QLatin1Char(' '))
                                      : QLatin1Char('\n') + QString(column, QLatin1Char(' '));
    return head + indentedLines(help, column) + QLatin1Char('\n');
}

QString optionUsage(const OptionSpec &option)
{
    QString usage = QStringLiteral("--") + QLatin1String(option.name);
    if (option.valueName)
        usage += QLatin1Char(' ') + QLatin1String(option.valueName);
    return usage;
}

} // namespace

const QStringList &baudChoices()
{
    // Computer-side rates the window offers, and the search for the radio's rate.
    static const QStringList rates = {QStringLiteral("115200"), QStringLiteral("4800"),
                                      QStringLiteral("9600"),   QStringLiteral("19200"),
                                      QStringLiteral("38400"),  QStringLiteral("auto")};
    return rates;
}

const QVector<OptionSpec> &optionTable()
{
    static const QVector<OptionSpec> options = {
        {Port, "port", "PORT",
         "Serial port, a path (/dev/ttyUSB0) or a name (ttyUSB0). Repeat it to\n"
         "configure several radios, all at the same time."},
        {Baud, "baud", "RATE",
         "Computer-side baud rate: 115200 (default), 4800, 9600, 19200 or 38400;\n"
         "auto: find the radio's rate first, as detect does."},
        {Json, "json", nullptr,
         "read: print the configuration as a JSON profile (one port);\n"
         "detect: print a JSON array, one object per port."},
        {Out, "out", "FILE", "read: save the JSON profile to FILE (one port)."},
        {NoVerify, "no-verify", nullptr, "write, default: do not read back and compare."},
        {BackupDir, "backup-dir", "DIR",
         "write, default: keep the backups in DIR instead of the user's\n"
         "tmx9-config/backups folder."},
        {NoBackup, "no-backup", nullptr,
         "write, default: write without reading and keeping what the radio\n"
         "holds first."},
        {FromTrace, "from-trace", "LOG",
         "read: the last configuration read in LOG, the window's traffic log or a\n"
         "--trace file, instead of a radio; opens no port. --port picks one of\n"
         "the ports the file holds."},
        {TraceFile, "trace", "FILE",
         "Log the traffic of both directions to FILE: time, bytes in hex, summary."},
    };
    return options;
}

const QVector<CommandSpec> &commandTable()
{
    static const QVector<CommandSpec> commands = {
        {"ports", "", "List the serial ports that can be opened now.", 0, PortRule::None, false,
         portsCommand},
        {"read", "--port PORT [--json | --out FILE]",
         "Read the configuration; print it as a table, as a JSON\n"
         "profile (--json), or save the profile to FILE (--out).\n"
         "--from-trace LOG instead of --port: the last one read in a log.",
         Port | Baud | Json | Out | FromTrace, PortRule::Required, false, readCommand},
        {"write", "--port PORT PROFILE",
         "Check the whole profile (nothing is sent if anything is\n"
         "wrong), keep a backup of what the radio holds, write the\n"
         "profile, read it back and compare field by field.\n"
         "A new serial rate is sent last, on its own, once the rest\n"
         "is written and verified at the rate the radio speaks.",
         Port | Baud | NoVerify | BackupDir | NoBackup, PortRule::Required, true, writeCommand},
        {"default", "--port PORT",
         "Keep a backup, write the default configuration, read it\n"
         "back and compare.",
         Port | Baud | NoVerify | BackupDir | NoBackup, PortRule::Required, false, defaultCommand},
        {"check", "--port PORT PROFILE",
         "Read the configuration and compare it with the profile\n"
         "field by field; nothing is written.",
         Port | Baud, PortRule::Required, true, checkCommand},
        {"detect", "[--port PORT] [--json]",
         "Look for a radio on each port (all that can be opened, or\n"
         "those given) at %1 baud in turn,\n"
         "%2 ms each; print the rate, serial number, firmware\n"
         "version and register count of each radio found.",
         Port | Json, PortRule::Optional, false, detectCommand},
    };
    return commands;
}

unsigned traceOption()
{
    return TraceFile;
}

const CommandSpec *findCommand(const QString &name)
{
    for (const CommandSpec &command : commandTable()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QString helpText()
{
    QString text = QStringLiteral("Usage: tmx9ctl COMMAND [OPTIONS]\n\n"
                                  "Configures TMX9 radios over a serial line.\n\n"
                                  "Commands:\n");
    for (const CommandSpec &command : commandTable()) {
        QString name = QLatin1String(command.name);
        if (*command.synopsis)
            name += QLatin1Char(' ') + QLatin1String(command.synopsis);
        text += helpEntry(name, command.help, kHelpColumn);
    }
    text += QStringLiteral("\nOptions:\n");
    for (const OptionSpec &option : optionTable())
        text += helpEntry(optionUsage(option), option.help, kOptionHelpColumn);
    text += QStringLiteral("  -h, --help    Show this help.\n"
                           "  --version     Show the version.\n"
                           "\n"
                           "Exit status:\n");
    return text.arg(searchRatesText()).arg(tmx9::kSearchWaitMs) + exitStatusHelp();
}

std::optional<Options> parseCommandLine(const QStringList &arguments, QString *error, QString *text)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    parser.addOptions({help, version});
    std::map<unsigned, QCommandLineOption> given;
    for (const OptionSpec &spec : optionTable()) {
        const QCommandLineOption option(QLatin1String(spec.name), QString(),
                                        spec.valueName ? QLatin1String(spec.valueName) : QString());
        parser.addOption(option);
        given.emplace(spec.id, option);
    }
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        *text = helpText();
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        *text = QStringLiteral("tmx9ctl %1\n").arg(QStringLiteral(PROJECT_VERSION));
        return std::nullopt;
    }
    const auto isSet = [&](unsigned id) { return parser.isSet(given.at(id)); };
    const auto value = [&](unsigned id) { return parser.value(given.at(id)); };

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    Options options;
    options.command = positional.takeFirst();
    const CommandSpec *command = findCommand(options.command);
    if (!command) {
        QStringList names;
        for (const CommandSpec &spec : commandTable())
            names << QLatin1String(spec.name);
        *error = QStringLiteral("unknown command %1; the commands are %2")
                     .arg(quoted(options.command), names.join(QStringLiteral(", ")));
        return std::nullopt;
    }

    // Options that mean nothing to the command are refused rather than ignored.
    for (const OptionSpec &spec : optionTable()) {
        if (isSet(spec.id) && !(command->options & spec.id) && spec.id != TraceFile) {
            *error = QStringLiteral("--%1 does not apply to %2")
                         .arg(QLatin1String(spec.name), options.command);
            return std::nullopt;
        }
    }
    options.ports = parser.values(given.at(Port));
    options.json = isSet(Json);
    options.outPath = value(Out);
    options.verify = !isSet(NoVerify);
    options.tracePath = value(TraceFile);
    options.backup = !isSet(NoBackup);
    options.backupDir = value(BackupDir);
    options.fromTrace = value(FromTrace);
    const bool fromTrace = isSet(FromTrace);

    if (isSet(Baud)) {
        if (fromTrace) {
            *error =
                QStringLiteral("--baud does not apply to %1 --from-trace").arg(options.command);
            return std::nullopt;
        }
        if (!baudChoices().contains(value(Baud))) {
            *error = QStringLiteral("--baud: %1 is not one of %2")
                         .arg(quoted(value(Baud)), baudChoices().join(QStringLiteral(", ")));
            return std::nullopt;
        }
        options.autoBaud = value(Baud) == QLatin1String("auto");
        if (!options.autoBaud)
            options.baud = value(Baud).toInt();
    }
    for (const OptionSpec &spec : optionTable()) {
        if (spec.valueName && isSet(spec.id) && value(spec.id).isEmpty() && spec.id != Port) {
            *error = QStringLiteral("--%1 needs a %2")
                         .arg(QLatin1String(spec.name), spec.id == BackupDir
                                                            ? QStringLiteral("folder name")
                                                            : QStringLiteral("file name"));
            return std::nullopt;
        }
    }
    if (isSet(BackupDir) && isSet(NoBackup)) {
        *error = QStringLiteral("--backup-dir and --no-backup exclude each other");
        return std::nullopt;
    }

    if (command->ports == PortRule::Optional && options.ports.isEmpty())
        options.portsNamed = false;
    else if (command->ports == PortRule::Required && options.ports.isEmpty() && !fromTrace) {
        *error = QStringLiteral("%1 needs --port PORT").arg(options.command);
        return std::nullopt;
    }
    if (fromTrace && options.ports.size() > 1) {
        *error = QStringLiteral("--from-trace takes one --port: the port of the log to read");
        return std::nullopt;
    }
    if (!fromTrace && !identifyPorts(&options, error))
        return std::nullopt;
    if (options.json && isSet(Out)) {
        *error = QStringLiteral("--json and --out exclude each other");
        return std::nullopt;
    }
    if (command->ports != PortRule::Optional && (options.json || isSet(Out)) &&
        options.ports.size() > 1) {
        *error = QStringLiteral("--json and --out take one --port: one profile is one radio");
        return std::nullopt;
    }
    if (command->profile) {
        if (positional.size() != 1) {
            *error = QStringLiteral("%1 needs exactly one profile file").arg(options.command);
            return std::nullopt;
        }
        options.profilePath = positional.takeFirst();
    }
    if (!positional.isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(quoted(positional.constFirst()));
        return std::nullopt;
    }
    // Before anything is opened: no output may be written over an input.
    if (!checkOutputs(options, error))
        return std::nullopt;
    return options;
}

} // namespace tmx9ctl
