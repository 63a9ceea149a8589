// The exit codes of the unattended run and of every subcommand, one table for both.
#pragma once

namespace quorvel::cli {

inline constexpr int kExitOk = 0;              // done, and every result was written
inline constexpr int kExitAlreadyRunning = 1;  // another Quorvel uses this application folder
inline constexpr int kExitCannotStart = 2;     // bad usage, or the work could not start
inline constexpr int kExitNotWritten =
    3;  // done, but some logs, files or settings were not written
inline constexpr int kExitMeasureFailed = 4;  // done, but the measurement failed (see each command)
inline constexpr int kExitCancelled = 130;    // interrupted (Ctrl-C), as a shell reports SIGINT

}  // namespace quorvel::cli
