#include <unistd.h>
#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include "app/app_state.h"
#include "app/file_usability.h"
#include "app/frm_quorvel.h"
#include "app/log_file.h"
#include "app/shell.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

class FakeShell : public Shell {
 public:
  int findResult = kShellOk;
  int executeResult = kShellOk;
  QStringList calls;
  int findExecutable(const QString& document, QString* program) override {
    calls << "find " + document;
    *program = findResult > 32 ? QStringLiteral("viewer --new") : QString();
    return findResult;
  }
  int execute(const QString& program, const QString& document) override {
    calls << "run " + program + " " + document;
    return executeResult;
  }
};

class LogFileTest : public testing::AppFolderTest {};

// Stands in for a log that another program holds open: it exists but cannot be opened.
bool heldByAnotherProgram(const QString& path, int mode) {
  return mode == kFileExists ? FileUsable(path, mode) : false;
}

TEST_F(LogFileTest, ViewMissingPresentAndFailingShell) {
  FakeShell shell;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell), "Could not locate a log file");
  EXPECT_TRUE(shell.calls.isEmpty());

  writeFile("QuorvelLog.txt", "a line\n");
  EXPECT_EQ(ViewLogFile(kMainLogName, shell), "");
  const QString full = path("QuorvelLog.txt");
  EXPECT_EQ(shell.calls, QStringList({"find " + full, "run viewer --new " + full}));

  shell.calls.clear();
  shell.findResult = kShellNoAssociation;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell),
            "Error 31 encountered when attempting to view log file");
  EXPECT_EQ(shell.calls.size(), 1);

  shell.findResult = kShellOk;
  shell.executeResult = kShellFileNotFound;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell), "Error 2 encountered when opening log file");
  shell.executeResult = 0;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell), "Error 0 encountered when opening log file");

  shell.calls.clear();
  EXPECT_EQ(ViewLogFile(kMainLogName, shell, heldByAnotherProgram),
            "Log file is currently locked by another program");
  EXPECT_TRUE(shell.calls.isEmpty());
}

TEST_F(LogFileTest, ClearDeletesOnlyTheMainLog) {
  EXPECT_EQ(ClearLogFile(), "");  // nothing there: nothing said

  writeFile("QuorvelLog.txt", "x");
  writeFile("QVSum.log", "y");
  writeFile("QVURL.log", "z");
  EXPECT_EQ(ClearLogFile(heldByAnotherProgram), "Log file is currently locked by another program");
  EXPECT_TRUE(QFile::exists(path("QuorvelLog.txt")));

  EXPECT_EQ(ClearLogFile(), "");
  EXPECT_FALSE(QFile::exists(path("QuorvelLog.txt")));
  EXPECT_TRUE(QFile::exists(path("QVSum.log")));
  EXPECT_TRUE(QFile::exists(path("QVURL.log")));

  // A folder named like the log is not a log file.
  ASSERT_TRUE(QDir(dir_.path()).mkdir("QuorvelLog.txt"));
  FakeShell shell;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell), "Could not locate a log file");
  EXPECT_EQ(ClearLogFile(), "");
  EXPECT_TRUE(QFileInfo(path("QuorvelLog.txt")).isDir());
}

TEST_F(LogFileTest, UnreadableFileWithoutRoot) {
  if (::geteuid() == 0) GTEST_SKIP() << "root can open any file";
  writeFile("QuorvelLog.txt", "x");
  ASSERT_TRUE(QFile::setPermissions(path("QuorvelLog.txt"), QFileDevice::Permissions()));
  FakeShell shell;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell), "Log file is currently locked by another program");
  EXPECT_EQ(ClearLogFile(), "Log file is currently locked by another program");
  EXPECT_TRUE(QFile::exists(path("QuorvelLog.txt")));
}

TEST_F(LogFileTest, FileMenuShowsTheMessages) {
  FakeShell shell;
  frmQuorvel w;
  w.setShell(&shell);
  w.findChild<QAction*>("mnuViewLogFile")->trigger();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, "Oops");
  EXPECT_EQ(messages_[0].text, "Could not locate a log file");
  EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
  w.findChild<QAction*>("mnuClearLogFile")->trigger();
  EXPECT_EQ(messages_.size(), 1u);

  writeFile("QuorvelLog.txt", "x");
  shell.findResult = kShellNoAssociation;
  w.findChild<QAction*>("mnuViewLogFile")->trigger();
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[1].text, "Error 31 encountered when attempting to view log file");
  w.findChild<QAction*>("mnuClearLogFile")->trigger();
  EXPECT_EQ(messages_.size(), 2u);
  EXPECT_FALSE(QFile::exists(path("QuorvelLog.txt")));
}

