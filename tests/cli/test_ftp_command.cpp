// quorvel ftp: the FTP window's test against a real server on loopback, the same figures in
// text, JSON and the window, and the window's list of recent files left alone.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QJsonArray>
#include <QTest>

#include "cli/cli_fixture.h"
#include "common/ftp_server.h"
#include "core/app_state.h"
#include "core/exit_codes.h"
#include "core/instance_lock.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "tools/frm_ftp.h"

namespace quorvel {
namespace {

using testing::Ended;

class FtpCommand : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    setGroupSeparatorForTesting(QLatin1Char(','));
    server_.addFile("pub/big.bin", QByteArray(1'234'567, 'q'));
    server_.addFile("pub/small.txt", QByteArray("hello\r\n"));
    ASSERT_TRUE(server_.start()) << server_.log().toStdString();
  }
  void TearDown() override {
    setGroupSeparatorForTesting(QChar());
    CommandLineTest::TearDown();
  }
  QString entry(const char* path) const {
    return QStringLiteral("127.0.0.1:%1%2").arg(server_.port()).arg(QLatin1String(path));
  }
  QStringList recentFiles() const {
    QStringList list;
    for (int n = 1; n <= 10; ++n)
      list << ReadSetting(appState().settingsPath, "FTP", QStringLiteral("File%1").arg(n)).value;
    return list;
  }

  testing::FtpServer server_;
};

TEST_F(FtpCommand, TextJsonAndTheWindowAgree) {
  QStringList window;
  {  // The window, as a user runs it: the entry typed over the default one, then Run.
    frmFTP w;
    w.show();
    testing::type(&w, "cboRemoteFile", entry("/pub/big.bin"));
    testing::click(&w, "cmdRun");
    window = testing::resultLines(&w);
  }
  const QStringList windowList = recentFiles();
  EXPECT_EQ(windowList[0], entry("/pub/big.bin"));  // the window keeps what it fetched

  const Ended text = run({"ftp", entry("/pub/big.bin")});
  ASSERT_EQ(text.code, kExitOk) << text.err.toStdString();
  EXPECT_TRUE(text.err.isEmpty()) << text.err.toStdString();
  const QStringList shown = QString::fromUtf8(text.out).trimmed().split('\n');
  ASSERT_EQ(shown.size(), 6);
  ASSERT_EQ(window.size(), 6);
  // The same lines; only the seconds and the throughput of another transfer may differ.
  for (int i : {0, 1, 2, 4}) EXPECT_EQ(shown[i], window[i]) << i;
  EXPECT_EQ(shown[3].section(" in ", 0, 0), window[3].section(" in ", 0, 0));
  EXPECT_EQ(shown[5].left(13), window[5].left(13));
  EXPECT_TRUE(window[3].startsWith("1,234,567 bytes transferred in ")) << window[3].toStdString();

  // JSON: the figures of the text, and the text itself.
  const Ended json = run({"ftp", "--json", "ftp://" + entry("/pub/small.txt")});
  ASSERT_EQ(json.code, kExitOk) << json.err.toStdString();
  const QJsonObject doc = testing::jsonOf(json.out);
  EXPECT_EQ(doc["command"].toString() + " " + doc["server"].toString() + doc["file"].toString(),
            "ftp " + entry("/pub/small.txt"));
  EXPECT_TRUE(doc["success"].toBool());
  EXPECT_EQ(doc["error"].toInt(), 0);
  EXPECT_TRUE(doc["error_text"].isNull());
  EXPECT_EQ(doc["bytes"].toInteger(), 7);  // binary: the CR LF arrives as it is
  const qint64 micros = doc["microseconds"].toInteger();
  EXPECT_GT(micros, 0);
  EXPECT_DOUBLE_EQ(doc["kbps"].toDouble(), dec1(7 * 8.0 / (micros / 1000.0)));
  const QJsonArray lines = doc["lines"].toArray();
  EXPECT_EQ(lines[3].toString(), doc["shown"].toObject()["bytes_line"].toString());
  EXPECT_EQ(lines[5].toString(),
            "Throughput = " + formatMask(doc["kbps"].toDouble(), "###,##0.0") + " Kbps");

  // The server saw every download; the command leaves neither Quorvel.tmp nor a new entry in
  // the window's list behind.
  const QByteArray log = server_.log();
  EXPECT_EQ(log.count("/pub/big.bin completed=1 bytes=1234567 "), 2) << log.toStdString();
  EXPECT_EQ(log.count("/pub/small.txt completed=1 bytes=7 "), 1) << log.toStdString();
  EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
  EXPECT_EQ(recentFiles(), windowList);
}

