// A fixture that drives benchmark runs in a fresh application folder with a fixed date.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "app/app_state.h"
#include "app/number_format.h"
#include "bench/benchmark_run.h"
#include "common/test_support.h"
#include "qt_print.h"
#include "run_fakes.h"

namespace quorvel::testing {

inline const QString kRunDate = QStringLiteral("03-04-26 07:05");

class RunFixture : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    setGroupSeparatorForTesting(QLatin1Char(','));
    env_.now = [] { return QDateTime(QDate(2026, 3, 4), QTime(7, 5, 30)); };
    env_.printSummary = [this](const QString& line) { printed_ << line; };
  }
  void TearDown() override {
    setGroupSeparatorForTesting(QChar());
    AppFolderTest::TearDown();
  }

  // The lines of a log file, split at CR LF (a last empty piece is dropped).
  QStringList logLines(const QString& name) const {
    QStringList lines = QString::fromUtf8(readFile(name)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }

  QStringList printed_;
  RunEnvironment env_;
};

}  // namespace quorvel::testing
