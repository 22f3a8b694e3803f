#include "responses.h"

#include "frames.h"

namespace tmx9sim {

namespace {

QByteArray radioFrame(const char *header, const QByteArray &body)
{
    QByteArray frame(header);
    frame.append(char(tmx9::kRadioMarker));
    frame.append(char(body.size()));
    frame.append(body);
    frame.append(char(tmx9::checksum(frame)));
    frame.append(tmx9::kCrLf);
    return frame;
}

} // namespace

QByteArray parameterResponse(const QByteArray &block)
{
    return radioFrame(tmx9::kReadHeader, block);
}

QByteArray channelTableResponse(const QByteArray &records)
{
    return radioFrame(tmx9::kReadHeader, records);
}

QByteArray writeAcknowledgement(unsigned char startRegister)
{
    return radioFrame(tmx9::kWriteHeader, QByteArray(1, char(startRegister)));
}

} // namespace tmx9sim
