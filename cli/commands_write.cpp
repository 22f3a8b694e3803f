// The commands that write: write and default.
#include "commands.h"

#include "cappedfile.h"
#include "fleet.h"
#include "messages.h"
#include "profile.h"
#include "trace.h"

namespace tmx9ctl {

namespace {

int writeAll(const Options &options, Reporter &reporter, const WriteJob &job)
{
    if (!options.backup)
        reporter.problem(QStringLiteral("no backup (--no-backup): what the radios hold now is "
                                        "written over unseen"));
    forEachPort(
        options.ports,
        [&](const QString &port, const QString &tag) {
            return writeOne(options, reporter.trace(), port, tag, job);
        },
        [&](const QString &port, const PortResult &result) {
            if (!result.backup.isEmpty())
                reporter.result(port, result.backup);
            if (result.outcome.status == Success)
                reporter.result(port, result.outcome.message);
            else
                reporter.fail(port, result.outcome);
        });
    return reporter.status();
}

} // namespace

std::optional<int> loadProfile(const Options &options, Reporter &reporter,
                               tmx9::RadioSettings *settings, const char *consequence)
{
    const QString path = printable(options.profilePath);
    QString error;
    const auto json = tmx9::readCappedFile(options.profilePath, kMaxProfileBytes, &error);
    if (!json) {
        reporter.err() << path << ": cannot read the profile: " << error << "; " << consequence
                       << '\n';
        reporter.err().flush();
        return InvalidProfile;
    }
    const QStringList problems = readProfile(*json, settings);
    if (problems.isEmpty())
        return std::nullopt;
    for (const QString &problem : problems)
        reporter.err() << path << ": " << problem << '\n';
    reporter.err() << path << ": " << problems.size()
                   << (problems.size() == 1 ? " problem" : " problems") << "; " << consequence
                   << '\n';
    reporter.err().flush();
    reporter.trace().note(QStringLiteral("profile %1 refused; nothing sent").arg(path));
    return InvalidProfile;
}

int writeCommand(const Options &options, Reporter &reporter)
{
    tmx9::RadioSettings settings;
    if (const auto status =
            loadProfile(options, reporter, &settings, "nothing was sent to any radio"))
        return *status;
    return writeAll(options, reporter, {tmx9::writeConfigPlan(settings), settings});
}

int defaultCommand(const Options &options, Reporter &reporter)
{
    return writeAll(options, reporter, {tmx9::writeDefaultPlan(), tmx9::defaultSettings()});
}

} // namespace tmx9ctl
