#include "frames.h"

namespace tmx9 {

QByteArray readRequest()
{
    QByteArray frame(kReadHeader);
    frame.append(static_cast<char>(kToolMarker));
    frame.append('\0'); // no body
    frame.append(static_cast<char>(checksum(frame)));
    frame.append(kCrLf);
    return frame;
}

unsigned char checksum(const QByteArray &bytes)
{
    unsigned char sum = 0;
    for (const char byte : bytes)
        sum ^= static_cast<unsigned char>(byte);
    return sum;
}

QByteArray buildWriteFrame(unsigned char startRegister, const QByteArray &data)
{
    // The length byte counts the start register too; anything longer would wrap it.
    if (data.size() > 254)
        return {};
    QByteArray frame(kWriteHeader);
    frame.reserve(data.size() + 10);
    frame.append(static_cast<char>(kToolMarker));
    frame.append(static_cast<char>(data.size() + 1));
    frame.append(static_cast<char>(startRegister));
    frame.append(data);
    frame.append(static_cast<char>(checksum(frame)));
    frame.append(kCrLf);
    return frame;
}

QByteArray setAirBaudCommand(const QString &airBaud)
{
    if (airBaud == QLatin1String("9600"))
        return kSetAirBaud9600;
    if (airBaud == QLatin1String("19200"))
        return kSetAirBaud19200;
    return {};
}

QString toHexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

} // namespace tmx9
