#include "recording.h"

#include "frames.h"
#include "registers.h"

#include <QHash>
#include <QRegularExpression>

namespace tmx9 {

namespace {

constexpr int kBodyOffset = 6;

// The port a note says was opened: "opened PORT at N baud", as the window writes it, with
// ", 8N1, no flow control" after it as tmx9ctl writes it, and "TAG: " before it in a trace of
// several ports.
std::optional<QString> openedPort(const QString &line)
{
    static const QRegularExpression note(
        QStringLiteral("^-- (?:.+?: )?opened (.+) at [0-9]+ baud(?:,.*)?$"));
    const QRegularExpressionMatch match = note.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

bool isFromRadio(const PortEntry &line)
{
    return line.entry.direction == Direction::FromRadio;
}

} // namespace

QVector<PortEntry> parseTrace(const QByteArray &text)
{
    QVector<PortEntry> entries;
    QString port = QLatin1String(""); // empty, not null: a port that lastRecording can be asked for
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QString line = QString::fromUtf8(text.constData() + start, end - start).trimmed();
        start = end + 1;
        if (auto entry = parseTraceLine(line)) {
            const QString tag = entry->tag;
            entries.append({std::move(*entry), tag.isEmpty() ? port : tag});
        } else if (const auto opened = openedPort(line)) {
            port = *opened;
        }
    }
    return entries;
}

std::optional<QByteArray> responseBody(const QByteArray &received, LineKind kind)
{
    // One line: the receiver would cut a second CR LF off as a line of its own.
    if (received.size() < 2 || received.indexOf(kCrLf) != received.size() - 2)
        return std::nullopt;
    const QByteArray line = received.chopped(2);
    if (classify(line) != kind)
        return std::nullopt;
    const int length =
        kind == LineKind::ChannelTable ? kTableRecords * kRecordSize : declaredLength(line);
    // Then the checksum, which is kept as it came: a wrong one is part of what happened.
    if (line.size() < kBodyOffset + length + 1)
        return std::nullopt;
    return line.mid(kBodyOffset, length);
}

QStringList recordedPorts(const QVector<PortEntry> &entries)
{
    QStringList ports;
    for (const PortEntry &line : entries) {
        if (isFromRadio(line) && !ports.contains(line.port) &&
            responseBody(line.entry.bytes, LineKind::Parameters))
            ports << line.port;
    }
    return ports;
}

std::optional<Recording> lastRecording(const QVector<PortEntry> &entries, const QString &port,
                                       QString *missing)
{
    struct Found
    {
        QByteArray bytes;
        int at = -1;   // its line among all
        int sent = -1; // lines the tool had sent on its port before it
    };
    Found parameters;
    QString parametersPort;
    QHash<QString, Found> channelTables; // the last one of each port
    QHash<QString, int> sent;            // lines to the radio, by port
    for (int at = 0; at < entries.size(); ++at) {
        const PortEntry &line = entries.at(at);
        if (!isFromRadio(line)) {
            ++sent[line.port];
            continue;
        }
        const Found found{line.entry.bytes, at, sent.value(line.port)};
        if (responseBody(found.bytes, LineKind::Parameters)) {
            if (port.isNull() || line.port == port) {
                parameters = found;
                parametersPort = line.port;
            }
        } else if (responseBody(found.bytes, LineKind::ChannelTable)) {
            channelTables[line.port] = found;
        }
    }
    if (parameters.at < 0) {
        *missing =
            port.isEmpty()
                ? QStringLiteral("no complete parameter response from the radio")
                : QStringLiteral("no complete parameter response from the radio on %1").arg(port);
        return std::nullopt;
    }
    const Found table = channelTables.value(parametersPort);
    Recording recording;
    recording.parameterResponse = parameters.bytes;
    recording.channelTableResponse = table.bytes;
    // Only the answer to one request tells the order: nothing sent between the two.
    recording.channelTableFirst =
        table.at >= 0 && table.sent == parameters.sent && table.at < parameters.at;
    recording.port = parametersPort;
    return recording;
}

} // namespace tmx9
