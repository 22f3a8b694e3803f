#pragma once

#include <QByteArray>

namespace bench {

// What a radio on a busy line sends: responses, acknowledgements, replies to text commands,
// stray bytes and lines that are no frame at all. The same bytes for the same size.
QByteArray mixedStream(int size);

// Feeds `stream` to the receiver in chunks of `chunkSize`, cutting, classifying and decoding every
// line as the window does. Returns how many things were recognised.
int receiveAll(const QByteArray &stream, int chunkSize);

} // namespace bench
