#pragma once

#include "codes.h"
#include "plans.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <array>

namespace tmx9ctl {

// A radio's configuration as read back: the window's option texts, where a null text means the
// radio holds a code that is none of the options, and the two texts the radio only reports.
struct Configuration
{
    tmx9::RadioSettings settings;
    QString serialNumber;
    QString firmwareVersion;
    bool olderRadio = false; // no modulation register: LoRa only, and only two air baud rates
};

// One option of a profile: its key, the field of the protocol core, where RadioSettings keeps it.
struct ProfileOption
{
    QLatin1String key;
    tmx9::Field field;
    QString tmx9::RadioSettings::*member;
};

// The eight options in the window's order (modulation first, work mode last).
const std::array<ProfileOption, 8> &profileOptions();

// A profile is well under 1 KiB; a larger file is no profile, and is refused before it is parsed.
inline constexpr qint64 kMaxProfileBytes = 1 << 20;

inline constexpr char kFrequenciesKey[] = "frequencies";
inline constexpr char kSerialNumberKey[] = "serialNumber";
inline constexpr char kFirmwareVersionKey[] = "firmwareVersion";

// "frequencies[3] (channel 3)": how messages name one frequency of a profile.
QString frequencyName(int channel);

// The air baud rates the radio can report under `modulation` ("LORA" or "FSK").
QStringList airBaudRatesOf(const QString &modulation);

// The profile as JSON text, keys in the window's order; a null text is written as null.
QByteArray profileJson(const Configuration &configuration);

// Checks a whole profile. Empty when it can be written; `settings` then holds it, frequencies
// in their four-decimal form. Otherwise one message per problem, each naming its field, with
// what the profile holds shown as printable() shows it. Texts are taken exactly: white space
// around a value, or a key given twice, is refused.
QStringList readProfile(const QByteArray &json, tmx9::RadioSettings *settings);

} // namespace tmx9ctl
