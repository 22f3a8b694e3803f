// Reads any bytes as a state file of the simulated radio. A file is refused with a message and
// changes nothing, or it is taken, and then the state saved from it reads back byte for byte,
// and every setting it gave reads back as given.
#include "codes.h"
#include "fuzzcheck.h"
#include "statefile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using tmx9sim::RadioState;

namespace {

bool sameState(const RadioState &a, const RadioState &b)
{
    return a.parameterBlock() == b.parameterBlock() && a.channelRecords() == b.channelRecords();
}

// The settings a taken file gave, as the radio now shows them.
void checkSettings(const QByteArray &json, const RadioState &state)
{
    const QJsonObject given =
        QJsonDocument::fromJson(json).object().value(QLatin1String("settings")).toObject();
    const tmx9::RadioSettings shown = state.settings();
    const std::pair<const char *, QString tmx9::RadioSettings::*> fields[] = {
        {"modulation", &tmx9::RadioSettings::modulation},
        {"protocol", &tmx9::RadioSettings::protocol},
        {"power", &tmx9::RadioSettings::power},
        {"channel", &tmx9::RadioSettings::channel},
        {"airBaud", &tmx9::RadioSettings::airBaud},
        {"serialBaud", &tmx9::RadioSettings::serialBaud},
        {"repeater", &tmx9::RadioSettings::repeater},
        {"workMode", &tmx9::RadioSettings::workMode},
    };
    for (const auto &[key, member] : fields) {
        const QJsonValue value = given.value(QLatin1String(key));
        check(value.isUndefined() || shown.*member == value.toString());
    }
    const QJsonArray frequencies = given.value(QLatin1String("frequencies")).toArray();
    for (int channel = 0; channel < frequencies.size(); ++channel)
        check(shown.frequencies.value(channel) ==
              tmx9::normalizeFrequency(frequencies.at(channel).toString()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const RadioState before;
    RadioState state = before;
    QString error;
    if (!tmx9sim::loadState(json, &state, &error)) {
        check(!error.isEmpty() && sameState(state, before));
        return 0;
    }
    checkSettings(json, state);

    RadioState reloaded;
    check(tmx9sim::loadState(tmx9sim::stateJson(state), &reloaded, &error));
    check(sameState(reloaded, state));
    return 0;
}
