// Files written to a full file system and to a read-only one: the program says what failed,
// goes on working, and never loses what a file held before. Each case runs on a small tmpfs of
// its own (skipped where it cannot be mounted).
#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include "app/startup.h"
#include "bench/result_logs.h"
#include "bench/run_fakes.h"
#include "common/ftp_server.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "dialogs/frm_options.h"
#include "hardening/small_fs.h"
#include "stats/frm_statistics.h"
#include "stats/summary_log_writer.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"

namespace quorvel {
namespace {

using testing::get;
using testing::put;
using testing::SmallFs;

// A whole page of the file system: any longer text needs room that a full disk has not.
QByteArray onePage(QByteArray head) {
  head += "; " + QByteArray(4096 - 3 - head.size(), '-') + "\n";
  return head;
}
const QByteArray kOldSettings = onePage(
    "[URLInfo]\nURLFile=URLS.DAT\nLogResults=1\nURL1=http://127.0.0.1/old.htm\n"
    "[Proxy]\nUse=1\nAddress=127.0.0.1\nPort=3128\n");

QByteArray logOf(qsizetype size) {
  QByteArray data;
  while (data.size() < size)
    data += "12-01-26 09:30   1234 bytes   1.2 secs http://127.0.0.1/p.htm\r\n";
  data.truncate(size);
  return data;
}

enum Fault { kFull, kReadOnly };
const char* const kFaultNames[] = {"full disk", "read-only folder"};

class FileFaults : public testing::RunFixture {
 protected:
  // The program's folder on a small file system holding `files`, then made full or read-only.
  bool prepare(SmallFs& fs, Fault fault, const std::vector<std::pair<QString, QByteArray>>& files) {
    for (const auto& [name, data] : files) put(fs.file(name), data);
    appState().appFolder = fs.path();
    appState().settingsPath = fs.file("Quorvel.ini");
    return fault == kFull ? fs.fill() : fs.makeReadOnly();
  }
  // Names in the folder besides the filler: a failed write leaves no temporary behind.
  static QStringList entries(const SmallFs& fs) {
    QStringList names = QDir(fs.path()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(".filler");
    return names;
  }
};

TEST_F(FileFaults, SettingsKeepTheOldFile) {
  for (const Fault fault : {kFull, kReadOnly}) {
    SCOPED_TRACE(kFaultNames[fault]);
    SmallFs fs;
    REQUIRE_SMALL_FS(fs);
    ASSERT_TRUE(prepare(fs, fault, {{"Quorvel.ini", kOldSettings}}));
    const QString ini = appState().settingsPath;
    EXPECT_FALSE(WriteSetting(ini, "URLInfo", "URL1", "http://127.0.0.1/" + QString(200, u'n')));
    EXPECT_FALSE(WriteSetting(ini, "Ping", "WaitTimeout", "500"));
    // The options dialog stores the proxy on OK: the longer file does not fit.
    const WindowChoices choices = LoadStartupState(QString());
    appState().ProxyPort = "18080";
    frmOptions().onOKClicked();
    EXPECT_EQ(get(ini), kOldSettings);
    EXPECT_EQ(entries(fs), QStringList{"Quorvel.ini"});
    EXPECT_TRUE(choices.logResults);
    EXPECT_EQ(appState().urlHistory[1], "http://127.0.0.1/old.htm");
  }
  // A first start on a full disk: no settings file can be made, the defaults hold.
  SmallFs fs;
  REQUIRE_SMALL_FS(fs);
  ASSERT_TRUE(prepare(fs, kFull, {}));
  const WindowChoices choices = LoadStartupState(QString());
  EXPECT_TRUE(choices.getImages && choices.getSounds && !choices.logResults);
  const QByteArray made = get(appState().settingsPath);
  EXPECT_TRUE(made == "<missing>" || made == "[URLInfo]\nURLFile=URLS.DAT\n") << made.constData();
}

TEST_F(FileFaults, ChartFileThatCannotBeWrittenIsReportedAndKept) {
  QByteArray log;
  for (int day = 1; day <= 20; ++day)
    log += testing::summaryLine(QDate(2026, 11, day), 9, 30, 100 + day, 2.5) + "\r\n";
  writeFile("QVSum.log", log);
  const QByteArray oldChart = "11-01-26 11-02-26\r\n 1\r\n11-01-26 09 101\r\n";
  for (const Fault fault : {kFull, kReadOnly}) {
    SCOPED_TRACE(kFaultNames[fault]);
    SmallFs fs;
    REQUIRE_SMALL_FS(fs);
    ASSERT_TRUE(prepare(fs, fault, {{"chart.dat", oldChart}}));
    messages_.clear();
    frmStatistics w;
    w.show();
    testing::type(&w, "txtLogFileName", path("QVSum.log"));
    testing::click(&w, "cmdCompute");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].text.startsWith("Could not write the chart file"))
        << messages_[0].text.toStdString();
    EXPECT_EQ(get(fs.file("chart.dat")), oldChart);
    EXPECT_EQ(entries(fs), QStringList{"chart.dat"});
    // The table is computed all the same.
    EXPECT_EQ(testing::widget<QTreeWidget>(&w, "lvwStatistics")->topLevelItem(5)->text(1), "20");
  }
}

TEST_F(FileFaults, FtpDownloadThatCannotBeStoredFailsCleanly) {
  testing::FtpServer server;
  QByteArray data(300 * 1024, '\0');
  for (qsizetype i = 0; i < data.size(); ++i) data[i] = char((i * 7919) >> 3);
  server.addFile("pub/big.bin", data);
  ASSERT_TRUE(server.start()) << server.log().constData();
  const QString entry = QStringLiteral("127.0.0.1:%1/pub/big.bin").arg(server.port());
  CurlFtpClient client(FtpTimeouts{10, 10});
  for (const Fault fault : {kFull, kReadOnly}) {
    SCOPED_TRACE(kFaultNames[fault]);  // 64 KiB of room for 300 KiB
    SmallFs fs;
    REQUIRE_SMALL_FS(fs);
    ASSERT_TRUE(fault == kFull || fs.makeReadOnly());
    const FtpTestResult r = RunFTPTest(client, entry, fs.file("Quorvel.tmp"));
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.text.contains("\nTransfer failed: FTP error ")) << r.text.toStdString();
    EXPECT_FALSE(QFile::exists(fs.file("Quorvel.tmp"))) << "no partial download is left behind";
  }
  // The same client goes on working where there is room.
  EXPECT_TRUE(RunFTPTest(client, entry, path("Quorvel.tmp")).success);
  EXPECT_EQ(readFile("Quorvel.tmp"), data);
}