TEST_F(FtpCommand, FailuresSayWhatFailedAndExitAsTheyShould) {
  const QString refused =
      QStringLiteral("127.0.0.1:%1/pub/big.bin").arg(testing::freeLoopbackPort());
  const std::tuple<QStringList, int, const char*, const char*> cases[] = {
      // arguments, exit code, the window's last line, standard error
      {{"ftp", entry("/pub/missing.bin")},
       kExitMeasureFailed,
       "Transfer failed: FTP error 12003",
       "quorvel: The transfer failed: FTP error 12003 (An extended error was returned from the "
       "server).\n"},
      {{"ftp", refused},
       kExitMeasureFailed,
       "Connection failed: FTP error 12029",
       "quorvel: The connection failed: FTP error 12029 (The attempt to connect to the server "
       "failed).\n"},
      {{"ftp", "no-slash-here"},
       kExitCannotStart,
       "",
       "quorvel: Give the remote file as HOST[:PORT]/PATH, not \"no-slash-here\".\n"},
      {{"ftp"}, kExitCannotStart, "", "quorvel: Give one remote file, as HOST[:PORT]/PATH.\n"},
      {{"ftp", "--csv", entry("/pub/big.bin")},
       kExitCannotStart,
       "",
       "quorvel: Unknown option --csv. Try \"quorvel ftp --help\".\n"},
  };
  for (const auto& [args, code, lastLine, err] : cases) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const Ended r = run(args);
    EXPECT_EQ(r.code, code);
    EXPECT_TRUE(r.out.trimmed().endsWith(lastLine)) << r.out.toStdString();
    EXPECT_EQ(r.err, err);
  }
  const QJsonObject doc = testing::jsonOf(run({"ftp", "--json", entry("/pub/missing.bin")}).out);
  EXPECT_FALSE(doc["success"].toBool());
  EXPECT_TRUE(doc["connected"].toBool());
  EXPECT_EQ(doc["error"].toInt(), 12003);
  EXPECT_EQ(doc["error_text"].toString(), "An extended error was returned from the server.");
  EXPECT_EQ(doc["bytes"].toInteger(), 0);

  // Quorvel.tmp belongs to the one Quorvel of the folder.
  InstanceLock window;
  ASSERT_TRUE(window.acquire(appState().appFolder));
  const Ended locked = run({"ftp", entry("/pub/big.bin")});
  EXPECT_EQ(locked.code, kExitAlreadyRunning);
  EXPECT_EQ(locked.err, "quorvel: Quorvel is already running!\n");
  EXPECT_FALSE(server_.log().contains("/pub/big.bin completed="));
  EXPECT_FALSE(QFile::exists(appState().settingsPath));  // nothing was written to the settings
}

// The window's transfer cannot be cancelled; on the command line Ctrl-C (or SIGTERM, SIGHUP) ends
// it, as it ends a benchmark run. The server sends 200,000 bytes a second.
TEST_F(FtpCommand, AnInterruptAbandonsTheTransfer) {
  testing::FtpServer slow;
  slow.addFile("pub/big.bin", QByteArray(20'000'000, 's'));
  ASSERT_TRUE(slow.startScript(R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[2])
class Slow(ThrottledDTPHandler): write_limit = 200000
class Handler(FTPHandler): authorizer = authorizer; dtp_handler = Slow
FTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
)")) << slow.log().toStdString();
  // A hang-up (the terminal closed, the ssh session gone) ends it as SIGTERM does.
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    QProcess p;
    testing::startQuorvel(p, dir_.path(),
                          {"ftp", QStringLiteral("127.0.0.1:%1/pub/big.bin").arg(slow.port())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path("Quorvel.tmp")); }, 30000))
        << p.readAllStandardError().toStdString();
    ::kill(pid_t(p.processId()), signal);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), kExitCancelled);
    EXPECT_TRUE(p.readAllStandardOutput().contains("Transfer failed: FTP error 12017"));
    EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
  }
}

}  // namespace
}  // namespace quorvel
