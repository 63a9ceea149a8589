// The FTP download test without its window: entry splitting, the report lines, the recent
// list, and downloads from a real FTP server on loopback.
#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <random>

#include "core/app_state.h"
#include "core/limit_setting.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "common/test_support.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"
#include "tools/ftp_parms.h"
#include "tools/ftp_recent.h"
#include "tools/test_ftp_server.h"

namespace quorvel::testing {
namespace {

QByteArray randomBytes(int n) {
  std::mt19937 gen(12345);
  QByteArray data(n, '\0');
  for (char& c : data) c = static_cast<char>(gen() & 0xFF);
  return data;
}

std::pair<QString, QString> parms(const QString& entry) {
  QString server = QStringLiteral("old"), file = QStringLiteral("old");
  GetFTPParms(entry, server, file);
  return {server, file};
}

using Parms = std::pair<QString, QString>;

TEST(FtpParms, SplitsEntries) {
  EXPECT_EQ(parms("ftp.example.org/pub/dir/file.ext"),
            Parms("ftp.example.org", "/pub/dir/file.ext"));
  EXPECT_EQ(parms("ftp://ftp.example.org/pub/f.zip"), Parms("ftp.example.org", "/pub/f.zip"));
  EXPECT_EQ(parms("ftp.example.org\\pub\\f.zip"), Parms("ftp.example.org", "/pub/f.zip"));
  EXPECT_EQ(parms("ftp:\\\\ftp.example.org\\f.zip"), Parms("ftp.example.org", "/f.zip"));
  EXPECT_EQ(parms("127.0.0.1:2121/a/b"), Parms("127.0.0.1:2121", "/a/b"));
  EXPECT_EQ(parms("host/"), Parms("host", "/"));
  // No '/' after the host: both empty, so the connection fails.
  EXPECT_EQ(parms("ftp.example.org"), Parms("", ""));
  EXPECT_EQ(parms("ftp://ftp.example.org"), Parms("", ""));
  EXPECT_EQ(parms(""), Parms("", ""));
  EXPECT_EQ(parms("/f.zip"), Parms("", "/f.zip"));
}

class FtpReport : public ::testing::Test {
 protected:
  void SetUp() override { setGroupSeparatorForTesting(QLatin1Char(',')); }
  void TearDown() override { setGroupSeparatorForTesting(QChar()); }
};

TEST_F(FtpReport, BytesSecondsAndThroughput) {
  // Times in microseconds.
  EXPECT_EQ(FtpBytesLine(1000000, 2'000'000), "1,000,000 bytes transferred in 2.0 secs");
  EXPECT_EQ(FtpThroughputText(1000000, 2'000'000), "4,000.0 Kbps");
  EXPECT_EQ(FtpThroughputText(1000000, 0), "0 Kbps");
  EXPECT_EQ(FtpThroughputText(0, 1'500'000), "0 Kbps");
  EXPECT_EQ(FtpBytesLine(0, 0), "0 bytes transferred in 0.0 secs");
  EXPECT_EQ(FtpBytesLine(512, 49'000), "512 bytes transferred in 0.0 secs");
  EXPECT_EQ(FtpBytesLine(512, 50'000), "512 bytes transferred in 0.1 secs");
  EXPECT_EQ(FtpThroughputText(1, 3'000), "2.7 Kbps");
  // A transfer of less than a millisecond still has a throughput.
  EXPECT_EQ(FtpThroughputText(1'000'000, 500), "16,000,000.0 Kbps");
  // Files beyond 268,435,456 bytes (where bytes * 8 leaves 32 bits) and beyond 4 GB.
  EXPECT_EQ(FtpThroughputText(300000000, 1'000'000), "2,400,000.0 Kbps");
  EXPECT_EQ(FtpBytesLine(5000000000LL, 4294967295000LL),
            "5,000,000,000 bytes transferred in 4,294,967.3 secs");
  EXPECT_EQ(FtpThroughputText(5000000000LL, 8'000'000), "5,000,000.0 Kbps");
}

class FtpRecentList : public AppFolderTest {};

TEST_F(FtpRecentList, DefaultsLoadAndGaps) {
  RemoteFileList list;
  list.load(appState().settingsPath);
  EXPECT_EQ(list.entries(), RemoteFileList::defaults());
  EXPECT_EQ(list.entries().size(), 3);
  EXPECT_FALSE(QFile::exists(appState().settingsPath));  // loading writes nothing

  WriteSetting(appState().settingsPath, "FTP", "File2", "b.example/two");
  WriteSetting(appState().settingsPath, "FTP", "File5", "e.example/five");
  RemoteFileList stored;
  stored.load(appState().settingsPath);
  EXPECT_EQ(stored.entries(), QStringList({"b.example/two", "e.example/five"}));
  EXPECT_EQ(stored.slot(1), "");
  EXPECT_EQ(stored.slot(5), "e.example/five");
}

TEST_F(FtpRecentList, MoveToTopSaveAndRemove) {
  RemoteFileList list;
  for (int i = 1; i <= 10; ++i) list.moveToTop(QStringLiteral("h%1/f").arg(i));
  EXPECT_EQ(list.slot(1), "h10/f");
  EXPECT_EQ(list.slot(10), "h1/f");

  // Same entry in another case: one entry, moved up, in the case last used.
  list.moveToTop("H4/F");
  EXPECT_EQ(list.entries().size(), 10);
  EXPECT_EQ(list.slot(1), "H4/F");
  EXPECT_EQ(list.slot(2), "h10/f");
  EXPECT_EQ(list.slot(7), "h5/f");
  EXPECT_EQ(list.slot(8), "h3/f");
  EXPECT_EQ(list.entries().filter("h4/f", Qt::CaseInsensitive).size(), 1);

  // An eleventh new entry pushes the oldest out.
  list.moveToTop("new/f");
  EXPECT_EQ(list.slot(1), "new/f");
  EXPECT_EQ(list.slot(10), "h2/f");
  EXPECT_FALSE(list.entries().contains("h1/f"));

  list.save(appState().settingsPath);
  RemoteFileList reread;
  reread.load(appState().settingsPath);
  EXPECT_EQ(reread.entries(), list.entries());

  // Removing moves the later slots up and frees slot 10; empty slots are saved empty.
  EXPECT_TRUE(list.remove("h10/F"));
  EXPECT_FALSE(list.remove("not/there"));
  EXPECT_FALSE(list.remove(""));
  EXPECT_EQ(list.slot(3), "h9/f");
  EXPECT_EQ(list.slot(10), "");
  list.save(appState().settingsPath);
  EXPECT_EQ(ReadSetting(appState().settingsPath, "FTP", "File10").length, 0);
  EXPECT_EQ(ReadSetting(appState().settingsPath, "FTP", "File9").value, "h2/f");
  EXPECT_TRUE(readFile("Quorvel.ini").contains("File10="));
}

// Downloads from a real FTP server on loopback.
class FtpDownload : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    setGroupSeparatorForTesting(QLatin1Char(','));
  }
  void TearDown() override {
    setGroupSeparatorForTesting(QChar());
    AppFolderTest::TearDown();
  }
  QString tmpFile() const { return appState().filePath("Quorvel.tmp"); }
  QString local(quint16 port) const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

TEST_F(FtpDownload, FetchesAKnownFileAndReportsIt) {
  FtpServer server;
  const QByteArray data = randomBytes(1234567);
  server.addFile("pub/data/file.bin", data);
  server.addFile("empty.txt", {});
  ASSERT_TRUE(server.start()) << server.log().constData();

  writeFile("Quorvel.tmp", "stale contents of an earlier run");
  CurlFtpClient client(FtpTimeouts{5, 5});
  std::vector<QString> shown;
  const QString entry = local(server.port()) + "/pub/data/file.bin";
  FtpTestResult r =
      RunFTPTest(client, entry, tmpFile(), [&](const QString& s) { shown.push_back(s); });
  ASSERT_TRUE(r.success) << r.text.toStdString();
  EXPECT_EQ(readFile("Quorvel.tmp"), data);
  EXPECT_EQ(r.bytes, data.size());

  const QStringList lines = r.text.split('\n');
  ASSERT_EQ(lines.size(), 6) << r.text.toStdString();
  EXPECT_EQ(lines[0], "Connecting to " + local(server.port()) + " ... success.");
  EXPECT_EQ(lines[1], "Downloading /pub/data/file.bin ... success.");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3],
            "1,234,567 bytes transferred in " + formatMask(r.micros / 1e6, "###,##0.0") + " secs");
  EXPECT_TRUE(
      QRegularExpression(
          "^[0-9]{1,3}(,[0-9]{3})* bytes transferred in [0-9]{1,3}(,[0-9]{3})*\\.[0-9] secs$")
          .match(lines[3])
          .hasMatch());
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "Throughput = " + FtpThroughputText(r.bytes, r.micros));
  EXPECT_TRUE(QRegularExpression("^Throughput = ([0-9]{1,3}(,[0-9]{3})*\\.[0-9] Kbps|0 Kbps)$")
                  .match(lines[5])
                  .hasMatch());
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Connecting to " + local(server.port()) + " ...");
  EXPECT_EQ(shown[1], lines[0] + "\nDownloading /pub/data/file.bin ...");

  // The retrieval went over the logged-in connection: one log-in for the whole test.
  EXPECT_EQ(server.log().count("logged in"), 1) << server.log().constData();

  // The same client runs again; a scheme and backslashes in the entry work alike; an
  // empty file is a success of 0 bytes.
  r = RunFTPTest(client, "ftp://" + local(server.port()) + "\\empty.txt", tmpFile());
  ASSERT_TRUE(r.success) << r.text.toStdString();
  EXPECT_EQ(r.bytes, 0);
  EXPECT_TRUE(QFile::exists(tmpFile()));
  EXPECT_TRUE(r.text.endsWith("\n\n0 bytes transferred in " +
                              formatMask(r.micros / 1e6, "###,##0.0") +
                              " secs\n\nThroughput = 0 Kbps"))
      << r.text.toStdString();
}

TEST_F(FtpDownload, MissingFileAndBadPathsFailTheTransfer) {
  FtpServer server;
  server.addFile("pub/there.txt", "x");
  ASSERT_TRUE(server.start()) << server.log().constData();
  CurlFtpClient client(FtpTimeouts{5, 5});
  const QString host = local(server.port());

  writeFile("Quorvel.tmp", "stale");
  FtpTestResult r = RunFTPTest(client, host + "/pub/missing.bin", tmpFile());
  EXPECT_FALSE(r.success);
  EXPECT_EQ(r.text, "Connecting to " + host +
                        " ... success.\nDownloading /pub/missing.bin ...\n"
                        "Transfer failed: FTP error 12003");
  EXPECT_FALSE(QFile::exists(tmpFile()));

  // A directory is not a file; a line break in the path never reaches the server as a command.
  r = RunFTPTest(client, host + "/pub/", tmpFile());
  EXPECT_TRUE(r.text.endsWith("Transfer failed: FTP error 12003")) << r.text.toStdString();
  r = RunFTPTest(client, host + "/pub/x\r\nDELE there.txt", tmpFile());
  EXPECT_TRUE(r.text.contains("Transfer failed: FTP error ")) << r.text.toStdString();
  EXPECT_FALSE(server.log().contains("DELE")) << server.log().constData();
  EXPECT_FALSE(QFile::exists(tmpFile()));
}

TEST_F(FtpDownload, ConnectionFailures) {
  CurlFtpClient client(FtpTimeouts{2, 2});
  // Nobody listens: refused.
  const quint16 closedPort = freeLoopbackPort();
  FtpTestResult r = RunFTPTest(client, local(closedPort) + "/f.bin", tmpFile());
  EXPECT_FALSE(r.success);
  EXPECT_EQ(r.text,
            "Connecting to " + local(closedPort) + " ...\nConnection failed: FTP error 12029");

  // An entry without '/' has no server; a server text that is no host name or port.
  r = RunFTPTest(client, "no-slash-here", tmpFile());
  EXPECT_EQ(r.text, "Connecting to  ...\nConnection failed: FTP error 12005");
  for (const char* bad : {"127.0.0.1:99999/f", "127.0.0.1:x/f", "a b/f", "user@127.0.0.1/f"}) {
    r = RunFTPTest(client, bad, tmpFile());
    EXPECT_TRUE(r.text.endsWith("Connection failed: FTP error 12005")) << bad;
  }

  // Anonymous log-in refused by the server (which answers a refused log-in after 3 s).
  FtpServer server;
  ASSERT_TRUE(server.start({"-u", "someone", "-P", "secretword"})) << server.log().constData();
  CurlFtpClient patient(FtpTimeouts{10, 10});
  r = RunFTPTest(patient, local(server.port()) + "/f.bin", tmpFile());
  EXPECT_EQ(r.text,
            "Connecting to " + local(server.port()) + " ...\nConnection failed: FTP error 12014");
  EXPECT_FALSE(QFile::exists(tmpFile()));
}

// A server that logs in and then goes silent when asked for the file.
constexpr char kStallingServer[] = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

class StallingHandler(FTPHandler):
    def ftp_RETR(self, file):
        pass

authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[2])
StallingHandler.authorizer = authorizer
FTPServer(("127.0.0.1", int(sys.argv[1])), StallingHandler).serve_forever()
)";

TEST_F(FtpDownload, ServerThatStopsAnsweringTimesOut) {
  // Connections complete but nothing is ever said: the log-in times out.
  SilentListener silent;
  ASSERT_NE(silent.port(), 0);
  CurlFtpClient client(FtpTimeouts{1, 1});
  QDeadlineTimer limit(20000);
  FtpTestResult r = RunFTPTest(client, local(silent.port()) + "/f.bin", tmpFile());
  EXPECT_FALSE(limit.hasExpired());
  EXPECT_EQ(r.text,
            "Connecting to " + local(silent.port()) + " ...\nConnection failed: FTP error 12002");

  // Logged in, then silence after RETR: the transfer times out and leaves no file.
  FtpServer server;
  server.addFile("f.bin", "data");
  ASSERT_TRUE(server.startScript(kStallingServer)) << server.log().constData();
  limit = QDeadlineTimer(20000);
  r = RunFTPTest(client, local(server.port()) + "/f.bin", tmpFile());
  EXPECT_FALSE(limit.hasExpired());
  EXPECT_EQ(r.text, "Connecting to " + local(server.port()) +
                        " ... success.\nDownloading /f.bin ...\n"
                        "Transfer failed: FTP error 12002");
  EXPECT_FALSE(QFile::exists(tmpFile()));
}

constexpr char kTricklingServer[] = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

ThrottledDTPHandler.write_limit = 4096  # bytes a second: never idle, never done
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[2])
FTPHandler.authorizer = authorizer
FTPHandler.dtp_handler = ThrottledDTPHandler
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";

TEST_F(FtpDownload, TricklingTransferEndsAtTheTransferLimit) {
  FtpServer server;
  server.addFile("f.bin", QByteArray(1 << 20, 'f'));
  ASSERT_TRUE(server.startScript(kTricklingServer)) << server.log().constData();
  // The limit the FTP window takes from the settings file.
  writeFile("Quorvel.ini", "[FTP]\nTransferLimit=1.5\n");
  FtpTimeouts t;
  t.transferLimit = TransferLimitSetting(appState().settingsPath);
  EXPECT_EQ(t.transferLimit.count(), 1500);
  CurlFtpClient client(t);
  const QDeadlineTimer limit(20000);
  const FtpTestResult r = RunFTPTest(client, local(server.port()) + "/f.bin", tmpFile());
  EXPECT_FALSE(limit.hasExpired());
  EXPECT_TRUE(r.text.endsWith("Transfer failed: FTP error 12002")) << r.text.toStdString();
  EXPECT_FALSE(QFile::exists(tmpFile()));
}

}  // namespace
}  // namespace quorvel::testing
