// Files written to a full file system and to a read-only one: the program says what failed,
// goes on working, and never loses what the file held before.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/app_state.h"
#include "app/settings.h"
#include "app/startup.h"
#include "bench/result_logs.h"
#include "common/test_support.h"
#include "dialogs/frm_options.h"
#include "hardening/small_fs.h"
#include "stats/frm_statistics.h"
#include "stats/summary_log_writer.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"
#include "tools/test_ftp_server.h"

namespace quorvel {
namespace {

using testing::SmallFs;

// A whole page of the file system: any longer text needs room that a full disk has not.
const QByteArray kOldSettings = [] {
  QByteArray s =
      "[URLInfo]\nURLFile=URLS.DAT\nLogResults=1\nURL1=http://127.0.0.1/old.htm\n"
      "[Proxy]\nUse=1\nAddress=127.0.0.1\nPort=3128\n; ";
  s += QByteArray(4096 - 1 - s.size(), '-') + "\n";
  return s;
}();

class FileFaults : public testing::AppFolderTest {
 protected:
  // Points the program's folder at the small file system.
  void useFolder(const SmallFs& fs) {
    appState().appFolder = fs.path();
    appState().settingsPath = fs.file(QStringLiteral("Quorvel.ini"));
  }
  static void put(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
  }
  static QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  // Names in the folder other than the filler: a failed write must leave no temporary behind.
  static QStringList entries(const SmallFs& fs) {
    QStringList names =
        QDir(fs.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral(".filler"));
    return names;
  }
  void writeLog() {
    QByteArray data;
    for (int day = 1; day <= 20; ++day)
      data += testing::summaryLine(QDate(2026, 11, day), 9, 30, 100 + day, 2.5) + "\r\n";
    writeFile(QStringLiteral("QVSum.log"), data);
  }
};

TEST_F(FileFaults, SettingsOnAFullDiskKeepTheOldFile) {
  SmallFs fs;
  REQUIRE_SMALL_FS(fs);
  useFolder(fs);
  const QString ini = appState().settingsPath;
  put(ini, kOldSettings);
  ASSERT_TRUE(fs.fill());

  EXPECT_FALSE(WriteSetting(ini, QStringLiteral("URLInfo"), QStringLiteral("URL1"),
                            QStringLiteral("http://127.0.0.1/") + QString(200, u'n')));
  EXPECT_FALSE(WriteSetting(ini, QStringLiteral("Ping"), QStringLiteral("WaitTimeout"),
                            QStringLiteral("500")));
  EXPECT_EQ(get(ini), kOldSettings);
  EXPECT_EQ(entries(fs), QStringList{QStringLiteral("Quorvel.ini")});
  EXPECT_EQ(ReadSetting(ini, QStringLiteral("Proxy"), QStringLiteral("Port")).value,
            QStringLiteral("3128"));

  // The options dialog stores the proxy on OK: the longer file does not fit, the old one stays.
  LoadStartupState(QString());
  appState().ProxyPort = QStringLiteral("18080");
  {
    frmOptions options;
    options.onOKClicked();
  }
  EXPECT_EQ(get(ini), kOldSettings);

  // A first start on a full disk: no settings file can be made, the defaults hold.
  ASSERT_TRUE(QFile::remove(ini));
  ASSERT_TRUE(fs.fill());
  const WindowChoices choices = LoadStartupState(QString());
  EXPECT_TRUE(choices.getImages);
  EXPECT_TRUE(choices.getSounds);
  EXPECT_FALSE(choices.logResults);
  const QByteArray made = get(ini);
  EXPECT_TRUE(made == "<missing>" || made == "[URLInfo]\nURLFile=URLS.DAT\n") << made.constData();
  EXPECT_TRUE(entries(fs).isEmpty() || entries(fs) == QStringList{QStringLiteral("Quorvel.ini")});
}

TEST_F(FileFaults, SettingsInAReadOnlyFolderKeepTheOldFile) {
  SmallFs fs;
  REQUIRE_SMALL_FS(fs);
  useFolder(fs);
  const QString ini = appState().settingsPath;
  put(ini, kOldSettings);
  ASSERT_TRUE(fs.makeReadOnly());

  EXPECT_FALSE(WriteSetting(ini, QStringLiteral("URLInfo"), QStringLiteral("URL1"),
                            QStringLiteral("http://127.0.0.1/new.htm")));
  EXPECT_EQ(get(ini), kOldSettings);
  const WindowChoices choices = LoadStartupState(QString());
  EXPECT_TRUE(choices.logResults);
  EXPECT_EQ(appState().ProxyPort, QStringLiteral("3128"));
  EXPECT_EQ(appState().urlHistory[1], QStringLiteral("http://127.0.0.1/old.htm"));
}

TEST_F(FileFaults, ChartFileThatCannotBeWrittenIsReportedAndKept) {
  for (const bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only folder" : "full disk");
    SmallFs fs;
    REQUIRE_SMALL_FS(fs);
    writeLog();
    const QString logPath = path(QStringLiteral("QVSum.log"));
    useFolder(fs);
    const QString chart = fs.file(QStringLiteral("chart.dat"));
    const QByteArray oldChart = "11-01-26 11-02-26\r\n 1\r\n11-01-26 09 101\r\n";
    put(chart, oldChart);
    ASSERT_TRUE(readOnly ? fs.makeReadOnly() : fs.fill());

    messages_.clear();
    frmStatistics w;
    w.findChild<QLineEdit*>(QStringLiteral("txtLogFileName"))->setText(logPath);
    w.onComputeClicked();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].text.startsWith(QStringLiteral("Could not write the chart file")))
        << messages_[0].text.toStdString();
    EXPECT_EQ(get(chart), oldChart);
    EXPECT_EQ(entries(fs), QStringList{QStringLiteral("chart.dat")});
    // The table is computed all the same.
    QTreeWidgetItem* total =
        w.findChild<QTreeWidget*>(QStringLiteral("lvwStatistics"))->topLevelItem(5);
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->text(1), QStringLiteral("20"));
  }
}