// The desktop shell against a private set of XDG folders.
class DesktopShellTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    ASSERT_TRUE(xdg_.isValid());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                             "XDG_CURRENT_DESKTOP"})
      saved_.emplace_back(name, qgetenv(name));
    const QString root = xdg_.path();
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/data/applications");
    QDir().mkpath(root + "/share");
    // The MIME database itself stays the system's.
    QFile::link("/usr/share/mime", root + "/share/mime");
    qputenv("XDG_CONFIG_HOME", (root + "/config").toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (root + "/etc").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (root + "/share").toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value.isNull())
        qunsetenv(name);
      else
        qputenv(name, value);
    }
    AppFolderTest::TearDown();
  }
  void put(const QString& rel, const QByteArray& text, bool executable = false) {
    QFile f(xdg_.path() + "/" + rel);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    if (executable)
      f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  QTemporaryDir xdg_;
  std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(DesktopShellTest, FindsAndStartsTheAssociatedProgram) {
  DesktopShell shell;
  QString program;
  writeFile("QuorvelLog.txt", "x\n");
  const QString log = path("QuorvelLog.txt");
  EXPECT_EQ(shell.findExecutable(log, &program), kShellNoAssociation);
  EXPECT_EQ(shell.findExecutable(path("nothing.txt"), &program), kShellFileNotFound);

  // An association whose program does not exist is passed over.
  put("data/applications/gone.desktop",
      "[Desktop Entry]\nType=Application\nExec=/nonexistent/viewer %f\n");
  put("config/mimeapps.list", "[Default Applications]\ntext/plain=gone.desktop;viewer.desktop;\n");
  EXPECT_EQ(shell.findExecutable(log, &program), kShellNoAssociation);

  // A hidden entry is passed over too.
  put("data/applications/hidden.desktop",
      "[Desktop Entry]\nHidden=true\nExec=" + xdg_.path().toLocal8Bit() + "/viewer.sh\n");
  put("config/mimeapps.list",
      "[Default Applications]\ntext/plain=gone.desktop;hidden.desktop;viewer.desktop;\n");
  const QString marker = xdg_.path() + "/seen";
  put("viewer.sh", "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > '" + marker.toLocal8Bit() + "'\n",
      true);
  put("data/applications/viewer.desktop",
      "[Desktop Action x]\nExec=wrong\n[Desktop Entry]\nType=Application\nExec=" +
          xdg_.path().toLocal8Bit() + "/viewer.sh --flag %U\n");
  ASSERT_GT(shell.findExecutable(log, &program), 32);
  EXPECT_EQ(program, xdg_.path() + "/viewer.sh --flag");
  ASSERT_GT(shell.execute(program, log), 32);
  QDeadlineTimer deadline(10000);
  while (!QFile::exists(marker) && !deadline.hasExpired()) QTest::qWait(20);
  QTest::qWait(100);
  QFile seen(marker);
  ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLocal8Bit(seen.readAll()), "--flag|" + log);

  EXPECT_EQ(shell.execute("/nonexistent/viewer", log), kShellFileNotFound);
  EXPECT_EQ(shell.execute("", log), kShellFileNotFound);
}

TEST_F(DesktopShellTest, ExecLines) {
  EXPECT_EQ(ExecCommandOf("[Desktop Entry]\nExec=gedit %U\n"), "gedit");
  EXPECT_EQ(ExecCommandOf("[Desktop Entry]\nExec = prog --percent=100%% %f --x\n"),
            "prog --percent=100% --x");
  EXPECT_EQ(ExecCommandOf("[Desktop Entry]\nExecutable=no\nTryExec=x\n"), "");
  EXPECT_EQ(ExecCommandOf("[Other]\nExec=x\n"), "");
  EXPECT_EQ(ExecCommandOf("[Desktop Entry]\nExec=trailing %"), "trailing");
  EXPECT_EQ(ExecCommandOf(""), "");
}

}  // namespace
}  // namespace quorvel
