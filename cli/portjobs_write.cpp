// The write path, shared by write and default: keep what the radio holds, write, verify, and a
// new serial rate last.
#include "portjobs.h"

#include "backup.h"
#include "messages.h"
#include "radiolink.h"
#include "registers.h"
#include "trace.h"

namespace tmx9ctl {

namespace {

// The plans' own spacing, before a read-back.
constexpr int kVerifyPauseMs = tmx9::kFrameSpacingMs;

QString verifiedMessage(const Comparison &comparison, const QString &rate = {})
{
    QString message = QStringLiteral("written, acknowledged and verified");
    if (!rate.isEmpty())
        message += QStringLiteral("; ") + rate;
    return message + uncheckedNote(comparison);
}

// Step: what the radio holds now, saved as a profile before the first byte of the write goes to
// it. The failure that must stop the write, or nullopt with the backup's line.
std::optional<Outcome> keepBackup(const Options &options, RadioLink &link, Trace &trace,
                                  const QString &tag, const std::optional<Found> &found,
                                  QString *line)
{
    std::optional<Configuration> configuration;
    QString problem;
    // A search for the rate already read the radio.
    if (found && found->channelTable)
        configuration = decodeConfiguration(found->parameters, *found->channelTable, &problem);
    if (!configuration) {
        ReadResult result = readBack(link, tmx9::kReadTimeoutMs);
        if (!result.configuration) {
            if (result.outcome.status == PortUnavailable)
                return result.outcome;
            return Outcome{BackupFailed,
                           QStringLiteral("cannot read the radio before writing, so what it holds "
                                          "would be lost unseen: %1; nothing was sent to it "
                                          "(--no-backup writes without a backup)")
                               .arg(result.outcome.message)};
        }
        configuration = std::move(result.configuration);
    }
    const QString folder = options.backupDir.isEmpty() ? defaultBackupFolder() : options.backupDir;
    QString error;
    const auto path = saveBackup(folder, *configuration, QDateTime::currentDateTimeUtc(), &error);
    if (!path)
        return Outcome{BackupFailed,
                       QStringLiteral("cannot keep a backup of what the radio holds (%1); nothing "
                                      "was sent to it: choose another folder with --backup-dir, "
                                      "or write without a backup with --no-backup")
                           .arg(error)};
    trace.note(QStringLiteral("backup saved to %1").arg(*path), tag);
    *line = QStringLiteral("backup saved to %1").arg(*path);
    return std::nullopt;
}

// Step: runs a plan and checks that the radio acknowledged it. Like the window: one
// acknowledgement during the plan is the radio's yes; which frame it answers cannot be told, and
// the read-back is the real check.
std::optional<Outcome> writePass(RadioLink &link, const tmx9::TransmissionPlan &plan)
{
    const int acknowledgements = link.runPlan(plan);
    if (link.isLost())
        return Outcome{PortUnavailable, lostMessage(link)};
    if (acknowledgements == 0)
        return Outcome{NotAcknowledged,
                       QStringLiteral("the radio did not acknowledge the write: check that it is "
                                      "on and connected, and the baud rate (--baud, now %1); what "
                                      "it holds now is unknown (tmx9ctl read shows it)")
                           .arg(link.baud())};
    return std::nullopt;
}

// Step: the read-back at the link's rate, compared with what was written. The failure, or
// nullopt with `comparison` holding what could not be checked.
std::optional<Outcome> verifyPass(RadioLink &link, const tmx9::RadioSettings &written,
                                  const QString &note, Comparison *comparison)
{
    const ReadResult result = readBack(link, tmx9::kReadTimeoutMs);
    if (!result.configuration)
        return Outcome{result.outcome.status,
                       QStringLiteral("written and acknowledged, but the read-back failed: ") +
                           result.outcome.message + note};
    *comparison = compareConfiguration(written, *result.configuration);
    if (!comparison->differences.isEmpty())
        return Outcome{VerifyMismatch,
                       QStringLiteral("written and acknowledged, but the radio reports "
                                      "otherwise: ") +
                           comparison->differences.join(QStringLiteral("; ")) + note +
                           QStringLiteral("; write again, or check the radio")};
    return std::nullopt;
}

// Step: switches the port to `rate` and reads back there. nullopt when the port cannot switch,
// with `failure` saying so.
std::optional<ReadResult> readBackAt(RadioLink &link, int rate, Outcome *failure)
{
    QString error;
    if (!link.setBaud(rate, &error)) {
        *failure = {PortUnavailable, QStringLiteral("written and acknowledged, but the port cannot "
                                                    "switch to %1 baud to verify: %2")
                                         .arg(rate)
                                         .arg(error)};
        return std::nullopt;
    }
    return readBack(link, tmx9::kReadTimeoutMs);
}

// Step: the read-back after the new rate was sent: at the new rate, and at the old one when the
// radio gave no usable answer there (it may take the new rate only when restarted).
Outcome verifyNewRate(RadioLink &link, Trace &trace, const QString &tag,
                      const tmx9::RadioSettings &expected, int oldBaud)
{
    const int newBaud = expected.serialBaud.toInt();
    link.wait(kVerifyPauseMs);
    Outcome failure;
    int speaks = newBaud;
    auto result = readBackAt(link, newBaud, &failure);
    if (!result)
        return failure;
    const int status = result->outcome.status;
    if (!result->configuration && (status == NoAnswer || status == Undecodable)) {
        trace.note(
            QStringLiteral("no usable answer at %1 baud; verifying at the old rate").arg(newBaud),
            tag);
        speaks = oldBaud;
        if (!(result = readBackAt(link, oldBaud, &failure)))
            return failure;
    }
    if (!result->configuration) {
        QString message = QStringLiteral("written and acknowledged, but the read-back failed: ") +
                          result->outcome.message;
        if (speaks != newBaud)
            message += QStringLiteral("; it did not answer at the new rate, %1 baud, either; "
                                      "tmx9ctl detect looks for it at every rate")
                           .arg(newBaud);
        return {result->outcome.status, message};
    }
    const Comparison comparison = compareConfiguration(expected, *result->configuration);
    if (!comparison.differences.isEmpty())
        return {
            VerifyMismatch,
            QStringLiteral("written and acknowledged, but the radio reports otherwise: ") +
                comparison.differences.join(QStringLiteral("; ")) +
                QStringLiteral("; it speaks %1 baud: write again, or check the radio").arg(speaks)};
    return {
        Success,
        verifiedMessage(comparison, speaks == newBaud
                                        ? QStringLiteral("the radio now speaks %1 baud").arg(speaks)
                                        : QStringLiteral("the radio holds %1 baud but "
                                                         "still speaks %2 (it may "
                                                         "take the new rate when "
                                                         "restarted)")
                                              .arg(newBaud)
                                              .arg(speaks))};
}

// The whole write at the rate the radio speaks, which it keeps.
Outcome writeAtOneRate(const Options &options, RadioLink &link, const WriteJob &job)
{
    if (const auto failure = writePass(link, job.plan))
        return *failure;
    if (!options.verify)
        return {Success, QStringLiteral("written and acknowledged; not verified (--no-verify)")};
    link.wait(kVerifyPauseMs);
    Comparison comparison;
    if (const auto failure = verifyPass(link, job.expected, {}, &comparison))
        return *failure;
    return {Success, verifiedMessage(comparison)};
}

// A radio may take a new serial rate as soon as it acknowledges the parameter frame that carries
// it, and hear the rest of the write as noise. So the whole write goes first with the rate it
// speaks now, and is verified; then the parameter frame alone with the new rate.
Outcome writeNewRate(const Options &options, RadioLink &link, Trace &trace, const QString &tag,
                     const WriteJob &job, const tmx9::RateChangePasses &passes)
{
    const int present = link.baud();
    const int newBaud = job.expected.serialBaud.toInt();
    tmx9::RadioSettings first = job.expected;
    first.serialBaud = QString::number(present);
    trace.note(QStringLiteral("first pass: the whole write with the present serial rate, %1 baud")
                   .arg(present),
               tag);
    if (const auto failure = writePass(link, passes.keepRate))
        return *failure;
    link.wait(kVerifyPauseMs);
    if (options.verify) {
        // Until the second pass, the radio speaks the rate it spoke.
        const QString notSent =
            QStringLiteral("; its new serial rate was not sent, it still speaks %1 baud")
                .arg(present);
        Comparison comparison;
        if (const auto failure = verifyPass(link, first, notSent, &comparison))
            return *failure;
    }

    trace.note(QStringLiteral("second pass: the parameter frame with the new serial rate, %1 baud")
                   .arg(newBaud),
               tag);
    const int acknowledgements = link.runPlan(passes.newRate);
    if (link.isLost())
        return {PortUnavailable, lostMessage(link)};
    trace.note(QStringLiteral("acknowledgements of the new serial rate: %1").arg(acknowledgements),
               tag);
    // A radio that switches before it acknowledges is heard as noise: with a read-back to come,
    // that decides.
    if (options.verify)
        return verifyNewRate(link, trace, tag, job.expected, present);
    if (acknowledgements == 0)
        return {NotAcknowledged, QStringLiteral("written and acknowledged at %1 baud, but the new "
                                                "serial rate, %2, was not acknowledged: tmx9ctl "
                                                "detect finds the rate it speaks")
                                     .arg(present)
                                     .arg(newBaud)};
    return {Success, QStringLiteral("written and acknowledged; not verified (--no-verify); its "
                                    "serial baud rate is now set to %1")
                         .arg(newBaud)};
}

} // namespace

PortResult writeOne(const Options &options, Trace &trace, const QString &port, const QString &tag,
                    const WriteJob &job)
{
    trace.note(QStringLiteral("%1 %2").arg(options.command, port), tag);
    RadioLink link(trace, tag);
    std::optional<Found> found;
    if (const auto failure = connectRadio(options, link, port, &found))
        return {*failure, {}, {}, {}};
    PortResult result;
    if (options.backup) {
        if (const auto failure = keepBackup(options, link, trace, tag, found, &result.backup))
            return {*failure, {}, {}, {}};
    }
    const QString present = QString::number(link.baud());
    const tmx9::RateChangePasses passes =
        job.expected.serialBaud == present
            ? tmx9::RateChangePasses()
            : tmx9::rateChangePasses(job.plan, job.expected, present);
    result.outcome = passes.keepRate.isEmpty()
                         ? writeAtOneRate(options, link, job)
                         : writeNewRate(options, link, trace, tag, job, passes);
    return result;
}

} // namespace tmx9ctl
