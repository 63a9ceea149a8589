// The exit codes of the program: the unattended run and every command use this one table.
#pragma once

namespace quorvel {

inline constexpr int kExitOk = 0;              // done, and every result was written
inline constexpr int kExitAlreadyRunning = 1;  // another Quorvel uses this application folder
inline constexpr int kExitCannotStart = 2;     // bad usage, or the work could not start
inline constexpr int kExitNotWritten = 3;  // done (or cancelled), but results were not all written
inline constexpr int kExitMeasureFailed = 4;  // done, but the measurement failed (see each command)
inline constexpr int kExitCancelled = 130;    // a command interrupted (Ctrl-C), as a shell reports

}  // namespace quorvel
