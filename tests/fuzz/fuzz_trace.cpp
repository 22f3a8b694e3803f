// Reads any text as a trace or a window's traffic log, as tmx9-sim --replay and
// tmx9ctl read --from-trace do, and checks that what it gives back holds together.
#include "fuzzcheck.h"
#include "recording.h"
#include "replay.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace tmx9;

namespace {

// Times below this survive the trace layout's double to the microsecond.
constexpr qint64 kExactTimeNs = qint64(1) << 52;

// A traffic line read back reads the same once written again.
void checkWrittenAgain(const TraceEntry &entry)
{
    if (entry.timeNs >= kExactTimeNs)
        return;
    const auto again = parseTraceLine(tagTraceLine(
        formatTraceLine(entry.direction, entry.timeNs, entry.bytes, entry.summary), entry.tag));
    check(again && again->direction == entry.direction && again->timeNs == entry.timeNs &&
          again->bytes == entry.bytes && again->summary == entry.summary &&
          again->tag == entry.tag);
}

// A recording is whole responses, and the radio it makes holds what they say.
void checkRecording(const Recording &recording)
{
    const auto block = responseBody(recording.parameterResponse, LineKind::Parameters);
    check(bool(block));
    const auto records = responseBody(recording.channelTableResponse, LineKind::ChannelTable);
    check(recording.channelTableResponse.isEmpty() || records);
    check(!recording.channelTableFirst || records);

    const tmx9sim::RadioState state = tmx9sim::Recording(recording).state();
    check(state.parameterBlock() == *block);
    if (records)
        check(state.channelRecords() == *records);
    // Whatever the registers hold, the radio can say what they mean.
    state.settings();
    state.serialNumber();
    state.firmwareVersion();
    state.serialRate();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QVector<PortEntry> entries = parseTrace(text);
    for (const PortEntry &line : entries) {
        check(line.entry.tag.isEmpty() || line.port == line.entry.tag);
        check(line.entry.timeNs >= 0);
        checkWrittenAgain(line.entry);
    }

    const QStringList ports = recordedPorts(entries);
    check(QStringList(ports).removeDuplicates() == 0);
    QString missing;
    const auto last = lastRecording(entries, QString(), &missing);
    check(bool(last) == !ports.isEmpty());
    if (!last) {
        check(!missing.isEmpty());
        return 0;
    }
    checkRecording(*last);
    check(ports.contains(last->port));
    for (const QString &port : ports) {
        const auto recording = lastRecording(entries, port, &missing);
        check(recording && recording->port == port);
        checkRecording(*recording);
    }
    return 0;
}