TEST_F(FileFaults, FtpDownloadThatCannotBeStoredFailsCleanly) {
  testing::FtpServer server;
  QByteArray data(300 * 1024, '\0');
  for (qsizetype i = 0; i < data.size(); ++i) data[i] = char((i * 7919) >> 3);
  server.addFile(QStringLiteral("pub/big.bin"), data);
  ASSERT_TRUE(server.start()) << server.log().constData();
  const QString entry = QStringLiteral("127.0.0.1:%1/pub/big.bin").arg(server.port());
  CurlFtpClient client(FtpTimeouts{10, 10});

  for (const bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only folder" : "full disk (64 KiB for 300 KiB)");
    SmallFs fs;
    REQUIRE_SMALL_FS(fs);
    if (readOnly) {
      ASSERT_TRUE(fs.makeReadOnly());
    }
    const QString tmp = fs.file(QStringLiteral("Quorvel.tmp"));
    const FtpTestResult r = RunFTPTest(client, entry, tmp);
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.text.contains(QStringLiteral("\nTransfer failed: FTP error ")))
        << r.text.toStdString();
    EXPECT_FALSE(QFile::exists(tmp)) << "no partial download is left behind";
  }

  // The same client goes on working where there is room.
  const FtpTestResult ok = RunFTPTest(client, entry, path(QStringLiteral("Quorvel.tmp")));
  EXPECT_TRUE(ok.success) << ok.text.toStdString();
  EXPECT_EQ(readFile(QStringLiteral("Quorvel.tmp")), data);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

class ResultLogFaults : public FileFaults {
 protected:
  static std::function<QDateTime()> clock() {
    return [] { return QDateTime(QDate(2026, 12, 1), QTime(9, 30)); };
  }
  static QByteArray logOf(qsizetype size) {
    QByteArray data;
    while (data.size() < size)
      data += "12-01-26 09:30   1234 bytes   1.2 secs http://127.0.0.1/p.htm\r\n";
    data.truncate(size);
    return data;
  }
};

