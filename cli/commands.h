#pragma once

// One function per command. Each runs on the calling thread, hands the work of each port to the
// fleet, and reports what comes back; it returns the exit status.

#include "options.h"
#include "reporter.h"

#include <optional>

namespace tmx9 {
struct RadioSettings;
}

namespace tmx9ctl {

int portsCommand(const Options &options, Reporter &reporter);
int readCommand(const Options &options, Reporter &reporter);
int checkCommand(const Options &options, Reporter &reporter);
int detectCommand(const Options &options, Reporter &reporter);
int writeCommand(const Options &options, Reporter &reporter);
int defaultCommand(const Options &options, Reporter &reporter);

// Reads and checks the profile file. The status to end with when it cannot be used, after one
// line per problem and a last line ending in `consequence`.
std::optional<int> loadProfile(const Options &options, Reporter &reporter,
                               tmx9::RadioSettings *settings, const char *consequence);

} // namespace tmx9ctl
