// The FTP download test: its report, downloads and every kind of failure against real FTP
// servers on loopback (pyftpdlib, tests/common/ftp_server.h), and the window over a fake
// connection, typed and clicked as a user does: its list of recent remote files, the busy
// state and the temporary file. (Splitting an entry is the fuzz target's, fuzz_ftp_parms.)
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>
#include <functional>
#include <random>

#include "common/ftp_server.h"
#include "common/test_support.h"
#include "core/app_state.h"
#include "core/limit_setting.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "tools/frm_ftp.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"
#include "tools/ftp_recent.h"

namespace quorvel::testing {
namespace {

class Ftp : public AppFolderTest {
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
  static QString local(quint16 port) { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

TEST_F(Ftp, BytesSecondsAndThroughput) {
  const struct {
    std::int64_t bytes, micros;
    const char *bytesLine, *throughput;
  } cases[] = {
      {1000000, 2'000'000, "1,000,000 bytes transferred in 2.0 secs", "4,000.0 Kbps"},
      {1000000, 0, "1,000,000 bytes transferred in 0.0 secs", "0 Kbps"},
      {0, 1'500'000, "0 bytes transferred in 1.5 secs", "0 Kbps"},
      {512, 49'000, "512 bytes transferred in 0.0 secs", "83.6 Kbps"},
      {512, 50'000, "512 bytes transferred in 0.1 secs", "81.9 Kbps"},
      {1, 3'000, "1 bytes transferred in 0.0 secs", "2.7 Kbps"},
      // Less than a millisecond still has a throughput; beyond 32 bits of bits, and 4 GB.
      {1'000'000, 500, "1,000,000 bytes transferred in 0.0 secs", "16,000,000.0 Kbps"},
      {300000000, 1'000'000, "300,000,000 bytes transferred in 1.0 secs", "2,400,000.0 Kbps"},
      {5000000000LL, 4294967295000LL, "5,000,000,000 bytes transferred in 4,294,967.3 secs",
       "9.3 Kbps"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FtpBytesLine(c.bytes, c.micros), c.bytesLine);
    EXPECT_EQ(FtpThroughputText(c.bytes, c.micros), c.throughput) << c.bytesLine;
  }
}

TEST_F(Ftp, DownloadsFromARealServer) {
  FtpServer server;
  std::mt19937 gen(12345);
  QByteArray data(1234567, '\0');
  for (char& c : data) c = static_cast<char>(gen() & 0xFF);
  server.addFile("pub/data/file.bin", data);
  server.addFile("empty.txt", {});
  ASSERT_TRUE(server.start()) << server.log().constData();

  writeFile("Quorvel.tmp", "stale contents of an earlier run");
  CurlFtpClient client(FtpTimeouts{5, 5});
  QStringList shown;
  const QString host = local(server.port());
  FtpTestResult r = RunFTPTest(client, host + "/pub/data/file.bin", tmpFile(),
                               [&](const QString& s) { shown << s; });
  ASSERT_TRUE(r.success) << r.text.toStdString();
  EXPECT_EQ(readFile("Quorvel.tmp"), data);
  EXPECT_EQ(r.text.split('\n'),
            (QStringList{"Connecting to " + host + " ... success.",
                         "Downloading /pub/data/file.bin ... success.", "",
                         FtpBytesLine(1234567, r.micros), "",
                         "Throughput = " + FtpThroughputText(1234567, r.micros)}));
  EXPECT_EQ(shown, (QStringList{"Connecting to " + host + " ...",
                                "Connecting to " + host +
                                    " ... success.\nDownloading /pub/data/file.bin ..."}));
  // The retrieval went over the logged-in connection: one log-in for the whole test.
  EXPECT_EQ(server.log().count("logged in"), 1) << server.log().constData();

  // The same client again; a scheme and backslashes work alike; an empty file is a success.
  r = RunFTPTest(client, "ftp://" + host + "\\empty.txt", tmpFile());
  ASSERT_TRUE(r.success) << r.text.toStdString();
  EXPECT_TRUE(QFile::exists(tmpFile()));
  EXPECT_TRUE(r.text.endsWith("\n\n" + FtpBytesLine(0, r.micros) + "\n\nThroughput = 0 Kbps"));
}

// A server that logs in and then goes silent when asked for the file; one that sends the file
// at 4 KB a second (never idle, never done); one that takes connections and says nothing.
constexpr char kStalling[] = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
class Stalling(FTPHandler):
    def ftp_RETR(self, file): pass
Stalling.authorizer = DummyAuthorizer()
Stalling.authorizer.add_anonymous(sys.argv[2])
FTPServer(("127.0.0.1", int(sys.argv[1])), Stalling).serve_forever()
)";
constexpr char kTrickling[] = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
ThrottledDTPHandler.write_limit = 4096
FTPHandler.authorizer = DummyAuthorizer()
FTPHandler.authorizer.add_anonymous(sys.argv[2])
FTPHandler.dtp_handler = ThrottledDTPHandler
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";
constexpr char kSilent[] = R"(import socket, sys, time
s = socket.create_server(("127.0.0.1", int(sys.argv[1])))
time.sleep(600)
)";

TEST_F(Ftp, FailuresSayWhereTheyFailedAndLeaveNoFile) {
  enum Server { Anonymous, LoginOnly, Stalling, Trickling, Silent, None };
  const struct {
    Server server;
    QString path;  // after HOST:PORT; an entry of its own when it starts with '!'
    QString text;  // the end of the report; HOST for the server
    int timeout;   // seconds to connect, and without a byte
  } cases[] = {
      {Anonymous, "/pub/missing.bin",
       "HOST ... success.\nDownloading /pub/missing.bin ...\nTransfer failed: FTP error 12003", 2},
      {Anonymous, "/pub/", "Transfer failed: FTP error 12003", 2},  // a folder is not a file
      // A line break in the path never reaches the server as a command.
      {Anonymous, "/pub/x\r\nDELE there.txt", "Transfer failed: FTP error 12005", 2},
      {None, "/f.bin", "HOST ...\nConnection failed: FTP error 12029", 2},  // refused
      {None, "!no-slash-here", "Connecting to  ...\nConnection failed: FTP error 12005", 2},
      {None, "!127.0.0.1:99999/f", "Connection failed: FTP error 12005", 2},
      {None, "!127.0.0.1:x/f", "Connection failed: FTP error 12005", 2},
      {None, "!a b/f", "Connection failed: FTP error 12005", 2},
      {None, "!user@127.0.0.1/f", "Connection failed: FTP error 12005", 2},
      // The server answers a refused log-in after 3 seconds.
      {LoginOnly, "/f.bin", "HOST ...\nConnection failed: FTP error 12014", 10},
      {Silent, "/f.bin", "HOST ...\nConnection failed: FTP error 12002", 1},
      {Stalling, "/f.bin",
       "HOST ... success.\nDownloading /f.bin ...\nTransfer failed: FTP error 12002", 1},
      // Ended by the TransferLimit of the settings file, 1.5 seconds, long before the others.
      {Trickling, "/f.bin", "Transfer failed: FTP error 12002", 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    FtpServer server;
    server.addFile("f.bin", QByteArray(1 << 20, 'f'));
    server.addFile("pub/there.txt", "x");
    const QByteArray scripts[] = {{}, {}, kStalling, kTrickling, kSilent};
    const bool started = c.server == None ||
                         (c.server == Anonymous   ? server.start()
                          : c.server == LoginOnly ? server.start({"-u", "someone", "-P", "secret"})
                                                  : server.startScript(scripts[c.server]));
    ASSERT_TRUE(started) << server.log().constData();
    const QString host = local(c.server == None ? freeLoopbackPort() : server.port());
    writeFile("Quorvel.ini", c.server == Trickling ? "[FTP]\nTransferLimit=1.5\n" : "");
    FtpTimeouts timeouts{c.timeout, c.timeout};
    timeouts.transferLimit = TransferLimitSetting(appState().settingsPath);
    CurlFtpClient client(timeouts);
    writeFile("Quorvel.tmp", "stale");
    const QDeadlineTimer limit(20000);
    const FtpTestResult r =
        RunFTPTest(client, c.path.startsWith('!') ? c.path.mid(1) : host + c.path, tmpFile());
    EXPECT_FALSE(limit.hasExpired());
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.text.endsWith(QString(c.text).replace("HOST", host))) << r.text.toStdString();
    EXPECT_FALSE(QFile::exists(tmpFile()));
    EXPECT_FALSE(server.log().contains("DELE")) << server.log().constData();
  }
}

// The window over a connection of the test's own.
class FakeFtpClient : public FtpClient {
 public:
  int Connect(const QString& server, const QString&, const QString& given) override {
    calls << "Connect " + server;
    password = given;
    return connectError;
  }
  int Fetch(const QString& remoteFile, const QString& localFile) override {
    calls << "Fetch " + remoteFile;
    tmpExistedAtFetch = QFile::exists(localFile);
    if (during) during();
    QFile f(localFile);
    if (fetchError == 0 && f.open(QIODevice::WriteOnly)) f.write(QByteArray(2500, 'x'));
    return fetchError;
  }
  void Close() override { ++closes; }

  int connectError = 0, fetchError = 0, closes = 0;
  std::function<void()> during;
  QStringList calls;
  QString password;
  bool tmpExistedAtFetch = false;
};

class FtpWindow : public Ftp {
 protected:
  std::unique_ptr<frmFTP> open() {
    auto w = std::make_unique<frmFTP>();
    auto fake = std::make_unique<FakeFtpClient>();
    fake_ = fake.get();
    w->setClient(std::move(fake));
    w->show();
    return w;
  }
  static QStringList items(frmFTP& w) {
    QStringList list;
    for (auto* c = widget<QComboBox>(&w, "cboRemoteFile"); list.size() < c->count();)
      list << c->itemText(list.size());
    return list;
  }
  static void runFor(frmFTP& w, const QString& entry) {
    type(&w, "cboRemoteFile", entry);
    click(&w, "cmdRun");
  }
  QStringList settings() const {
    QStringList list;
    for (int n = 1; n <= 10; ++n)
      list << ReadSetting(appState().settingsPath, "FTP", QStringLiteral("File%1").arg(n)).value;
    return list;
  }
  FakeFtpClient* fake_ = nullptr;
};

TEST_F(FtpWindow, RunBusyStateReportAndTheTemporaryFile) {
  auto w = open();
  writeFile("Quorvel.tmp", "left over");
  bool busySeen = false;
  fake_->during = [&] {
    busySeen = !widget(w.get(), "cmdRun")->isEnabled() &&
               !widget(w.get(), "cmdClose")->isEnabled() && QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::BusyCursor;
  };
  runFor(*w, "ftp://127.0.0.9/pub/f.bin");
  EXPECT_TRUE(busySeen);
  EXPECT_FALSE(fake_->tmpExistedAtFetch);  // the old temporary file went first
  EXPECT_TRUE(widget(w.get(), "cmdRun")->isEnabled());
  EXPECT_TRUE(widget(w.get(), "cmdClose")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(fake_->calls, QStringList({"Connect 127.0.0.9", "Fetch /pub/f.bin"}));
  EXPECT_EQ(fake_->password.size(), 9);
  EXPECT_TRUE(std::all_of(fake_->password.begin(), fake_->password.end(),
                          [](QChar c) { return c.isLetter(); }));
  const QStringList lines = resultLines(w.get());
  ASSERT_EQ(lines.size(), 6);
  EXPECT_EQ(lines.mid(0, 3), (QStringList{"Connecting to 127.0.0.9 ... success.",
                                          "Downloading /pub/f.bin ... success.", ""}));
  EXPECT_TRUE(lines[3].startsWith("2,500 bytes transferred in ")) << lines[3].toStdString();
  EXPECT_TRUE(lines[5].startsWith("Throughput = ")) << lines[5].toStdString();

  // (What a failure says, and that it leaves no file, is shown against real servers above.)
  // Closing while a transfer runs is refused; closing afterwards deletes the temporary file.
  fake_->during = [&] {
    w->close();
    EXPECT_TRUE(w->isVisible());
  };
  click(w.get(), "cmdRun");
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(QFile::exists(path("Quorvel.tmp")));
  const int closes = fake_->closes;
  click(w.get(), "cmdClose");
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
  EXPECT_GT(fake_->closes, closes);
}

// Erased and typed key by key, then Enter: the file typed is fetched, neither a longer entry of
// the list that starts the same way nor the typed text in front of the entry the erasing brought
// up.
TEST_F(FtpWindow, WhatIsTypedRuns) {
  writeFile("Quorvel.ini", "[FTP]\nFile1=127.0.0.1:9/pub/abc.bin\nFile2=127.0.0.1:9/pub/b.bin\n");
  auto w = open();
  QWidget* box = tabTo(w.get(), "cboRemoteFile");
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(shown(w.get(), "cboRemoteFile"), "127.0.0.1:9/pub/b.bin");
  QTest::keyClicks(QApplication::focusWidget(), "127.0.0.1:9/pub/a");
  EXPECT_EQ(shown(w.get(), "cboRemoteFile"), "127.0.0.1:9/pub/a");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(fake_->calls, QStringList({"Connect 127.0.0.1:9", "Fetch /pub/a"}));
}

TEST_F(FtpWindow, TheListOfRecentRemoteFiles) {
  // No entries stored: the three built-in ones, slot 1 in the edit field; nothing written.
  const QStringList builtIn = RemoteFileList::defaults();
  ASSERT_EQ(builtIn.size(), 3);
  auto w = open();
  EXPECT_EQ(items(*w), builtIn);
  EXPECT_EQ(shown(w.get(), "cboRemoteFile"), builtIn[0]);
  EXPECT_FALSE(QFile::exists(appState().settingsPath));

  // A success puts the entry on top and stores all ten keys; the same entry in other case
  // stays one entry, in the case last used; a failure changes nothing.
  runFor(*w, "ftp://127.0.0.9/pub/f.bin");
  const QStringList four = QStringList{"ftp://127.0.0.9/pub/f.bin"} + builtIn;
  EXPECT_EQ(items(*w), four);
  EXPECT_EQ(settings(), four + QStringList(6, QString()));
  EXPECT_TRUE(readFile("Quorvel.ini").contains("File10="));
  // Pasted: typed keys would complete to the stored entry, in its case.
  widget<QComboBox>(w.get(), "cboRemoteFile")->setEditText("FTP://127.0.0.9/PUB/f.bin");
  click(w.get(), "cmdRun");
  fake_->fetchError = 12003;
  runFor(*w, "127.0.0.9/missing");
  fake_->fetchError = 0;
  EXPECT_EQ(items(*w), QStringList{"FTP://127.0.0.9/PUB/f.bin"} + builtIn);
  EXPECT_EQ(settings()[0], "FTP://127.0.0.9/PUB/f.bin");

  // Eleven new entries: the ten last are kept.
  for (int i = 1; i <= 11; ++i) runFor(*w, QStringLiteral("10.0.0.%1/f").arg(i));
  QStringList ten;
  for (int i = 11; i >= 2; --i) ten << QStringLiteral("10.0.0.%1/f").arg(i);
  EXPECT_EQ(items(*w), ten);
  EXPECT_EQ(settings(), ten);
  w.reset();

  // Stored entries with gaps: shown in order, slot 1 (empty) in the edit field.
  writeFile("Quorvel.ini", "[FTP]\nFile2=b.example/two\nFile5=e.example/five\n");
  EXPECT_EQ(items(*open()), QStringList({"b.example/two", "e.example/five"}));
  EXPECT_EQ(shown(open().get(), "cboRemoteFile"), "");

  // The user picks entry 2 and deletes its text: it leaves the list and slot 1 shows; typing
  // a text that is no entry and deleting it removes nothing. The settings file learns it with
  // the next successful transfer.
  writeFile("Quorvel.ini",
            "[FTP]\nFile1=a.example/one\nFile2=b.example/two\nFile3=c.example/three\n");
  w = open();
  QTest::keyClick(tabTo(w.get(), "cboRemoteFile"), Qt::Key_Down);
  EXPECT_EQ(shown(w.get(), "cboRemoteFile"), "b.example/two");
  type(w.get(), "cboRemoteFile", "");
  EXPECT_EQ(items(*w), QStringList({"a.example/one", "c.example/three"}));
  EXPECT_EQ(shown(w.get(), "cboRemoteFile"), "a.example/one");
  type(w.get(), "cboRemoteFile", "typed.example/x");
  type(w.get(), "cboRemoteFile", "");
  EXPECT_EQ(items(*w), QStringList({"a.example/one", "c.example/three"}));
  EXPECT_EQ(settings()[1], "b.example/two");
  runFor(*w, "c.example/three");
  EXPECT_EQ(settings(),
            QStringList({"c.example/three", "a.example/one"}) + QStringList(8, QString()));
}

}  // namespace
}  // namespace quorvel::testing
