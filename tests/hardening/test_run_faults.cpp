// A benchmark run whose logs and settings cannot be written: it says so, runs to the end with
// its totals, and leaves the files as they were.
#include <gtest/gtest.h>

#include <QFile>

#include "bench/result_logs.h"
#include "bench/run_test_fixture.h"
#include "hardening/small_fs.h"

namespace quorvel {
namespace {

using testing::FakeClock;
using testing::FakeInternet;
using testing::FakeRunView;
using testing::SmallFs;

class RunFaults : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    env_.clockMicros = [this] { return clock_.micros(); };
  }
  static QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  FakeClock clock_;
  FakeRunView view_;
  FakeInternet net_{&clock_};
};

TEST_F(RunFaults, LogsAndHistoryInAReadOnlyFolder) {
  SmallFs fs(2 * 1024 * 1024);
  REQUIRE_SMALL_FS(fs);
  QByteArray oldLog;
  while (oldLog.size() <= ResultLogs::kRotateAbove) oldLog += "an earlier line of the main log\r\n";
  const QByteArray oldSummary = "03-03-26 07:05   10.0 Kbps   1.0 PageAvg\r\n";
  const QByteArray oldSettings = "[URLInfo]\r\nURL1=http://127.0.0.1/old.htm\r\n";
  for (const auto& [name, data] : {std::pair{QStringLiteral("QuorvelLog.txt"), oldLog},
                                   std::pair{QStringLiteral("QVSum.log"), oldSummary},
                                   std::pair{QStringLiteral("Quorvel.ini"), oldSettings}}) {
    QFile f(fs.file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
  }
  ASSERT_TRUE(fs.makeReadOnly());
  appState().appFolder = fs.path();
  appState().settingsPath = fs.file(QStringLiteral("Quorvel.ini"));

  view_.url = QStringLiteral("http://127.0.0.1/new.htm");
  view_.logging = true;
  FakeInternet::Answer page;
  page.body = "<html>a page</html>";
  net_.answers[view_.url] = page;
  RunBenchmark(view_, net_, env_);

  ASSERT_FALSE(view_.messages.empty());
  const QString said = view_.messages.front().text;
  EXPECT_TRUE(said.contains(QStringLiteral("QuorvelLog.txt could not be opened for writing")))
      << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("QVSum.log could not be opened for writing")))
      << said.toStdString();
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Done"));
  ASSERT_FALSE(view_.totals.empty());
  EXPECT_EQ(view_.totals.back().validUrls, QStringLiteral("1"));
  EXPECT_EQ(get(fs.file(QStringLiteral("QuorvelLog.txt"))), oldLog);
  EXPECT_EQ(get(fs.file(QStringLiteral("QVSum.log"))), oldSummary);
  EXPECT_EQ(get(fs.file(QStringLiteral("Quorvel.ini"))), oldSettings);
}

// The disk fills up before the run: the logs open, their lines are lost, and the run says so
// once at its end instead of reporting a complete log.
TEST_F(RunFaults, LinesLostOnAFullDiskAreReported) {
  SmallFs fs;
  REQUIRE_SMALL_FS(fs);
  // A whole page of earlier lines, so that not even a short line fits in its last page.
  QByteArray oldLog;
  while (oldLog.size() < 4096) oldLog += "an earlier line\r\n";
  oldLog.truncate(4096);
  for (const QString& name : {QStringLiteral("QuorvelLog.txt"), QStringLiteral("QVSum.log")}) {
    QFile f(fs.file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(oldLog), oldLog.size());
  }
  ASSERT_TRUE(fs.fill());
  appState().appFolder = fs.path();
  appState().settingsPath = fs.file(QStringLiteral("Quorvel.ini"));

  view_.url = QStringLiteral("http://127.0.0.1/new.htm");
  view_.logging = true;
  FakeInternet::Answer page;
  page.body = QByteArray(64 * 1024, 'x');
  net_.answers[view_.url] = page;
  RunBenchmark(view_, net_, env_);

  ASSERT_EQ(view_.messages.size(), 1u);
  const QString said = view_.messages.front().text;
  EXPECT_TRUE(said.contains(QStringLiteral("could not be written to QuorvelLog.txt")))
      << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("could not be written to QVSum.log")))
      << said.toStdString();
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Done"));
  EXPECT_TRUE(get(fs.file(QStringLiteral("QuorvelLog.txt"))).startsWith(oldLog));
  EXPECT_TRUE(get(fs.file(QStringLiteral("QVSum.log"))).startsWith(oldLog));
}

}  // namespace
}  // namespace quorvel
