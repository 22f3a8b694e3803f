// The read path, shared by read, check, detect and the backup before a write.
#include "portjobs.h"

#include "messages.h"
#include "radiolink.h"
#include "receiver.h"
#include "registers.h"
#include "trace.h"

namespace tmx9ctl {

namespace {

QVector<int> searchRates()
{
    return QVector<int>(std::begin(tmx9::kSearchRates), std::end(tmx9::kSearchRates));
}

// Why two answers that came back hold no configuration.
Outcome unreadable(const RadioLink::ReadAnswer &answer, int timeoutMs, int baud)
{
    if (!answer.anything)
        return {NoAnswer, QStringLiteral("no answer within %1 ms: check that the radio is on and "
                                         "connected to this port, and that it talks at %2 baud "
                                         "(--baud)")
                              .arg(timeoutMs)
                              .arg(baud)};
    const QString missing =
        !answer.parameters && !answer.channelTable
            ? QStringLiteral("neither the parameter response nor the channel table response")
        : !answer.parameters ? QStringLiteral("no parameter response")
                             : QStringLiteral("no channel table response");
    return {Undecodable, QStringLiteral("the radio answered, but %1 could be recognised within %2 "
                                        "ms: check the baud rate (--baud, now %3) and the cable")
                             .arg(missing)
                             .arg(timeoutMs)
                             .arg(baud)};
}

} // namespace

std::optional<Outcome> connectRadio(const Options &options, RadioLink &link, const QString &port,
                                    std::optional<Found> *found)
{
    QString error;
    const int first = options.autoBaud ? tmx9::kSearchRates[0] : options.baud;
    if (!link.open(port, first, &error))
        return Outcome{PortUnavailable, openMessage(error)};
    if (options.autoBaud) {
        const auto answer = link.search(searchRates(), tmx9::kSearchWaitMs);
        if (link.isLost())
            return Outcome{PortUnavailable, lostMessage(link)};
        if (!answer)
            return Outcome{NoAnswer, noRadioMessage()};
        if (found)
            *found = Found{answer->parameters, answer->channelTable};
    }
    return std::nullopt;
}

ReadResult readBack(RadioLink &link, int timeoutMs)
{
    const int baud = link.baud();
    const RadioLink::ReadAnswer answer = link.read(timeoutMs);
    if (link.isLost())
        return {{PortUnavailable, lostMessage(link)}, std::nullopt};
    if (!answer.parameters || !answer.channelTable)
        return {unreadable(answer, timeoutMs, baud), std::nullopt};
    QString problem;
    auto configuration = decodeConfiguration(*answer.parameters, *answer.channelTable, &problem);
    if (!configuration)
        return {{Undecodable, QStringLiteral("the answer cannot be decoded: %1; check the baud "
                                             "rate (--baud, now %2) and that a TMX9 radio is on "
                                             "this port")
                                  .arg(problem)
                                  .arg(baud)},
                std::nullopt};
    return {{}, configuration};
}

PortResult readOne(const Options &options, Trace &trace, const QString &port, const QString &tag)
{
    trace.note(QStringLiteral("read %1").arg(port), tag);
    RadioLink link(trace, tag);
    if (const auto failure = connectRadio(options, link, port))
        return {*failure, {}, {}, {}};
    ReadResult result = readBack(link, tmx9::kReadTimeoutMs);
    link.close();
    return {result.outcome, std::move(result.configuration), {}, {}};
}

PortResult detectOne(const Options &, Trace &trace, const QString &port, const QString &tag)
{
    trace.note(QStringLiteral("detect %1").arg(port), tag);
    RadioLink link(trace, tag);
    QString error;
    if (!link.open(port, tmx9::kSearchRates[0], &error))
        return {{PortUnavailable, openMessage(error)}, {}, {}, {}};
    const auto found = link.search(searchRates(), tmx9::kSearchWaitMs);
    if (link.isLost())
        return {{PortUnavailable, lostMessage(link)}, {}, {}, {}};
    link.close();
    if (!found)
        return {{NoAnswer, noRadioMessage()}, {}, {}, {}};
    const auto report = tmx9::decodeParameters(found->parameters);
    return {{},
            {},
            Detected{found->baud, report->serialNumber, report->firmware,
                     tmx9::declaredLength(found->parameters)},
            {}};
}

} // namespace tmx9ctl
