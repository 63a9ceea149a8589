// The about box: its texts, its links, and the system-information program it starts.
#include <QDir>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTest>

#include "app/app_state.h"
#include "app/settings.h"
#include "common/test_support.h"
#include "dialogs/about_text.h"
#include "dialogs/frm_about.h"
#include "dialogs/sys_info.h"
#include "dialogs/url_opener.h"
#include "quorvel_version.h"

namespace quorvel {
namespace {

using testing::widget;

TEST(AboutText, VersionAndTitle) {
  EXPECT_EQ(versionText(1, 8, 0), "Version 1.8");  // the revision only above zero
  EXPECT_EQ(versionText(1, 10, 12), "Version 1.10.12");
  EXPECT_EQ(versionText(2, 0, -1), "Version 2.0");
  EXPECT_EQ(aboutTitle("Quorvel", "Connection Benchmark"), "Quorvel - Connection Benchmark");
  EXPECT_EQ(aboutTitle("Quorvel", "Quorvel"), "Quorvel");
}

class AboutTest : public testing::AppFolderTest {
 protected:
  void TearDown() override {
    setUrlOpener({});
    AppFolderTest::TearDown();
  }
};

TEST_F(AboutTest, LinksOpenTheMailAndWebAddressesAndOKCloses) {
  std::vector<QUrl> opened;
  setUrlOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  frmAbout dlg;
  dlg.show();
  EXPECT_TRUE(widget<QLabel>(&dlg, "lblTitle")->font().bold());
  EXPECT_FALSE(widget<QLabel>(&dlg, "picIcon")->pixmap().isNull());
  for (const char* name : {"lblEMailLink", "lblWebLink"}) {
    QLabel* link = widget<QLabel>(&dlg, name);
    QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, link->rect().center());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << name;
  }
  EXPECT_EQ(opened, (std::vector<QUrl>{QUrl(QString("mailto:") + version::kSupportEmail),
                                       QUrl(QString("http://") + version::kWebAddress)}));
  EXPECT_TRUE(messages_.empty());
  QTest::mouseClick(widget<QPushButton>(&dlg, "cmdOK"), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
}

// Records what the look-up asks of the system.
class FakePlatform : public SysInfoPlatform {
 public:
  QString findExecutable(const QString& name) override {
    searched << name;
    return onPath.contains(name) ? "/usr/bin/" + name : QString();
  }
  bool startDetached(const QString& program, const QStringList& arguments) override {
    started << (QStringList{program} + arguments).join(' ');
    return startWorks;
  }
  QStringList onPath, searched, started;
  bool startWorks = true;
};

class SysInfoTest : public AboutTest {
 protected:
  void clickSysInfo(SysInfoPlatform* platform) {
    frmAbout dlg;
    if (platform) dlg.setSysInfoPlatform(platform);
    dlg.show();
    QTest::mouseClick(widget<QPushButton>(&dlg, "cmdSysInfo"), Qt::LeftButton);
    EXPECT_TRUE(dlg.isVisible());
  }
  QString said() const {
    return messages_.empty() ? QString() : messages_[0].title + ": " + messages_[0].text;
  }
  const QString unavailable = "Quorvel: System Information Is Unavailable At This Time";
};

TEST_F(SysInfoTest, TheConfiguredProgramOrTheFirstKnownOneOnThePath) {
  struct Case {
    QString configured;  // [SysInfo] Path
    QStringList onPath;
    bool startWorks;
    QString searched, started;  // what was looked for, what was started
  };
  const Case cases[] = {
      // Started as it stands: no search, no test that it exists.
      {"/opt/tools/no-such-sysinfo", {"hardinfo"}, true, "", "/opt/tools/no-such-sysinfo"},
      {"/opt/tools/no-such-sysinfo", {}, false, "", "/opt/tools/no-such-sysinfo"},
      {{},
       {"kinfocenter", "gnome-control-center"},
       true,
       "hardinfo2 hardinfo kinfocenter",
       "/usr/bin/kinfocenter"},
      {"   ",
       {"gnome-control-center"},
       true,
       "hardinfo2 hardinfo kinfocenter gnome-control-center",
       "/usr/bin/gnome-control-center info-overview"},  // a blank path counts as none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.started.toStdString());
    messages_.clear();
    WriteSetting(appState().settingsPath, "SysInfo", "Path", c.configured);
    FakePlatform fake;
    fake.onPath = c.onPath;
    fake.startWorks = c.startWorks;
    clickSysInfo(&fake);
    EXPECT_EQ(fake.searched.join(' '), c.searched);
    EXPECT_EQ(fake.started, QStringList{c.started});
    EXPECT_EQ(said(), c.startWorks ? QString() : unavailable);
  }
  // None known on the path: every one was looked for, nothing started.
  WriteSetting(appState().settingsPath, "SysInfo", "Path", "");
  FakePlatform none;
  EXPECT_FALSE(LaunchSysInfo(none, appState().settingsPath));
  EXPECT_EQ(size_t(none.searched.size()), knownSysInfoPrograms().size());
  EXPECT_TRUE(none.started.isEmpty());
}

TEST_F(SysInfoTest, RealProgramsAreStartedDetached) {
  const QByteArray oldPath = qgetenv("PATH");
  QTemporaryDir bin;
  // A program that leaves a mark in the application folder.
  const auto program = [&](const QString& name) {
    const QString file = bin.path() + '/' + name;
    testing::put(file, "#!/bin/sh\necho started > '" + path("started.txt").toLocal8Bit() + "'\n");
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ExeOwner);
    return file;
  };
  const auto startedOnce = [&] {
    const bool ok = QTest::qWaitFor([&] { return readFile("started.txt") == "started\n"; }, 10000);
    QFile::remove(path("started.txt"));
    return ok;
  };
  qputenv("PATH", bin.path().toLocal8Bit());  // nothing known there yet
  clickSysInfo(nullptr);
  EXPECT_EQ(said(), unavailable);
  EXPECT_EQ(messages_[0].icon, MsgIcon::None);

  messages_.clear();
  WriteSetting(appState().settingsPath, "SysInfo", "Path", program("my sysinfo"));
  clickSysInfo(nullptr);
  EXPECT_TRUE(startedOnce());
  WriteSetting(appState().settingsPath, "SysInfo", "Path", bin.path() + "/gone");
  clickSysInfo(nullptr);
  EXPECT_EQ(said(), unavailable);

  // The first known program, first on PATH (so no real one is ever started here).
  messages_.clear();
  WriteSetting(appState().settingsPath, "SysInfo", "Path", "");
  program(knownSysInfoPrograms().front().program);
  qputenv("PATH", bin.path().toLocal8Bit() + ':' + oldPath);
  clickSysInfo(nullptr);
  EXPECT_TRUE(startedOnce());
  EXPECT_TRUE(messages_.empty());
  qputenv("PATH", oldPath);
}

}  // namespace
}  // namespace quorvel
