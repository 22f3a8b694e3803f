#include "receiver.h"

#include "codes.h"
#include "frames.h"
#include "registers.h"

#include <algorithm>
#include <cstring>

namespace tmx9 {

namespace {

int clampHead(const QByteArray &bytes, int head)
{
    return std::clamp(head, 0, bytes.size());
}

// Index of the first CR of a CR LF pair at or after `from`, or -1.
int findCrLf(const QByteArray &bytes, int from)
{
    const char *data = bytes.constData();
    const int size = bytes.size();
    while (from < size - 1) {
        const void *cr = std::memchr(data + from, '\r', static_cast<size_t>(size - 1 - from));
        if (!cr)
            return -1;
        const int at = static_cast<int>(static_cast<const char *>(cr) - data);
        if (data[at + 1] == '\n')
            return at;
        from = at + 1;
    }
    return -1;
}

// Just past the last CR LF whose CR lies at or after `from`, or -1.
int endOfLastLine(const QByteArray &bytes, int from)
{
    const char *data = bytes.constData();
    for (int at = bytes.size() - 1; at > from; --at) {
        if (data[at] == '\n' && data[at - 1] == '\r')
            return at + 1;
    }
    return -1;
}

// Stands in for a discarded tail. The rest of that line arrives later and must not start with
// "$$" then, or it could pass for a response that the whole line would not have been.
constexpr char kDiscardedTail = '\0';

// The received bytes of bytes[from, to): a stand-in at the front is ours, not the radio's. (A zero
// byte that the radio sent at the start of a line cannot be told from it; it is noise either way.)
QByteArray receivedPart(const QByteArray &bytes, int from, int to)
{
    if (from < to && bytes.at(from) == kDiscardedTail)
        ++from;
    return bytes.mid(from, to - from);
}

unsigned char registerAt(const QByteArray &line, int length, int reg)
{
    return reg < length ? static_cast<unsigned char>(line.at(6 + reg)) : 0x00;
}

// Registers first..last that the response carries, as UTF-8 up to the first zero byte.
QString textRegisters(const QByteArray &line, int length, int first, int last)
{
    const int count = std::min(last + 1, length) - first;
    if (count <= 0)
        return {};
    QByteArray text = line.mid(6 + first, count);
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    return QString::fromUtf8(text);
}

bool endsTable(const QByteArray &record)
{
    // 500.0000 MHz is the one frequency the writer accepts that has none of the leading digits.
    if (record == "5000000")
        return false;
    for (const char digit : {'4', '8', '9', '3', '2'}) {
        if (record.contains(digit))
            return false;
    }
    return true;
}

const QByteArray kChannelTableHeader("$$RI\xB1\x8C", 6);
const QByteArray kParameterHeader("$$RI\xB1", 5);

} // namespace

void appendReceived(QByteArray &bytes, int &head, const QByteArray &chunk, QByteArray *discarded)
{
    if (discarded)
        discarded->clear();
    head = clampHead(bytes, head);
    const int oldSize = bytes.size();
    bytes.append(chunk);

    // A final CR is the start of a terminator whose LF may come with the next chunk, not
    // content: a line that fits the cap must survive being cut between its CR and LF.
    const bool endsWithCr = bytes.endsWith('\r');
    const int terminatorStart = endsWithCr ? 1 : 0;

    // Only the new bytes are searched (with the CR that may pair with their first LF), so a
    // trickle of small chunks stays linear; the older bytes are searched only when they could
    // push the tail over the cap.
    int tail = endOfLastLine(bytes, std::max(head, oldSize - 1));
    if (tail < 0) {
        if (bytes.size() - head - terminatorStart <= kMaxPendingBytes)
            return;
        tail = std::max(head, endOfLastLine(bytes, head));
    }
    if (bytes.size() - tail - terminatorStart <= kMaxPendingBytes)
        return;

    if (discarded)
        *discarded = receivedPart(bytes, tail, bytes.size() - terminatorStart);
    bytes.truncate(tail);
    bytes.append(kDiscardedTail);
    if (endsWithCr)
        bytes.append('\r');
}

std::optional<QByteArray> takeLine(const QByteArray &bytes, int &head)
{
    head = clampHead(bytes, head);
    const int end = findCrLf(bytes, head);
    if (end < 0)
        return std::nullopt;
    QByteArray line = bytes.mid(head, end - head);
    head = end + 2;
    return line;
}

void settle(QByteArray &bytes, int &head)
{
    head = clampHead(bytes, head);
    bytes.remove(0, head);
    head = 0;
}

QByteArray dropUnterminated(QByteArray &bytes, int &head)
{
    head = clampHead(bytes, head);
    const QByteArray received = receivedPart(bytes, head, bytes.size());
    bytes.clear();
    head = 0;
    return received;
}

LineKind classify(const QByteArray &line)
{
    // The channel table pattern contains the parameter pattern, so it is tested first.
    if (line.contains(kChannelTableHeader))
        return line.startsWith("$$") ? LineKind::ChannelTable : LineKind::Dropped;
    if (line.contains(kParameterHeader))
        return line.startsWith("$$") ? LineKind::Parameters : LineKind::Dropped;
    if (line.contains(kWriteHeader))
        return LineKind::WriteAck;
    return LineKind::Dropped;
}

int declaredLength(const QByteArray &line)
{
    if (line.size() < 6)
        return 0;
    return static_cast<unsigned char>(line.at(5));
}

std::optional<ParameterReport> decodeParameters(const QByteArray &line)
{
    const int length = declaredLength(line);
    // Header, body and checksum must all be there.
    if (line.size() <= length + 6)
        return std::nullopt;

    const auto at = [&](int number) { return registerAt(line, length, number); };

    ParameterReport report;
    report.firmware = textRegisters(line, length, reg::kFirmwareVersion,
                                    reg::kFirmwareVersion + reg::kFirmwareVersionLength - 1);
    report.serialNumber = textRegisters(line, length, reg::kSerialNumber,
                                        reg::kSerialNumber + reg::kSerialNumberLength - 1);
    if (const unsigned char channel = at(reg::kChannel))
        report.channel = QString(QChar::fromLatin1(static_cast<char>(channel)));
    report.repeater = decode(Field::Repeater, at(reg::kRepeater));
    report.power = decode(Field::Power, at(reg::kPower));
    report.workMode = decode(Field::WorkMode, at(reg::kWorkMode));
    report.serialBaud = decode(Field::SerialBaud, at(reg::kSerialBaud));

    // Radios with fewer registers know LoRa only, and only its two original rates.
    if (length < kNewerBlockLength) {
        report.modulation = QStringLiteral("LORA");
        report.protocol = decode(Field::Protocol, at(reg::kProtocol));
        const auto air = decode(Field::AirBaud, at(reg::kAirBaud));
        if (air == QLatin1String("11000") || air == QLatin1String("18000"))
            report.airBaud = air;
        return report;
    }

    report.modulation = decode(Field::Modulation, at(reg::kModulation));
    if (!report.modulation)
        return report;
    report.protocol = decode(Field::Protocol, at(reg::kProtocol));
    report.airBaud = *report.modulation == QLatin1String("FSK")
                         ? decode(Field::FskAirBaud, at(reg::kFskAirBaud))
                         : decode(Field::AirBaud, at(reg::kAirBaud));
    return report;
}

RadioSettings reportedSettings(const ParameterReport &report)
{
    const auto text = [](const std::optional<QString> &value) { return value.value_or(QString()); };
    RadioSettings settings;
    settings.modulation = text(report.modulation);
    settings.protocol = text(report.protocol);
    settings.power = text(report.power);
    settings.channel = report.channel;
    settings.airBaud = text(report.airBaud);
    settings.serialBaud = text(report.serialBaud);
    settings.repeater = text(report.repeater);
    settings.workMode = text(report.workMode);
    return settings;
}

QStringList decodeChannelTable(const QByteArray &line)
{
    QStringList frequencies;
    for (int at = 6; at + kRecordSize <= line.size(); at += kRecordSize) {
        const QByteArray record = line.mid(at, kRecordSize);
        if (endsTable(record))
            break;
        if (const auto frequency = recordToFrequency(record))
            frequencies << *frequency;
    }
    return frequencies;
}

} // namespace tmx9
