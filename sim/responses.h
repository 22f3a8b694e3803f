#pragma once

#include <QByteArray>

// The frames the simulated radio sends, CR LF included.
namespace tmx9sim {

// "$$RI", 0xB1, N, the N registers, checksum, CR LF.
QByteArray parameterResponse(const QByteArray &block);

// "$$RI", 0xB1, 0x8C, the 140 record bytes, checksum, CR LF.
QByteArray channelTableResponse(const QByteArray &records);

// "$$RJ", 0xB1, 0x01, the start register of the write, checksum, CR LF (9 bytes). Laid out like
// the read responses; the tool needs only the "$$RJ" in it.
QByteArray writeAcknowledgement(unsigned char startRegister);

} // namespace tmx9sim
