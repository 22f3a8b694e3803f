#pragma once

#include "radiostate.h"

#include <QString>

namespace tmx9sim {

// Reads a radio state from JSON and applies it over `state`. Every key is optional and they are
// applied in this order:
//   "firmware": "old" | "new"
//   "parameterBlock": hex text of the whole block (its length is N)
//   "channelRecords": the 140 characters of the 20 records
//   "settings": {"modulation", "protocol", "power", "channel", "airBaud", "serialBaud",
//                "repeater", "workMode": option texts; "frequencies": [ten texts]}
//   "serialNumber", "firmwareVersion": texts
// False with a message, and `state` unchanged, when the file or a value is not usable.
bool loadStateFile(const QString &path, RadioState *state, QString *error);

// Writes the whole state as loadStateFile reads it back: "parameterBlock" and "channelRecords".
// False with a message when the file cannot be written.
bool saveStateFile(const QString &path, const RadioState &state, QString *error);

} // namespace tmx9sim
