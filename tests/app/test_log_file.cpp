// Viewing and clearing the main log from the File menu, and the desktop's program for it.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "core/file_usability.h"
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

TEST_F(LogFileTest, ViewAndClearFromTheFileMenu) {
  FakeShell shell;
  frmQuorvel w;
  w.setShell(&shell);
  const auto choose = [&](const char* name) {
    messages_.clear();
    w.findChild<QAction*>(name)->trigger();
    return messages_.empty() ? QString() : messages_[0].title + ": " + messages_[0].text;
  };
  EXPECT_EQ(choose("mnuViewLogFile"), "Oops: Could not locate a log file");
  EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
  EXPECT_EQ(choose("mnuClearLogFile"), "");  // nothing there: nothing said
  EXPECT_TRUE(shell.calls.isEmpty());

  writeFile("QuorvelLog.txt", "x");
  EXPECT_EQ(choose("mnuViewLogFile"), "");
  const QString log = path("QuorvelLog.txt");
  EXPECT_EQ(shell.calls, QStringList({"find " + log, "run viewer --new " + log}));
  struct Case {
    int find, execute;
    const char* said;
  };
  for (const Case& c :
       {Case{kShellNoAssociation, kShellOk,
             "Error 31 encountered when attempting to view log file"},
        Case{kShellOk, kShellFileNotFound, "Error 2 encountered when opening log file"},
        Case{kShellOk, 0, "Error 0 encountered when opening log file"}}) {
    shell.findResult = c.find;
    shell.executeResult = c.execute;
    // (What follows the first line when no program opens the log is the main window's test.)
    EXPECT_EQ(choose("mnuViewLogFile").section('\n', 0, 0), QStringLiteral("Oops: ") + c.said);
  }

  // Clearing deletes the main log only.
  writeFile("QVSum.log", "y");
  writeFile("QVURL.log", "z");
  EXPECT_EQ(choose("mnuClearLogFile"), "");
  EXPECT_FALSE(QFile::exists(log));
  EXPECT_TRUE(QFile::exists(path("QVSum.log")) && QFile::exists(path("QVURL.log")));
  // A folder named like the log is no log file.
  ASSERT_TRUE(QDir(dir_.path()).mkdir("QuorvelLog.txt"));
  EXPECT_EQ(choose("mnuViewLogFile"), "Oops: Could not locate a log file");
  EXPECT_EQ(choose("mnuClearLogFile"), "");
  EXPECT_TRUE(QFileInfo(log).isDir());
}

TEST_F(LogFileTest, ALogThatAnotherProgramHoldsIsLeftAlone) {
  // It exists but cannot be opened now.
  const auto held = [](const QString& path, int mode) {
    return mode == kFileExists && FileUsable(path, mode);
  };
  writeFile("QuorvelLog.txt", "x");
  FakeShell shell;
  EXPECT_EQ(ViewLogFile(kMainLogName, shell, held),
            "Log file is currently locked by another program");
  EXPECT_EQ(ClearLogFile(held), "Log file is currently locked by another program");
  EXPECT_TRUE(QFile::exists(path("QuorvelLog.txt")));
  EXPECT_TRUE(shell.calls.isEmpty());
}

// The desktop shell against XDG folders of the test's own (the MIME database stays the
// system's).
TEST_F(LogFileTest, TheDesktopsProgramForTheLogIsFoundAndStarted) {
  QTemporaryDir xdg;
  const QString root = xdg.path();
  std::vector<std::pair<const char*, QByteArray>> saved;
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                           "XDG_CURRENT_DESKTOP"})
    saved.emplace_back(name, qgetenv(name));
  for (const char* dir : {"/config", "/data/applications", "/share"}) QDir().mkpath(root + dir);
  QFile::link("/usr/share/mime", root + "/share/mime");
  qputenv("XDG_CONFIG_HOME", (root + "/config").toLocal8Bit());
  qputenv("XDG_CONFIG_DIRS", (root + "/etc").toLocal8Bit());
  qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
  qputenv("XDG_DATA_DIRS", (root + "/share").toLocal8Bit());
  qunsetenv("XDG_CURRENT_DESKTOP");
  const auto entry = [&](const char* name, const QByteArray& text) {
    testing::put(root + "/data/applications/" + name, "[Desktop Entry]\nType=Application\n" + text);
  };

  DesktopShell shell;
  QString program;
  writeFile("QuorvelLog.txt", "x\n");
  const QString log = path("QuorvelLog.txt");
  EXPECT_EQ(shell.findExecutable(log, &program), kShellNoAssociation);
  EXPECT_EQ(shell.findExecutable(path("nothing.txt"), &program), kShellFileNotFound);
  // An entry whose program does not exist, and a hidden one, are passed over.
  const QByteArray viewer = root.toLocal8Bit() + "/viewer.sh";
  entry("gone.desktop", "Exec=/nonexistent/viewer %f\n");
  entry("hidden.desktop", "Hidden=true\nExec=" + viewer + "\n");
  entry("viewer.desktop", "Exec=" + viewer + " --flag %U\n[Desktop Action x]\nExec=wrong\n");
  testing::put(root + "/config/mimeapps.list",
               "[Default Applications]\ntext/plain=gone.desktop;hidden.desktop;viewer.desktop;\n");
  testing::put(viewer, "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > '" + viewer + ".seen'\n");
  QFile::setPermissions(viewer, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  ASSERT_GT(shell.findExecutable(log, &program), 32);
  EXPECT_EQ(program, viewer + " --flag");
  ASSERT_GT(shell.execute(program, log), 32);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return testing::get(viewer + ".seen") == "--flag|" + log; }, 10000));
  EXPECT_EQ(shell.execute("/nonexistent/viewer", log), kShellFileNotFound);
  EXPECT_EQ(shell.execute("", log), kShellFileNotFound);
  for (const auto& [name, value] : saved) value.isNull() ? qunsetenv(name) : qputenv(name, value);

  const std::pair<const char*, const char*> execLines[] = {
      {"[Desktop Entry]\nExec = prog --percent=100%% %f --x\n", "prog --percent=100% --x"},
      {"[Desktop Entry]\nExecutable=no\nTryExec=x\n", ""},
      {"[Other]\nExec=x\n", ""},
      {"[Desktop Entry]\nExec=trailing %", "trailing"}};
  for (const auto& [text, command] : execLines) EXPECT_EQ(ExecCommandOf(text), command) << text;
}

}  // namespace
}  // namespace quorvel
