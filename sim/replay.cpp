#include "replay.h"

#include "describe.h"
#include "frames.h"
#include "receiver.h"

#include <QFile>
#include <QHash>

namespace tmx9sim {

namespace {

constexpr int kBodyOffset = 6;

// The response's body when the line holds all of it; empty otherwise.
QByteArray completeBody(const QByteArray &received, tmx9::LineKind kind)
{
    if (!received.endsWith(tmx9::kCrLf))
        return {};
    const QByteArray line = received.chopped(2);
    if (tmx9::classify(line) != kind)
        return {};
    const int length = kind == tmx9::LineKind::ChannelTable ? RadioState::kChannelTableLength
                                                            : tmx9::declaredLength(line);
    // Then the checksum, which is kept as it came: a wrong one is part of what happened.
    if (line.size() < kBodyOffset + length + 1)
        return {};
    return line.mid(kBodyOffset, length);
}

} // namespace

RadioState Recording::state() const
{
    RadioState state;
    state.setParameterBlock(completeBody(parameterResponse, tmx9::LineKind::Parameters));
    if (!channelTableResponse.isEmpty())
        state.setChannelRecords(completeBody(channelTableResponse, tmx9::LineKind::ChannelTable));
    return state;
}

bool loadRecording(const QString &path, Recording *recording, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    struct Found
    {
        QByteArray bytes;
        int index = -1; // among the lines of its port from the radio
    };
    Found parameters;
    QHash<QString, Found> channelTables; // the last one of each port
    QHash<QString, int> received;        // lines from the radio, by port
    while (!file.atEnd()) {
        const auto entry = tmx9::parseTraceLine(QString::fromUtf8(file.readLine()).trimmed());
        if (!entry || entry->direction != tmx9::Direction::FromRadio)
            continue;
        const int number = received[entry->tag]++;
        if (!completeBody(entry->bytes, tmx9::LineKind::Parameters).isEmpty()) {
            parameters = {entry->bytes, number};
            recording->port = entry->tag;
        } else if (!completeBody(entry->bytes, tmx9::LineKind::ChannelTable).isEmpty()) {
            channelTables[entry->tag] = {entry->bytes, number};
        }
    }
    if (parameters.index < 0) {
        *error = QStringLiteral("%1: no complete parameter response from the radio in this trace; "
                                "record a read of the radio (tmx9ctl read --trace FILE)")
                     .arg(path);
        return false;
    }
    recording->parameterResponse = parameters.bytes;
    const Found table = channelTables.value(recording->port);
    recording->channelTableResponse = table.bytes;
    // Only an answer to one read request tells the order.
    recording->channelTableFirst = table.index >= 0 && table.index + 1 == parameters.index;
    return true;
}

} // namespace tmx9sim
