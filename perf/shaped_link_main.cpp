// The delay element of scripts/bench-browser.sh's lab: a LossyLink between two namespaces the
// script made, running until SIGINT or SIGTERM. What the first namespace sends on its device
// waits the delay; what the second sends passes at once (the script shapes rates with tbf).
//
// Usage: shaped_link FIRST_NS SECOND_NS FIRST_DEVICE SECOND_DEVICE DELAY_MS
// It prints "ready" once both TUN devices exist (down, without addresses: the script sets them).
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "tools/lossy_link.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: shaped_link FIRST_NS SECOND_NS FIRST_DEVICE SECOND_DEVICE DELAY_MS\n");
    return 2;
  }
  sigset_t ends;
  sigemptyset(&ends);
  sigaddset(&ends, SIGINT);
  sigaddset(&ends, SIGTERM);
  // Blocked before the link's thread starts, so only sigwait below receives them.
  pthread_sigmask(SIG_BLOCK, &ends, nullptr);

  quorvel::testing::LinkShape shape;
  shape.delayMs = std::atof(argv[5]);
  quorvel::testing::LossyLink link;
  QString why;
  if (!link.start(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                  QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]), shape, &why)) {
    std::fprintf(stderr, "shaped_link: %s\n", qPrintable(why));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  int signal = 0;
  sigwait(&ends, &signal);
  link.stop();
  std::printf("shaped_link: %lld packets delayed\n", link.packets());
  return 0;
}
