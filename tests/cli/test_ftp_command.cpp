// quorvel ftp: the FTP window's test against a real server on loopback, the same figures in
// text, JSON and the window, and the window's list of recent files left alone.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include "app/app_state.h"
#include "app/exit_codes.h"
#include "app/instance_lock.h"
#include "app/number_format.h"
#include "app/settings.h"
#include "cli/cli_fixture.h"
#include "tools/frm_ftp.h"
#include "tools/test_ftp_server.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;
using testing::CommandResult;

class FtpCommand : public CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    setGroupSeparatorForTesting(QLatin1Char(','));
    server_.addFile(QStringLiteral("pub/big.bin"), QByteArray(1'234'567, 'q'));
    server_.addFile(QStringLiteral("pub/small.txt"), QByteArray("hello\r\n"));
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

// The figure of the throughput line: "Throughput = 4,000.0 Kbps" -> 4000.0.
double throughputOf(const QString& text) {
  QString line = text.section(QLatin1Char('\n'), -1);
  line.remove(QStringLiteral("Throughput = ")).remove(QStringLiteral(" Kbps")).remove(',');
  return line.toDouble();
}

TEST_F(FtpCommand, TextJsonAndTheWindowAgree) {
  // The window, as a user runs it: the entry typed over the default one, then Run.
  QString windowText;
  {
    frmFTP w;
    w.show();
    QLineEdit* edit = w.findChild<QComboBox*>("cboRemoteFile")->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, entry("/pub/big.bin"));
    QTest::mouseClick(w.findChild<QPushButton*>("cmdRun"), Qt::LeftButton);
    windowText = w.findChild<QPlainTextEdit*>("txtResults")->toPlainText();
  }
  ASSERT_TRUE(windowText.contains("1,234,567 bytes transferred in ")) << windowText.toStdString();
  const QStringList windowList = recentFiles();
  EXPECT_EQ(windowList[0], entry("/pub/big.bin"));  // the window keeps what it fetched

  const CommandResult text = run({"ftp", entry("/pub/big.bin")});
  ASSERT_EQ(text.exitCode, kExitOk) << text.err.toStdString();
  EXPECT_TRUE(text.err.isEmpty()) << text.err.toStdString();
  const QStringList shown = QString::fromUtf8(text.out).trimmed().split('\n');
  const QStringList window = windowText.split('\n');
  ASSERT_EQ(shown.size(), 6);
  ASSERT_EQ(window.size(), 6);
  // Same lines; only the seconds and the throughput of another transfer may differ.
  for (int i : {0, 1, 2, 4}) EXPECT_EQ(shown[i], window[i]) << i;
  EXPECT_TRUE(shown[3].startsWith("1,234,567 bytes transferred in ")) << shown[3].toStdString();
  EXPECT_TRUE(shown[5].startsWith("Throughput = ")) << shown[5].toStdString();

  // JSON: the figures of the text, and the text itself.
  const CommandResult json = run({"ftp", "--json", "ftp://" + entry("/pub/small.txt")});
  ASSERT_EQ(json.exitCode, kExitOk) << json.err.toStdString();
  const QJsonObject doc = QJsonDocument::fromJson(json.out).object();
  EXPECT_EQ(doc["command"].toString(), "ftp");
  EXPECT_EQ(doc["server"].toString(), entry(""));
  EXPECT_EQ(doc["file"].toString(), "/pub/small.txt");
  EXPECT_TRUE(doc["success"].toBool());
  EXPECT_EQ(doc["error"].toInt(), 0);
  EXPECT_TRUE(doc["error_text"].isNull());
  EXPECT_EQ(doc["bytes"].toInteger(), 7);  // binary: the CR LF arrives as it is
  const qint64 micros = doc["microseconds"].toInteger();
  EXPECT_GT(micros, 0);
  EXPECT_DOUBLE_EQ(doc["kbps"].toDouble(), dec1(7 * 8.0 / (micros / 1000.0)));
  QStringList lines;
  for (const QJsonValue& v : doc["lines"].toArray()) lines << v.toString();
  EXPECT_EQ(lines[3], doc["shown"].toObject()["bytes_line"].toString());
  EXPECT_NEAR(throughputOf(lines.join('\n')), doc["kbps"].toDouble(), 1e-9);

  // The server saw both downloads; the command leaves neither Quorvel.tmp nor a new entry in
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
  struct Case {
    QStringList args;
    int exitCode;
    const char* outEnds;  // the window's last line
    const char* err;      // standard error, whole
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const CommandResult r = run(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_TRUE(r.out.trimmed().endsWith(c.outEnds)) << r.out.toStdString();
    EXPECT_EQ(r.err, c.err);
  }
  const CommandResult json = run({"ftp", "--json", entry("/pub/missing.bin")});
  const QJsonObject doc = QJsonDocument::fromJson(json.out).object();
  EXPECT_FALSE(doc["success"].toBool());
  EXPECT_TRUE(doc["connected"].toBool());
  EXPECT_EQ(doc["error"].toInt(), 12003);
  EXPECT_EQ(doc["error_text"].toString(), "An extended error was returned from the server.");
  EXPECT_EQ(doc["bytes"].toInteger(), 0);

  // Quorvel.tmp belongs to the one Quorvel of the folder.
  InstanceLock window;
  ASSERT_TRUE(window.acquire(appState().appFolder));
  const CommandResult locked = run({"ftp", entry("/pub/big.bin")});
  EXPECT_EQ(locked.exitCode, kExitAlreadyRunning);
  EXPECT_EQ(locked.err, "quorvel: Quorvel is already running!\n");
  EXPECT_FALSE(server_.log().contains("/pub/big.bin completed="));
  EXPECT_FALSE(QFile::exists(appState().settingsPath));  // nothing was written to the settings
}

// A server that sends 200,000 bytes a second: long enough a transfer to interrupt.
const QByteArray kSlowServer = R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[2])
class Slow(ThrottledDTPHandler): write_limit = 200000
class Handler(FTPHandler): authorizer = authorizer; dtp_handler = Slow
FTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
)";

TEST_F(FtpCommand, AnInterruptAbandonsTheTransfer) {
  // The window's transfer cannot be cancelled; on the command line Ctrl-C (or SIGTERM) ends
  // it, as it ends a benchmark run.
  testing::FtpServer slow;
  slow.addFile(QStringLiteral("pub/big.bin"), QByteArray(20'000'000, 's'));
  ASSERT_TRUE(slow.startScript(kSlowServer)) << slow.log().toStdString();
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QUORVEL_HOME"), dir_.path());
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUORVEL_EXE),
          {"ftp", QStringLiteral("127.0.0.1:%1/pub/big.bin").arg(slow.port())});
  ASSERT_TRUE(p.waitForStarted(10000));
  const QDeadlineTimer deadline(30000);
  while (!QFile::exists(path("Quorvel.tmp")) && !deadline.hasExpired() &&
         p.state() == QProcess::Running)
    QThread::msleep(20);
  ASSERT_TRUE(QFile::exists(path("Quorvel.tmp"))) << p.readAllStandardError().toStdString();
  p.terminate();
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), kExitCancelled);
  EXPECT_TRUE(p.readAllStandardOutput().contains("Transfer failed: FTP error 12017"));
  EXPECT_FALSE(QFile::exists(path("Quorvel.tmp")));
}

}  // namespace
}  // namespace quorvel