// A run whose logs cannot be written says so once, runs to its end and leaves the files as they
// were; with a full disk the lines it lost are reported, not a complete log.
TEST_F(FileFaults, RunsWhoseLogsCannotBeWritten) {
  const QByteArray bigLog = logOf(ResultLogs::kRotateAbove + 1), page = logOf(4096);
  const QByteArray settings = "[URLInfo]\r\nURL1=http://127.0.0.1/old.htm\r\n";
  struct Case {
    Fault fault;
    std::vector<std::pair<QString, QByteArray>> files;
    std::vector<QString> said;
  };
  for (const Case& c :
       {Case{kReadOnly,
             {{"QuorvelLog.txt", bigLog}, {"QVSum.log", page}, {"Quorvel.ini", settings}},
             {"QuorvelLog.txt could not be opened for writing",
              "QVSum.log could not be opened for writing"}},
        Case{kFull,
             {{"QuorvelLog.txt", page}, {"QVSum.log", page}},
             {"could not be written to QuorvelLog.txt", "could not be written to QVSum.log"}}}) {
    SCOPED_TRACE(kFaultNames[c.fault]);
    SmallFs fs(c.fault == kReadOnly ? 2 * 1024 * 1024 : 64 * 1024);
    REQUIRE_SMALL_FS(fs);
    ASSERT_TRUE(prepare(fs, c.fault, c.files));
    view_ = {};
    view_.url = "http://127.0.0.1/new.htm";
    net_.answer(view_.url, QByteArray(64 * 1024, 'x'));
    run();
    ASSERT_FALSE(view_.messages.empty());
    EXPECT_TRUE(c.fault == kReadOnly || view_.messages.size() == 1u);  // once, at the end
    for (const QString& s : c.said)
      EXPECT_TRUE(view_.messages[0].text.contains(s)) << view_.messages[0].text.toStdString();
    EXPECT_EQ(view_.statuses.last(), "Done");
    EXPECT_EQ(view_.totals.back().validUrls, "1");
    EXPECT_TRUE(get(fs.file("QuorvelLog.txt")).startsWith(c.files[0].second));
    EXPECT_TRUE(get(fs.file("QVSum.log")).startsWith(page));
    if (c.fault == kReadOnly) {
      EXPECT_EQ(get(fs.file("QuorvelLog.txt")), bigLog);  // not rotated either
      EXPECT_EQ(get(fs.file("Quorvel.ini")), settings);   // nor the history stored
      EXPECT_EQ(entries(fs), QStringList({"Quorvel.ini", "QuorvelLog.txt", "QVSum.log"}));
    }
  }
}

// The copy of a rotated log runs out of room only for its last few bytes: the copy counts as
// failed, the old copy and the log stay as they were.
TEST_F(FileFaults, RotationThatRunsOutOfRoomAtTheEndKeepsTheLog) {
  const QByteArray old = logOf(128 * 4096 + 100), oldBak = "the copy of the last rotation\r\n";
  SmallFs fs((129 + 1 + 128) * 4096);
  REQUIRE_SMALL_FS(fs);
  put(fs.file("QuorvelLog.txt"), old);
  put(fs.file("QuorvelLog.bak"), oldBak);
  ResultLogs logs(fs.path(), env_.now);
  EXPECT_TRUE(
      logs.open(false).join(' ').contains("QuorvelLog.txt could not be copied to QuorvelLog.bak"));
  logs.close();
  EXPECT_TRUE(get(fs.file("QuorvelLog.txt")).startsWith(old));
  EXPECT_EQ(get(fs.file("QuorvelLog.bak")), oldBak);
}

}  // namespace
}  // namespace quorvel
