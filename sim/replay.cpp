#include "replay.h"

#include "cappedfile.h"

namespace tmx9sim {

RadioState Recording::state() const
{
    RadioState state;
    state.setParameterBlock(
        tmx9::responseBody(parameterResponse, tmx9::LineKind::Parameters).value_or(QByteArray()));
    if (const auto records = tmx9::responseBody(channelTableResponse, tmx9::LineKind::ChannelTable))
        state.setChannelRecords(*records);
    return state;
}

bool loadRecording(const QString &path, Recording *recording, QString *error)
{
    QString why;
    const auto text = tmx9::readCappedFile(path, tmx9::kMaxTraceBytes, &why);
    if (!text) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    const auto found = tmx9::lastRecording(tmx9::parseTrace(*text), QString(), &why);
    if (!found) {
        *error = QStringLiteral("%1: %2 in this trace; record a read of the radio "
                                "(tmx9ctl read --trace FILE)")
                     .arg(path, why);
        return false;
    }
    *recording = Recording(*found);
    return true;
}

} // namespace tmx9sim
