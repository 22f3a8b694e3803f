#include "codes.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace tmx9 {

namespace {

struct Code
{
    const char *text;
    unsigned char byte;
};

template <std::size_t N> std::optional<QString> lookup(const Code (&table)[N], unsigned char byte)
{
    for (const Code &code : table) {
        if (code.byte == byte)
            return QString::fromLatin1(code.text);
    }
    return std::nullopt;
}

template <std::size_t N>
std::optional<unsigned char> lookup(const Code (&table)[N], const QString &text)
{
    for (const Code &code : table) {
        if (text == QLatin1String(code.text))
            return code.byte;
    }
    return std::nullopt;
}

constexpr Code kWorkModes[] = {{"TX", 0x30}, {"RX", 0x31}};
constexpr Code kProtocols[] = {
    {"MAC", 0x31}, {"TT450S", 0x32}, {"Transparent", 0x33}, {"South", 0x34}};
constexpr Code kSerialBauds[] = {
    {"115200", 0x35}, {"38400", 0x33}, {"9600", 0x31}, {"19200", 0x32}};
constexpr Code kLoraAirBauds[] = {{"11000", 0x31}, {"18000", 0x34}, {"6000", 0x40}, {"3500", 0x23}};
constexpr Code kFskAirBauds[] = {{"9600", 0x30}, {"19200", 0x31}};
constexpr Code kRepeaters[] = {{"disable", 0x00}, {"enable", 0x01}};
constexpr Code kModulations[] = {{"LORA", 0x30}, {"FSK", 0x31}};

// Registers 9-12 and 18-19 are not the tool's to choose; it always writes these.
constexpr char kAfterProtocol[] = "\x32\xFF\xFF\xFF";
constexpr char kAfterRepeater[] = "\x01\x01";

// The FSK rates reach the radio by text command; register 16 then carries the 11000 code.
constexpr unsigned char kAirBaudForFsk = 0x31;

} // namespace

QStringList optionTexts(Field field)
{
    switch (field) {
    case Field::WorkMode:
        return {QStringLiteral("TX"), QStringLiteral("RX")};
    case Field::Protocol:
        return {QStringLiteral("Transparent"), QStringLiteral("TT450S"), QStringLiteral("MAC"),
                QStringLiteral("South")};
    case Field::Channel: {
        QStringList digits;
        for (char digit = '0'; digit <= '9'; ++digit)
            digits << QString(QLatin1Char(digit));
        return digits;
    }
    case Field::Power:
        return {QStringLiteral("H"), QStringLiteral("L")};
    case Field::SerialBaud:
        return {QStringLiteral("115200"), QStringLiteral("38400"), QStringLiteral("19200"),
                QStringLiteral("9600")};
    case Field::AirBaud:
    case Field::FskAirBaud:
        return {QStringLiteral("11000"), QStringLiteral("18000"), QStringLiteral("6000"),
                QStringLiteral("3500"),  QStringLiteral("9600"),  QStringLiteral("19200")};
    case Field::Repeater:
        return {QStringLiteral("disable"), QStringLiteral("enable")};
    case Field::Modulation:
        return {QStringLiteral("LORA"), QStringLiteral("FSK")};
    }
    return {};
}

QByteArray encode(Field field, const QString &text)
{
    const auto single = [](std::optional<unsigned char> byte) {
        return byte ? QByteArray(1, static_cast<char>(*byte)) : QByteArray();
    };

    switch (field) {
    case Field::WorkMode:
        return single(lookup(kWorkModes, text));
    case Field::Protocol:
        if (const auto code = lookup(kProtocols, text))
            return single(code) + QByteArray(kAfterProtocol, 4);
        return {};
    case Field::Channel:
        if (text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9'))
            return QByteArray(1, static_cast<char>(text.at(0).unicode()));
        return {};
    case Field::Power:
        if (text == QLatin1String("H"))
            return QByteArray(1, '\xFF');
        if (text == QLatin1String("L"))
            return QByteArray(1, '\0');
        return {};
    case Field::SerialBaud:
        return single(lookup(kSerialBauds, text));
    case Field::AirBaud:
        if (const auto code = lookup(kLoraAirBauds, text))
            return single(code);
        if (isFskAirBaud(text))
            return single(kAirBaudForFsk);
        return {};
    case Field::Repeater:
        if (const auto code = lookup(kRepeaters, text))
            return single(code) + QByteArray(kAfterRepeater, 2);
        return {};
    case Field::Modulation:
    case Field::FskAirBaud:
        break; // read only: changed by text command
    }
    return {};
}

std::optional<unsigned char> registerCode(Field field, const QString &text)
{
    if (field == Field::Modulation)
        return lookup(kModulations, text);
    if (field == Field::FskAirBaud)
        return lookup(kFskAirBauds, text);
    const QByteArray bytes = encode(field, text);
    if (bytes.isEmpty())
        return std::nullopt;
    return static_cast<unsigned char>(bytes.at(0));
}

bool isFskAirBaud(const QString &airBaud)
{
    return lookup(kFskAirBauds, airBaud).has_value();
}

std::optional<QString> decode(Field field, unsigned char byte)
{
    switch (field) {
    case Field::WorkMode:
        return lookup(kWorkModes, byte);
    case Field::Protocol:
        return lookup(kProtocols, byte);
    case Field::Channel:
        if (byte >= '0' && byte <= '9')
            return QString(QLatin1Char(static_cast<char>(byte)));
        return std::nullopt;
    case Field::Power:
        return byte == 0x00 ? QStringLiteral("L") : QStringLiteral("H");
    case Field::SerialBaud:
        return lookup(kSerialBauds, byte);
    case Field::AirBaud:
        return lookup(kLoraAirBauds, byte);
    case Field::Repeater:
        return lookup(kRepeaters, byte);
    case Field::Modulation:
        return lookup(kModulations, byte);
    case Field::FskAirBaud:
        return lookup(kFskAirBauds, byte);
    }
    return std::nullopt;
}

std::optional<QString> normalizeFrequency(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // Written this way round so that NaN fails the test.
    if (!ok || !(value >= 200.0 && value <= 500.0))
        return std::nullopt;
    return QString::number(value, 'f', 4);
}

QByteArray frequencyToRecord(const QString &fourDecimalText)
{
    QString digits = fourDecimalText;
    digits.remove(QLatin1Char('.'));
    return digits.toLatin1();
}

std::optional<QString> recordToFrequency(const QByteArray &record)
{
    const int end = record.indexOf('\0');
    const QString text = QString::fromLatin1(end < 0 ? record : record.left(end));
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf" and "nan" parse, but they are no frequency and the writer would reject them.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return QString::number(value / 10000.0, 'f', 4);
}

} // namespace tmx9
