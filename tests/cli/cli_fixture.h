// Runs the command line inside the test program, with its two outputs caught, in a fresh
// application folder; or runs the real program.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include "common/test_support.h"

namespace quorvel::testing {

struct CommandResult {
  int exitCode = -1;
  QByteArray out, err;
};

class CommandLineTest : public AppFolderTest {
 protected:
  void SetUp() override;
  // In this process, as `quorvel ARGS...` would.
  CommandResult run(const QStringList& args);
  // The real program, with QUORVEL_HOME set to the test's folder and no display.
  CommandResult runProgram(const QStringList& args, int timeoutMs = 60000);
};

}  // namespace quorvel::testing
