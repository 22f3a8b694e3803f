// Reads any bytes as a tmx9ctl profile. A profile is refused with at least one message, or taken;
// a taken one writes what it says: its write plan's frames and commands, applied to registers as
// the radio keeps them, decode with the protocol's own readers to the same settings.
#include "codes.h"
#include "frames.h"
#include "fuzzcheck.h"
#include "plans.h"
#include "profile.h"
#include "receiver.h"
#include "registers.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace tmx9;

namespace {

QByteArray response(const QByteArray &header, const QByteArray &body)
{
    const QByteArray line = header + body;
    return line + char(checksum(line));
}

// The registers a newer radio holds after the plan, and its channel records.
struct Written
{
    QByteArray block = QByteArray(kNewerBlockLength, '\0');
    QByteArray records = QByteArray(kTableRecords * kRecordSize, '0');
};

void apply(const QByteArray &bytes, Written *radio)
{
    const std::pair<const char *, std::pair<int, std::optional<unsigned char>>> commands[] = {
        {kSetLora, {reg::kModulation, registerCode(Field::Modulation, QStringLiteral("LORA"))}},
        {kSetFsk, {reg::kModulation, registerCode(Field::Modulation, QStringLiteral("FSK"))}},
        {kSetAirBaud9600,
         {reg::kFskAirBaud, registerCode(Field::FskAirBaud, QStringLiteral("9600"))}},
        {kSetAirBaud19200,
         {reg::kFskAirBaud, registerCode(Field::FskAirBaud, QStringLiteral("19200"))}},
    };
    for (const auto &[command, target] : commands) {
        if (bytes == command) {
            check(bool(target.second));
            radio->block[target.first] = char(*target.second);
            return;
        }
    }
    // A write frame: whole, with its length and checksum right.
    check(bytes.size() >= 10 && bytes.startsWith(kWriteHeader) && bytes.endsWith(kCrLf));
    check(static_cast<unsigned char>(bytes.at(4)) == kToolMarker);
    const int length = static_cast<unsigned char>(bytes.at(5));
    check(bytes.size() == length + 9);
    check(checksum(bytes.left(length + 6)) == static_cast<unsigned char>(bytes.at(length + 6)));
    const int start = static_cast<unsigned char>(bytes.at(6));
    const QByteArray data = bytes.mid(7, length - 1);
    if (start >= kChannelStartRegister) {
        check(start - kChannelStartRegister + data.size() <= radio->records.size());
        radio->records.replace(start - kChannelStartRegister, data.size(), data);
    } else {
        check(start + data.size() <= radio->block.size());
        radio->block.replace(start, data.size(), data);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<int>(size));
    RadioSettings settings;
    const QStringList problems = tmx9ctl::readProfile(json, &settings);
    for (const QString &problem : problems)
        check(!problem.isEmpty());
    if (!problems.isEmpty())
        return 0;

    const TransmissionPlan plan = writeConfigPlan(settings);
    check(!plan.isEmpty());
    Written radio;
    for (const PlanStep &step : plan) {
        if (!step.bytes.isEmpty())
            apply(step.bytes, &radio);
    }

    const auto report = decodeParameters(
        response(QByteArray("$$RI\xB1", 5) + char(radio.block.size()), radio.block));
    check(bool(report));
    RadioSettings read = reportedSettings(*report);
    read.frequencies = decodeChannelTable(response(QByteArray("$$RI\xB1\x8C", 6), radio.records));
    const auto field = [](const RadioSettings &s) {
        return QStringList{s.modulation, s.protocol,   s.power,    s.channel,
                           s.airBaud,    s.serialBaud, s.repeater, s.workMode} +
               s.frequencies;
    };
    check(field(read) == field(settings));
    return 0;
}
