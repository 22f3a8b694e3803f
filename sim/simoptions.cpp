#include "simoptions.h"

#include "fileroles.h"
#include "replay.h"
#include "simradio.h"
#include "statefile.h"

#include <QCommandLineParser>

namespace tmx9sim {

namespace {

const QString kFirmware = QStringLiteral("firmware");
const QString kSerialNumber = QStringLiteral("serial-number");
const QString kFirmwareVersion = QStringLiteral("firmware-version");
const QString kChannelTableFirst = QStringLiteral("channel-table-first");
const QString kQuietCommands = QStringLiteral("quiet-commands");
const QString kState = QStringLiteral("state");
const QString kSaveState = QStringLiteral("save-state");
const QString kReplay = QStringLiteral("replay");
const QString kAnyBaud = QStringLiteral("any-baud");
const QString kSilent = QStringLiteral("silent");
const QString kNoAck = QStringLiteral("no-ack");
const QString kAckDelay = QStringLiteral("ack-delay");
const QString kFragment = QStringLiteral("fragment");
const QString kFragmentGap = QStringLiteral("fragment-gap");
const QString kStray = QStringLiteral("stray");
const QString kBadChecksum = QStringLiteral("bad-checksum");
const QString kCrLfInBody = QStringLiteral("crlf-in-body");
const QString kCloseAfterBytes = QStringLiteral("close-after-bytes");
const QString kCloseOnWrite = QStringLiteral("close-on-write");
const QString kPace = QStringLiteral("pace");
const QString kLog = QStringLiteral("log");
const QString kQuiet = QStringLiteral("quiet");
const QString kLink = QStringLiteral("link");

bool readCount(const QCommandLineParser &parser, const QString &name, int minimum, int *target,
               QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < minimum) {
        *error = QStringLiteral("--%1: expected a whole number of at least %2, got \"%3\"")
                     .arg(name)
                     .arg(minimum)
                     .arg(parser.value(name));
        return false;
    }
    *target = value;
    return true;
}

} // namespace

void addSimOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {kFirmware,
         QStringLiteral("Radio generation: \"old\" (68 registers, LoRa only) or \"new\" "
                        "(69 registers with modulation and FSK air baud rate). "
                        "Default: new."),
         QStringLiteral("old|new")},
        {kSerialNumber,
         QStringLiteral("Serial number (registers 35-40, up to 6 bytes). Default: SN0001."),
         QStringLiteral("TEXT")},
        {kFirmwareVersion,
         QStringLiteral("Firmware version text (registers 60-64, up to 5 bytes). Default: V2.10."),
         QStringLiteral("TEXT")},
        {kChannelTableFirst,
         QStringLiteral("Answer a read request with the channel table response first "
                        "(default: the parameter response first).")},
        {kQuietCommands, QStringLiteral("Send no OK/ERROR lines after text commands.")},
        {kState,
         QStringLiteral("Start from the radio state in this JSON file (keys: firmware, "
                        "parameterBlock, channelTable, settings, serialNumber, "
                        "firmwareVersion). Other options override it. With --replay it means "
                        "--save-state instead, as in earlier versions; not with both."),
         QStringLiteral("FILE")},
        {kSaveState,
         QStringLiteral("Save the radio's state to this JSON file, in the form --state reads, at "
                        "start and at exit (with what writes changed)."),
         QStringLiteral("FILE")},
        {kReplay,
         QStringLiteral("Be the radio a trace recorded (a tmx9ctl --trace file or the "
                        "configurator's traffic log): registers and channel table from the last "
                        "complete parameter and channel table responses in it, and read requests "
                        "answered with exactly those bytes until the state changes. In a trace "
                        "of several ports, the port of that parameter response."),
         QStringLiteral("TRACE")},
        {kAnyBaud,
         QStringLiteral("Hear the program at whatever baud rate it set. Without it the radio "
                        "hears only its own serial rate (115200 unless changed); bytes sent at "
                        "another rate are noise and get no answer.")},
        {kSilent, QStringLiteral("Fault: read everything, apply nothing, answer nothing.")},
        {kNoAck, QStringLiteral("Fault: apply write frames without acknowledging them.")},
        {kAckDelay, QStringLiteral("Fault: send each write acknowledgement MS milliseconds late."),
         QStringLiteral("MS")},
        {kFragment, QStringLiteral("Fault: send everything in pieces of BYTES bytes."),
         QStringLiteral("BYTES")},
        {kFragmentGap,
         QStringLiteral("Pause of MS milliseconds before each piece (with --fragment)."),
         QStringLiteral("MS")},
        {kStray,
         QStringLiteral("Fault: send these bytes (hex, e.g. 55AA) just before every frame the "
                        "radio sends."),
         QStringLiteral("HEX")},
        {kBadChecksum, QStringLiteral("Fault: every frame the radio sends has a wrong checksum.")},
        {kCrLfInBody,
         QStringLiteral("Fault: put CR LF inside the body of both read responses (registers "
                        "20-21; the start of channel record 6).")},
        {kCloseAfterBytes,
         QStringLiteral("Fault: close the line once N bytes have been sent (in the middle of a "
                        "response when N falls there)."),
         QStringLiteral("N")},
        {kCloseOnWrite, QStringLiteral("Fault: close the line when the Nth write frame arrives."),
         QStringLiteral("N")},
        {kPace,
         QStringLiteral("Send no faster than a serial line at BAUD (10 bits a byte), e.g. 9600."),
         QStringLiteral("BAUD")},
        {kLog,
         QStringLiteral("Write the traffic log to FILE instead of standard error. Each line: "
                        "\"->\" (to the radio) or \"<-\" (from the radio), milliseconds since "
                        "start, the bytes in hex, a summary."),
         QStringLiteral("FILE")},
        {kQuiet, QStringLiteral("Write no traffic log.")},
        {kLink,
         QStringLiteral("Also make PATH a symbolic link to the pseudo-terminal, a fixed name to "
                        "give other programs; removed on exit."),
         QStringLiteral("PATH")},
    });
}

