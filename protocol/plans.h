#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "codes.h"

// What the write exchanges send, as data: the window runs a plan with its own wait, and any other
// front end can run the same plan.
namespace tmx9 {

// The window's option texts and the ten four-decimal frequency texts (channel 0 first).
struct RadioSettings
{
    QString modulation = QStringLiteral("LORA");
    QString protocol = QStringLiteral("Transparent");
    QString power = QStringLiteral("H");
    QString channel = QStringLiteral("0");
    QString airBaud = QStringLiteral("11000");
    QString serialBaud = QStringLiteral("115200");
    QString repeater = QStringLiteral("disable");
    QString workMode = QStringLiteral("TX");
    QStringList frequencies; // ten texts such as "454.0500"
};

// The default configuration: the option texts above and 454.0500 .. 463.0500.
RadioSettings defaultSettings();

// Where RadioSettings keeps the text of `field` (AirBaud and FskAirBaud share airBaud).
QString RadioSettings::*settingOf(Field field);

// The fields of the parameter frame, in register order (7, 8, 13, 14, 15, 16, 17).
inline constexpr Field kParameterFrameFields[] = {
    Field::WorkMode,   Field::Protocol, Field::Channel, Field::Power,
    Field::SerialBaud, Field::AirBaud,  Field::Repeater};

// Write frames as hex text (upper-case, checksum and "0D0A" included), as the window prints the
// parameter frame. Empty when a text is not an option of its field or a frequency is not a
// four-decimal text from 200 to 500.
QString parameterFrameHex(const RadioSettings &settings);
QString channelTableFrameHex(const RadioSettings &settings);

// Stored texts of the two default frames.
inline constexpr char kDefaultChannelTableHex[] =
    "2424524A1B478034353430353030343535303530303435363035303034353730353030343538303530303435393035"
    "303034363030353030343631303530303436323035303034363330353030C50D0A";
inline constexpr char kDefaultParameterHex[] = "2424524A1B0E07303332FFFFFF30FF35310001010F0D0A";

struct PlanStep
{
    QByteArray bytes; // written first (may be empty: a wait only)
    int waitMs = 0;   // then this wait
};
using TransmissionPlan = QVector<PlanStep>;

// Parameter frame twice, channel table frame twice, then for FSK the AIRBT command of a 9600 or
// 19200 air baud rate (none for other rates) and "SET FSK" twice, for LORA "SET LORA" twice;
// 100 ms after every write but the last. Empty when the frames cannot be built.
TransmissionPlan writeConfigPlan(const RadioSettings &settings);

// Default channel table frame twice, default parameter frame twice, "SET LORA" twice.
TransmissionPlan writeDefaultPlan();

// A write that gives the radio a new serial rate, in two passes: the radio may take the new rate
// as soon as it acknowledges the parameter frame that carries it, and then hears the rest of the
// write as noise. `keepRate` is the whole plan with `presentRate` in its parameter frame; `newRate`
// is the plan's parameter frame steps alone, with their waits, as the plan has them.
struct RateChangePasses
{
    TransmissionPlan keepRate;
    TransmissionPlan newRate;
};

// Both passes empty when `plan` holds no parameter frame of `settings`, or `presentRate` is not a
// serial rate of the radio.
RateChangePasses rateChangePasses(const TransmissionPlan &plan, const RadioSettings &settings,
                                  const QString &presentRate);

// Sum of the waits of a plan.
int totalWaitMs(const TransmissionPlan &plan);

} // namespace tmx9
