#pragma once

#include "radiostate.h"

#include <QByteArray>
#include <QString>

namespace tmx9sim {

// A radio as a trace saw it: a tmx9ctl --trace file or the window's traffic log. The last
// complete parameter response from the radio gives its registers, and so its generation; the last
// complete channel table response its channel table. In a trace of several ports, the port of
// that parameter response is the one taken.
struct Recording
{
    QByteArray parameterResponse;    // as received, CR LF included
    QByteArray channelTableResponse; // likewise; empty when the trace holds none
    bool channelTableFirst = false;  // the radio sent the channel table before the parameters
    QString port;                    // the port's tag; empty in a trace of one port

    // The registers and channel table the responses hold; a default channel table when there is
    // no channel table response.
    RadioState state() const;
};

// False with a message naming the file when it cannot be read or holds no complete parameter
// response.
bool loadRecording(const QString &path, Recording *recording, QString *error);

} // namespace tmx9sim