bool readSimOptions(const QCommandLineParser &parser, SimOptions *options, QString *error)
{
    SimOptions result;
    if (parser.isSet(kFirmware)) {
        const QString value = parser.value(kFirmware);
        if (value == QLatin1String("old"))
            result.firmware = Firmware::Old;
        else if (value == QLatin1String("new"))
            result.firmware = Firmware::New;
        else {
            *error = QStringLiteral("--firmware: expected old or new, got \"%1\"").arg(value);
            return false;
        }
    }
    if (parser.isSet(kSerialNumber))
        result.serialNumber = parser.value(kSerialNumber);
    if (parser.isSet(kFirmwareVersion))
        result.firmwareVersion = parser.value(kFirmwareVersion);
    result.statePath = parser.value(kState);
    result.saveStatePath = parser.value(kSaveState);
    result.replayPath = parser.value(kReplay);
    result.channelTableFirst = parser.isSet(kChannelTableFirst);
    result.commandReplies = !parser.isSet(kQuietCommands);
    result.anyBaud = parser.isSet(kAnyBaud);

    Faults &faults = result.faults;
    faults.silent = parser.isSet(kSilent);
    faults.noAck = parser.isSet(kNoAck);
    faults.badChecksum = parser.isSet(kBadChecksum);
    faults.crLfInParameters = faults.crLfInChannelTable = parser.isSet(kCrLfInBody);
    if (!readCount(parser, kAckDelay, 0, &faults.ackDelayMs, error) ||
        !readCount(parser, kFragment, 1, &faults.fragmentBytes, error) ||
        !readCount(parser, kFragmentGap, 0, &faults.fragmentGapMs, error) ||
        !readCount(parser, kCloseAfterBytes, 0, &faults.closeAfterBytes, error) ||
        !readCount(parser, kCloseOnWrite, 1, &faults.closeOnWriteFrame, error) ||
        !readCount(parser, kPace, 1, &faults.paceBaud, error))
        return false;
    if (parser.isSet(kStray)) {
        const QString hex = parser.value(kStray);
        faults.strayBytes = QByteArray::fromHex(hex.toLatin1());
        if (faults.strayBytes.isEmpty() || faults.strayBytes.size() * 2 != hex.size() ||
            faults.strayBytes.toHex().compare(hex.toLatin1(), Qt::CaseInsensitive) != 0) {
            *error =
                QStringLiteral("--stray: expected hex bytes such as 55AA, got \"%1\"").arg(hex);
            return false;
        }
    }

    result.logPath = parser.value(kLog);
    result.quiet = parser.isSet(kQuiet);
    result.linkPath = parser.value(kLink);
    *options = result;
    return true;
}

bool applySimOptions(const SimOptions &options, SimRadio &radio, QString *error)
{
    if (options.stateSavedAsState() && !options.saveStatePath.isEmpty()) {
        *error = QStringLiteral("--state with --replay is where the state is saved, as "
                                "--save-state says: give only --save-state");
        return false;
    }
    QVector<OptionPath> paths;
    const auto add = [&paths](const QString &option, const QString &path, FileRole role) {
        if (!path.isEmpty())
            paths.append({option, path, role});
    };
    add(QStringLiteral("--replay"), options.replayPath, FileRole::Read);
    add(QStringLiteral("--state"), options.stateInput(), FileRole::Read);
    add(options.saveStatePath.isEmpty() ? QStringLiteral("--state")
                                        : QStringLiteral("--save-state"),
        options.stateOutput(), FileRole::Written);
    add(QStringLiteral("--log"), options.quiet ? QString() : options.logPath, FileRole::Written);
    add(QStringLiteral("--link"), options.linkPath, FileRole::Link);
    const QString conflict = sameFileConflict(paths);
    if (!conflict.isEmpty()) {
        *error = conflict;
        return false;
    }

    RadioState state = radio.state();
    Recording recording;
    if (!options.replayPath.isEmpty()) {
        if (!loadRecording(options.replayPath, &recording, error))
            return false;
        state = recording.state();
        // What the recorded responses describe; an option below that changes it ends them.
        radio.setState(state);
        radio.setRecordedResponses(recording.parameterResponse, recording.channelTableResponse);
    } else if (!options.stateInput().isEmpty() &&
               !loadStateFile(options.stateInput(), &state, error)) {
        return false;
    }
    if (options.firmware)
        state.setFirmware(*options.firmware);
    if (options.serialNumber)
        state.setSerialNumber(*options.serialNumber);
    if (options.firmwareVersion)
        state.setFirmwareVersion(*options.firmwareVersion);
    radio.setState(state);
    radio.setChannelTableFirst(options.channelTableFirst || recording.channelTableFirst);
    radio.setCommandReplies(options.commandReplies);
    radio.setAnyBaud(options.anyBaud);
    radio.setFaults(options.faults);
    return options.stateOutput().isEmpty() ||
           saveStateFile(options.stateOutput(), radio.state(), error);
}

} // namespace tmx9sim
