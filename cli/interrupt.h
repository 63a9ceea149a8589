// Ctrl-C (SIGINT), SIGTERM and a hang-up (SIGHUP: the terminal or the session closed) during
// a command: the first one asks the work under way to stop, as Cancel does in the windows (the
// run, the ping, the trace look at CancelRequested while they wait); a second one ends the
// program at once.
#pragma once

namespace quorvel::cli {

class InterruptCancels {
 public:
  InterruptCancels();
  ~InterruptCancels();
  InterruptCancels(const InterruptCancels&) = delete;
  InterruptCancels& operator=(const InterruptCancels&) = delete;

  // True once an interrupt came; also sets CancelRequested. Called where events are processed.
  static bool poll();
};

}  // namespace quorvel::cli
