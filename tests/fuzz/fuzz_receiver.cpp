// Feeds arbitrary bytes through the receiver as the window does: in chunks, line by line.
#include "describe.h"
#include "fuzzcheck.h"
#include "receiver.h"

#include <QByteArray>
#include <QByteArrayList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace tmx9;

namespace {

void handle(const QByteArray &line)
{
    switch (classify(line)) {
    case LineKind::ChannelTable:
        check(decodeChannelTable(line).size() <= (line.size() - 6) / 7);
        break;
    case LineKind::Parameters:
        if (const auto report = decodeParameters(line))
            check(report->channel.size() <= 1);
        break;
    case LineKind::WriteAck:
    case LineKind::Dropped:
        break;
    }
    // Whatever the kind, decoding any line must be safe.
    decodeParameters(line);
    decodeChannelTable(line);
    describeLine(line);
}

// Chunk sizes follow the data, so mutations also move the chunk boundaries.
QByteArrayList receive(const QByteArray &input, bool chunked)
{
    QByteArrayList lines;
    QByteArray bytes;
    int head = 0;
    int at = 0;
    while (at < input.size()) {
        const int size =
            chunked ? 1 + (static_cast<unsigned char>(input.at(at)) * 7 + at) % 61 : input.size();
        appendReceived(bytes, head, input.mid(at, size));
        at += size;
        while (const auto line = takeLine(bytes, head)) {
            if (chunked)
                handle(*line);
            lines << *line;
        }
        // Only the lines end with CR LF; what stays unterminated is capped (a final CR waits
        // for its LF and is no content).
        check(bytes.size() - head - (bytes.endsWith('\r') ? 1 : 0) <= kMaxPendingBytes);
        settle(bytes, head);
        check(head == 0);
    }
    return lines;
}

int longestLine(const QByteArray &input)
{
    int longest = 0;
    int start = 0;
    for (int end = input.indexOf("\r\n"); end >= 0; end = input.indexOf("\r\n", start)) {
        longest = std::max(longest, end - start);
        start = end + 2;
    }
    return std::max(longest, input.size() - start);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));

    const QByteArrayList chunked = receive(input, true);
    const QByteArrayList whole = receive(input, false);
    // Below the cap, how the bytes arrive must not change the lines.
    if (longestLine(input) <= kMaxPendingBytes)
        check(chunked == whole);

    // A head from anywhere must neither crash nor read outside the buffer.
    if (size >= 4) {
        int head = 0;
        std::memcpy(&head, data, sizeof head);
        QByteArray bytes = input;
        takeLine(bytes, head);
        check(head >= 0 && head <= bytes.size());
        settle(bytes, head);
    }
    return 0;
}
