#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Option texts of the window <-> register bytes. Texts are compared exactly (case-sensitive).
namespace tmx9 {

// The radio's own serial rate; its option texts are the rates in bits per second.
inline constexpr int kSerialBaudRegister = 15;

enum class Field {
    WorkMode,   // register 7, com_9
    Protocol,   // register 8, com_3
    Channel,    // register 13, com_5
    Power,      // register 14, com_4
    SerialBaud, // register 15, com_7
    AirBaud,    // register 16 (LoRa rate), com_6
    Repeater,   // register 17, com_8
    Modulation, // register 65 (read only), com_2
    FskAirBaud, // register 66 (read only), com_6
};

// The item texts of the combo for `field`, index 0 first ("LORA", "FSK" for Modulation; the six
// air baud rates for AirBaud and FskAirBaud alike).
QStringList optionTexts(Field field);

// Bytes the writer emits for `text`, fixed trailing bytes included (protocol: code 32 FF FF FF;
// repeater: code 01 01). AirBaud: the FSK rates 9600 and 19200 give 0x31. Empty when the text is
// not an option of the field; Modulation and FskAirBaud are never written and give empty.
QByteArray encode(Field field, const QString &text);

// Option text for a register byte as the reader shows it; nullopt ("unknown") leaves the widget
// unchanged. Power: 0x00 is "L", anything else "H". AirBaud knows all four LoRa codes; the
// reader of an older radio restricts itself to 0x31 and 0x34.
std::optional<QString> decode(Field field, unsigned char byte);

// Frequency text as the user typed it -> the four-decimal text the writer sends, or nullopt when
// it is not a number from 200 to 500 inclusive (C locale, surrounding white space ignored).
std::optional<QString> normalizeFrequency(const QString &text);

// "454.0500" -> "4540500" (the four-decimal text without its point).
QByteArray frequencyToRecord(const QString &fourDecimalText);

// Seven record bytes -> display text with four decimals, or nullopt when the record does not
// parse as a finite number (Latin-1 up to the first zero byte, QString::toDouble).
std::optional<QString> recordToFrequency(const QByteArray &record);

} // namespace tmx9
