// What a benchmark run came to, for whoever started it: an unattended run turns it into the
// program's exit code.
#pragma once

#include "core/exit_codes.h"

namespace quorvel {

struct RunOutcome {
  bool started = false;    // the run went through its URL list (its preparation succeeded)
  bool completed = false;  // ... to its end, without a cancel
  bool linesLost = false;  // a log it was to write could not be opened, or lost lines
};

// settingsLost: some setting could not be stored while the program ran.
// The exit code of an unattended run ("quorvel auto"): 0 when it completed and every log line
// was written; 2 when it could not start (no URLS.DAT, the Internet layer failed, ...); 3 when
// lines of the logs or settings could not be written, or the run was cancelled before its end.
inline int UnattendedExitCode(const RunOutcome& outcome, bool settingsLost) {
  if (!outcome.started) return kExitCannotStart;
  if (!outcome.completed || outcome.linesLost || settingsLost) return kExitNotWritten;
  return kExitOk;
}

}  // namespace quorvel
