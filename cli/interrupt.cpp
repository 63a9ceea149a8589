#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include "core/app_state.h"

namespace quorvel::cli {

namespace {

volatile sig_atomic_t g_interrupts = 0;
struct sigaction g_oldInt, g_oldTerm, g_oldHup;

void onSignal(int signal) {
  const sig_atomic_t before = g_interrupts;
  g_interrupts = before + 1;
  if (before > 0) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
}

}  // namespace

InterruptCancels::InterruptCancels() {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &g_oldInt);
  sigaction(SIGTERM, &sa, &g_oldTerm);
  sigaction(SIGHUP, &sa, &g_oldHup);
}

InterruptCancels::~InterruptCancels() {
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  sigaction(SIGHUP, &g_oldHup, nullptr);
}

bool InterruptCancels::poll() {
  if (g_interrupts == 0) return false;
  appState().CancelRequested = true;
  return true;
}

}  // namespace quorvel::cli
