#pragma once

#include "radiostate.h"
#include "recording.h"

#include <QString>

namespace tmx9sim {

// A radio as a trace saw it: a tmx9ctl --trace file or the window's traffic log, read as
// tmx9::lastRecording reads it.
struct Recording : tmx9::Recording
{
    Recording() = default;
    explicit Recording(const tmx9::Recording &recording) : tmx9::Recording(recording) {}

    // The registers and channel table the responses hold; a default channel table when there is
    // no channel table response.
    RadioState state() const;
};

// Reads the trace at `path` (a file or a pipe, at most tmx9::kMaxTraceBytes) and takes the radio
// of the last complete parameter response in it. False with a message naming the file when it
// cannot be read or holds no complete parameter response.
bool loadRecording(const QString &path, Recording *recording, QString *error);

} // namespace tmx9sim
