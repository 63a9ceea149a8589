// Runs the command line inside the test program, with its two outputs caught, in a fresh
// application folder; or the real program, with no display.
#pragma once

#include <QJsonObject>

#include "common/test_support.h"

namespace quorvel::testing {

class CommandLineTest : public AppFolderTest {
 protected:
  void SetUp() override;
  // In this process, as `quorvel ARGS...` would.
  Ended run(const QStringList& args);
  Ended runProgram(const QStringList& args, int timeoutMs = 60000) {
    return runQuorvel(dir_.path(), args, timeoutMs, false);
  }
};

QJsonObject jsonOf(const QByteArray& text);

}  // namespace quorvel::testing
