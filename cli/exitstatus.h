#pragma once

#include <QString>

namespace tmx9ctl {

// Exit statuses of tmx9ctl; scripts rely on the numbers, so they never change meaning.
enum ExitStatus {
    Success = 0,
    UsageError = 1,      // bad command line, or a trace or output file that cannot be written
    InvalidProfile = 2,  // profile or trace unreadable or invalid: nothing was sent
    PortUnavailable = 3, // the port cannot be opened, or failed during the exchange
    NoAnswer = 4,        // nothing came back within the read time-out
    Undecodable = 5,     // an answer came back but cannot be decoded
    NotAcknowledged = 6, // no write acknowledgement while the write ran
    VerifyMismatch = 7,  // acknowledged, but the read-back differs; check: differs from the profile
    BackupFailed = 8,    // what the radio held could not be read or kept: nothing was sent to it
};

// One line per status, as --help and the README list them.
QString exitStatusHelp();

} // namespace tmx9ctl
