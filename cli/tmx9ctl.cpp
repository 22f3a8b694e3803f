#include "tmx9ctl.h"

#include "commandline.h"
#include "messages.h"
#include "reporter.h"
#include "trace.h"

namespace tmx9ctl {

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    QString text;
    const std::optional<Options> options = parseCommandLine(arguments, &error, &text);
    if (!options) {
        if (error.isEmpty()) {
            out << text;
            out.flush();
            return Success;
        }
        err << "tmx9ctl: " << error << "; see tmx9ctl --help\n";
        err.flush();
        return UsageError;
    }

    Trace trace;
    if (!options->tracePath.isEmpty() && !trace.open(options->tracePath, &error)) {
        err << "tmx9ctl: cannot write the trace " << printable(options->tracePath) << ": " << error
            << '\n';
        err.flush();
        return UsageError;
    }
    trace.note(QStringLiteral("tmx9ctl %1").arg(arguments.mid(1).join(QLatin1Char(' '))));

    Reporter reporter(out, err, trace);
    int status = findCommand(options->command)->run(*options, reporter);
    trace.note(QStringLiteral("exit status %1").arg(status));
    if (trace.failed()) {
        // The radios' own results come first: they say what the radios now hold.
        reporter.problem(QStringLiteral("cannot write the trace %1: %2")
                             .arg(printable(options->tracePath), trace.failure()));
        if (status == Success)
            status = UsageError;
    }
    out.flush();
    err.flush();
    return status;
}

} // namespace tmx9ctl
