#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QThread>

#include "app/app_state.h"
#include "app/settings.h"
#include "common/test_support.h"
#include "dialogs/frm_about.h"
#include "dialogs/sys_info.h"

namespace quorvel {
namespace {

// Records what the look-up asks of the system.
class FakePlatform : public SysInfoPlatform {
 public:
  QString findExecutable(const QString& name) override {
    searched.push_back(name);
    return onPath.value(name);
  }
  bool startDetached(const QString& program, const QStringList& arguments) override {
    started.push_back(program);
    startedArgs.push_back(arguments);
    return startWorks;
  }
  QMap<QString, QString> onPath;
  bool startWorks = true;
  QStringList searched;
  QStringList started;
  QList<QStringList> startedArgs;
};

const char* kUnavailable = "System Information Is Unavailable At This Time";

class SysInfoTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    oldPath_ = qgetenv("PATH");
    ASSERT_TRUE(bin_.isValid());
  }
  void TearDown() override {
    qputenv("PATH", oldPath_);
    AppFolderTest::TearDown();
  }
  // An executable script that writes its arguments to a file in the application folder.
  QString fakeProgram(const QString& dir, const QString& name) {
    const QString file = dir + '/' + name;
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\necho \"started $*\" > '" + path("started.txt").toLocal8Bit() + "'\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return file;
  }
  // The detached program runs on its own; wait for its mark.
  QByteArray waitForStart() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
      const QByteArray mark = readFile("started.txt");
      if (mark.endsWith('\n')) return mark.trimmed();
      QThread::msleep(20);
    }
    return {};
  }
  void clickSysInfo(SysInfoPlatform* platform) {
    frmAbout dlg;
    if (platform) dlg.setSysInfoPlatform(platform);
    dlg.show();
    dlg.findChild<QPushButton*>("cmdSysInfo")->click();
    EXPECT_TRUE(dlg.isVisible());
  }

  QByteArray oldPath_;
  QTemporaryDir bin_;
};

TEST_F(SysInfoTest, ConfiguredPathIsStartedAsItStands) {
  FakePlatform fake;
  fake.onPath["hardinfo"] = "/usr/bin/hardinfo";
  WriteSetting(appState().settingsPath, "SysInfo", "Path", "/opt/tools/no-such-sysinfo");
  clickSysInfo(&fake);
  EXPECT_TRUE(fake.searched.isEmpty());  // no search and no existence test
  EXPECT_EQ(fake.started, QStringList{"/opt/tools/no-such-sysinfo"});
  EXPECT_TRUE(messages_.empty());

  // A start that fails ends in the message, with the program's title as caption.
  fake.startWorks = false;
  clickSysInfo(&fake);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, kUnavailable);
  EXPECT_EQ(messages_[0].title, "Quorvel");
}

TEST_F(SysInfoTest, ConfiguredPathReallyStarts) {
  const QString program = fakeProgram(bin_.path(), "my sysinfo");
  WriteSetting(appState().settingsPath, "SysInfo", "Path", program);
  qputenv("PATH", bin_.path().toLocal8Bit() + "/nothing-here");
  clickSysInfo(nullptr);
  EXPECT_EQ(waitForStart(), "started");
  EXPECT_TRUE(messages_.empty());

  // Configured, but gone: the start fails and says so.
  WriteSetting(appState().settingsPath, "SysInfo", "Path", bin_.path() + "/gone");
  clickSysInfo(nullptr);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, kUnavailable);
}

TEST_F(SysInfoTest, FirstKnownProgramOnPathIsStarted) {
  FakePlatform fake;
  fake.onPath["kinfocenter"] = "/usr/bin/kinfocenter";
  fake.onPath["gnome-control-center"] = "/usr/bin/gnome-control-center";
  const SysInfoCandidate found = FindSysInfoProgram(fake, appState().settingsPath);
  EXPECT_EQ(found.program, "/usr/bin/kinfocenter");
  EXPECT_EQ(fake.searched, (QStringList{"hardinfo2", "hardinfo", "kinfocenter"}));

  fake.onPath.remove("kinfocenter");
  EXPECT_TRUE(LaunchSysInfo(fake, appState().settingsPath));
  EXPECT_EQ(fake.started.last(), "/usr/bin/gnome-control-center");
  EXPECT_EQ(fake.startedArgs.last(), QStringList{"info-overview"});

  // A blank configured path counts as none.
  WriteSetting(appState().settingsPath, "SysInfo", "Path", "   ");
  EXPECT_EQ(FindSysInfoProgram(fake, appState().settingsPath).program,
            "/usr/bin/gnome-control-center");
}

TEST_F(SysInfoTest, ProgramFoundOnTheRealPath) {
  // First in the list and first on PATH, so no real program is ever started here.
  fakeProgram(bin_.path(), knownSysInfoPrograms().front().program);
  qputenv("PATH", bin_.path().toLocal8Bit() + ':' + oldPath_);
  clickSysInfo(nullptr);
  EXPECT_EQ(waitForStart(), "started");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(SysInfoTest, NoneFoundSaysUnavailable) {
  qputenv("PATH", bin_.path().toLocal8Bit());  // an empty folder
  clickSysInfo(nullptr);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, "Quorvel");
  EXPECT_EQ(messages_[0].text, kUnavailable);
  EXPECT_EQ(messages_[0].icon, MsgIcon::None);

  FakePlatform fake;
  EXPECT_FALSE(LaunchSysInfo(fake, appState().settingsPath));
  EXPECT_TRUE(fake.started.isEmpty());
  EXPECT_EQ(size_t(fake.searched.size()), knownSysInfoPrograms().size());
}

}  // namespace
}  // namespace quorvel
