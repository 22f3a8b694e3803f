#include "plans.h"

#include "codes.h"
#include "frames.h"
#include "registers.h"

namespace tmx9 {

namespace {

constexpr int kWaitMs = kFrameSpacingMs;

// The window reads the radio's acknowledgement during these waits.
void appendTwice(TransmissionPlan &plan, const QByteArray &bytes)
{
    plan.append({bytes, kWaitMs});
    plan.append({bytes, kWaitMs});
}

// The modulation command twice, with no wait after the last write of the plan.
void appendModulationTwice(TransmissionPlan &plan, const QByteArray &command)
{
    plan.append({command, kWaitMs});
    plan.append({command, 0});
}

} // namespace

RadioSettings defaultSettings()
{
    RadioSettings settings;
    for (int channel = 0; channel < kChannelCount; ++channel)
        settings.frequencies << QString::number(454.05 + channel, 'f', 4);
    return settings;
}

QString RadioSettings::*settingOf(Field field)
{
    switch (field) {
    case Field::WorkMode:
        return &RadioSettings::workMode;
    case Field::Protocol:
        return &RadioSettings::protocol;
    case Field::Channel:
        return &RadioSettings::channel;
    case Field::Power:
        return &RadioSettings::power;
    case Field::SerialBaud:
        return &RadioSettings::serialBaud;
    case Field::AirBaud:
    case Field::FskAirBaud:
        return &RadioSettings::airBaud;
    case Field::Repeater:
        return &RadioSettings::repeater;
    case Field::Modulation:
        break;
    }
    return &RadioSettings::modulation;
}

QString parameterFrameHex(const RadioSettings &settings)
{
    QByteArray data;
    for (const Field field : kParameterFrameFields) {
        const QByteArray bytes = encode(field, settings.*settingOf(field));
        if (bytes.isEmpty())
            return {};
        data.append(bytes);
    }
    return toHexText(buildWriteFrame(kParameterStartRegister, data));
}

QString channelTableFrameHex(const RadioSettings &settings)
{
    if (settings.frequencies.size() != kChannelCount)
        return {};
    QByteArray records;
    for (const QString &frequency : settings.frequencies) {
        // Only the writer's own four-decimal form gives a seven-digit record.
        if (normalizeFrequency(frequency) != frequency)
            return {};
        const QByteArray record = frequencyToRecord(frequency);
        if (record.size() != kRecordSize)
            return {};
        records.append(record);
    }
    return toHexText(buildWriteFrame(kChannelStartRegister, records));
}

TransmissionPlan writeConfigPlan(const RadioSettings &settings)
{
    const QString parameterHex = parameterFrameHex(settings);
    const QString channelHex = channelTableFrameHex(settings);
    const bool fsk = settings.modulation == QLatin1String("FSK");
    if (parameterHex.isEmpty() || channelHex.isEmpty() ||
        (!fsk && settings.modulation != QLatin1String("LORA")))
        return {};

    TransmissionPlan plan;
    appendTwice(plan, QByteArray::fromHex(parameterHex.toLatin1()));
    appendTwice(plan, QByteArray::fromHex(channelHex.toLatin1()));
    if (fsk) {
        // The FSK rate has no register of its own; a LoRa rate here sends no AIRBT at all.
        plan.append({setAirBaudCommand(settings.airBaud), kWaitMs});
        appendModulationTwice(plan, kSetFsk);
    } else {
        appendModulationTwice(plan, kSetLora);
    }
    return plan;
}

TransmissionPlan writeDefaultPlan()
{
    TransmissionPlan plan;
    appendTwice(plan, QByteArray::fromHex(kDefaultChannelTableHex));
    appendTwice(plan, QByteArray::fromHex(kDefaultParameterHex));
    appendModulationTwice(plan, kSetLora);
    return plan;
}

RateChangePasses rateChangePasses(const TransmissionPlan &plan, const RadioSettings &settings,
                                  const QString &presentRate)
{
    RadioSettings present = settings;
    present.serialBaud = presentRate;
    const QByteArray frame = QByteArray::fromHex(parameterFrameHex(settings).toLatin1());
    const QByteArray presentFrame = QByteArray::fromHex(parameterFrameHex(present).toLatin1());
    if (frame.isEmpty() || presentFrame.isEmpty())
        return {};
    RateChangePasses passes;
    for (const PlanStep &step : plan) {
        const bool parameters = step.bytes == frame;
        passes.keepRate.append({parameters ? presentFrame : step.bytes, step.waitMs});
        if (parameters)
            passes.newRate.append(step);
    }
    if (passes.newRate.isEmpty())
        return {};
    return passes;
}

int totalWaitMs(const TransmissionPlan &plan)
{
    int total = 0;
    for (const PlanStep &step : plan)
        total += step.waitMs;
    return total;
}

} // namespace tmx9