TEST_F(ResultLogFaults, RotationInAReadOnlyFolderKeepsTheLogAndSaysSo) {
  SmallFs fs(2 * 1024 * 1024);
  REQUIRE_SMALL_FS(fs);
  const QByteArray old = logOf(ResultLogs::kRotateAbove + 1);
  put(fs.file(QStringLiteral("QuorvelLog.txt")), old);
  put(fs.file(QStringLiteral("QVSum.log")), "summary\r\n");
  ASSERT_TRUE(fs.makeReadOnly());

  ResultLogs logs(fs.path(), clock());
  const QStringList problems = logs.open(false);
  ASSERT_FALSE(problems.isEmpty());
  // A log that cannot be written is not rotated either.
  EXPECT_TRUE(problems.join(' ').contains(
      QStringLiteral("QuorvelLog.txt could not be opened for writing (Read-only file system)")))
      << problems.join('\n').toStdString();
  logs.fileLine(QStringLiteral("http://127.0.0.1/a.htm"), 10, 20, 0);
  logs.close();
  EXPECT_EQ(get(fs.file(QStringLiteral("QuorvelLog.txt"))), old);
  EXPECT_EQ(get(fs.file(QStringLiteral("QVSum.log"))), QByteArray("summary\r\n"));
  QStringList names = entries(fs);
  names.sort();
  EXPECT_EQ(names, QStringList({QStringLiteral("QVSum.log"), QStringLiteral("QuorvelLog.txt")}));
}

// The copy of a rotated log runs out of room only for its last few bytes: the copy must count
// as failed, the old copy and the log must stay as they were.
TEST_F(ResultLogFaults, RotationThatRunsOutOfRoomAtTheEndKeepsTheLog) {
  const qsizetype page = 4096;
  const QByteArray old = logOf(128 * page + 100);  // 129 pages; the copy's last 100 bytes won't fit
  const QByteArray oldBak = "the copy of the last rotation\r\n";
  SmallFs fs((129 + 1 + 128) * page);
  REQUIRE_SMALL_FS(fs);
  put(fs.file(QStringLiteral("QuorvelLog.txt")), old);
  put(fs.file(QStringLiteral("QuorvelLog.bak")), oldBak);

  ResultLogs logs(fs.path(), clock());
  const QStringList problems = logs.open(false);
  EXPECT_TRUE(problems.join(' ').contains(
      QStringLiteral("QuorvelLog.txt could not be copied to QuorvelLog.bak")))
      << problems.join('\n').toStdString();
  logs.close();
  EXPECT_TRUE(get(fs.file(QStringLiteral("QuorvelLog.txt"))).startsWith(old));
  EXPECT_EQ(get(fs.file(QStringLiteral("QuorvelLog.bak"))), oldBak);
}

TEST_F(ResultLogFaults, LinesOnAFullDiskLeaveWhatWasThere) {
  SmallFs fs;
  REQUIRE_SMALL_FS(fs);
  const QByteArray old = logOf(3000);
  put(fs.file(QStringLiteral("QuorvelLog.txt")), old);
  put(fs.file(QStringLiteral("QVSum.log")), "summary\r\n");
  ASSERT_TRUE(fs.fill());

  ResultLogs logs(fs.path(), clock());
  logs.open(true);
  for (int i = 0; i < 100; ++i)
    logs.fileLine(QStringLiteral("http://127.0.0.1/a.htm"), 1000 + i, 20, i % 2 ? 0 : 12007);
  RunTotals totals;
  logs.runSummary(totals);
  // The loss is told, once for each log that lost lines. (The short summary line may still
  // fit in the last page of its file.)
  const QStringList problems = logs.writeProblems();
  ASSERT_FALSE(problems.isEmpty());
  EXPECT_EQ(
      problems.front(),
      QStringLiteral("Some lines could not be written to QuorvelLog.txt (is the disk full?)."));
  EXPECT_EQ(problems.count(problems.front()), 1);
  logs.close();
  EXPECT_TRUE(get(fs.file(QStringLiteral("QuorvelLog.txt"))).startsWith(old));
  EXPECT_TRUE(get(fs.file(QStringLiteral("QVSum.log"))).startsWith("summary\r\n"));
}

}  // namespace
}  // namespace quorvel
