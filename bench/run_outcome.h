// What a benchmark run came to, for whoever started it: an unattended run turns it into the
// program's exit code.
#pragma once

namespace quorvel {

struct RunOutcome {
  bool started = false;    // the run went through its URL list (its preparation succeeded)
  bool completed = false;  // ... to its end, without a cancel
  bool linesLost = false;  // a log it was to write could not be opened, or lost lines
};

// Exit codes of an unattended run ("quorvel auto").
enum UnattendedExit : int {
  kExitCompleted = 0,       // the run completed and every log line was written
  kExitAlreadyRunning = 1,  // another instance runs in the application folder
  kExitNotStarted = 2,      // the run could not start (no URLS.DAT, the Internet layer failed...)
  kExitIncomplete = 3,      // lines of the logs or settings could not be written, or the run
                            // was cancelled before its end
};

// settingsLost: some setting could not be stored while the program ran.
inline int UnattendedExitCode(const RunOutcome& outcome, bool settingsLost) {
  if (!outcome.started) return kExitNotStarted;
  if (!outcome.completed || outcome.linesLost || settingsLost) return kExitIncomplete;
  return kExitCompleted;
}

}  // namespace quorvel
