#pragma once

#include "radiostate.h"

#include <QByteArray>
#include <QString>

namespace tmx9sim {

// A state file is a few hundred bytes; anything near this size is some other file given by mistake.
inline constexpr qint64 kMaxStateFileBytes = 1 << 20;

// Reads a radio state from JSON and applies it over `state`. Every key is optional and they are
// applied in this order:
//   "firmware": "old" | "new"
//   "parameterBlock": hex text of the whole block (its length is N, at most 255)
//   "channelTable": hex text of the 140 bytes of the 20 records
//   "channelRecords": the same as 140 characters, as earlier versions wrote it (not with
//                     "channelTable")
//   "settings": {"modulation", "protocol", "power", "channel", "airBaud", "serialBaud",
//                "repeater", "workMode": option texts; "frequencies": [up to ten texts]}
//   "serialNumber", "firmwareVersion": texts, cut to the registers that hold them
// False, and `state` unchanged, when a key is unknown or a value is not usable; the message then
// names the key.
bool loadState(const QByteArray &json, RadioState *state, QString *error);

// The same from a file of at most kMaxStateFileBytes; the message names the file.
bool loadStateFile(const QString &path, RadioState *state, QString *error);

// The whole state as loadState reads it back, every byte as it is: "parameterBlock" and
// "channelTable".
QByteArray stateJson(const RadioState &state);

// False with a message naming the file when it cannot be written.
bool saveStateFile(const QString &path, const RadioState &state, QString *error);

} // namespace tmx9sim
