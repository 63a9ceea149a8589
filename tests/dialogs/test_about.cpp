// The about box: its texts, its links (when a link turns visited, what it opens), and the
// system-information program it starts. The desktop's programs are scripts of the test's own on
// PATH, so that no real one is ever started here.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "app/frm_quorvel.h"
#include "common/test_support.h"
#include "core/app_icon.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "dialogs/about_text.h"
#include "dialogs/frm_about.h"
#include "dialogs/hyper_text.h"
#include "dialogs/link_target.h"
#include "quorvel_version.h"

namespace quorvel {
namespace {

using testing::widget;

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

TEST(AboutText, VersionTitleAndLinkTargets) {
  EXPECT_EQ(versionText(1, 8, 0), "Version 1.8");  // the revision only above zero
  EXPECT_EQ(versionText(1, 10, 12), "Version 1.10.12");
  EXPECT_EQ(versionText(2, 0, -1), "Version 2.0");
  EXPECT_EQ(aboutTitle("Quorvel", "Connection Benchmark"), "Quorvel - Connection Benchmark");
  EXPECT_EQ(aboutTitle("Quorvel", "Quorvel"), "Quorvel");
  const std::pair<const char*, QUrl> links[] = {
      {"support@quorvel.example", QUrl("mailto:support@quorvel.example")},
      {"mailto:a@b.example", QUrl("mailto:a@b.example")},
      {"www.quorvel.example", QUrl("http://www.quorvel.example")},
      {"https://www.quorvel.example/a?b=1", QUrl("https://www.quorvel.example/a?b=1")},
      {"127.0.0.1:8080/x", QUrl("http://127.0.0.1:8080/x")},
      {"", QUrl()},
      {"file:///etc/passwd", QUrl()},  // nothing but the mail program and the browser
      {"bad host name", QUrl()},
  };
  for (const auto& [caption, url] : links) EXPECT_EQ(linkUrl(linkTarget(caption)), url) << caption;
}

class AboutTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    oldPath_ = qgetenv("PATH");
    qputenv("PATH", bin_.path().toLocal8Bit());
  }
  void TearDown() override {
    qputenv("PATH", oldPath_);
    AppFolderTest::TearDown();
  }
  // A program on PATH of the test's own, a shell script.
  void program(const QString& name, const QByteArray& script) {
    const QString file = bin_.path() + '/' + name;
    testing::put(file, "#!/bin/sh\n" + script);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ExeOwner);
  }
  static QColor colour(const QLabel& l) { return l.palette().color(QPalette::WindowText); }
  QString said() {  // the message of the click, taken
    const QString s = messages_.empty() ? QString() : messages_[0].title + ": " + messages_[0].text;
    messages_.clear();
    return s;
  }
  QTemporaryDir bin_;
  QByteArray oldPath_;
};

// xdg-open notes its argument and ends with the exit status of the step. A link turns visited
// (red) after the first open that worked, for good; only a left button let go on it opens it.
TEST_F(AboutTest, LinksOpenThroughTheDesktopsHandlerAndTurnVisitedWhenItSucceeds) {
  const auto xdgOpen = [&](int exitStatus) {
    program("xdg-open", QStringLiteral("printf '%s\\n' \"$1\" >> '%1'\nexit %2\n")
                            .arg(path("handed.txt"))
                            .arg(exitStatus)
                            .toUtf8());
  };
  frmAbout dlg;
  dlg.show();
  EXPECT_TRUE(widget<QLabel>(&dlg, "lblTitle")->font().bold());
  EXPECT_FALSE(widget<QLabel>(&dlg, "picIcon")->pixmap().isNull());
  QLabel* web = widget<QLabel>(&dlg, "lblWebLink");
  QLabel* mail = widget<QLabel>(&dlg, "lblEMailLink");
  for (QLabel* link : {web, mail}) {
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(colour(*link), kBlue);
  }
  xdgOpen(0);
  for (const auto& [button, at] : {std::pair{Qt::RightButton, QPointF(5, 5)},
                                   {Qt::LeftButton, QPointF(5000, 5)}}) {  // outside the label
    QMouseEvent e(QEvent::MouseButtonRelease, at, web->mapToGlobal(at), button, Qt::NoButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(web, &e);
  }
  struct Step {
    QLabel* link;
    int exitStatus;
    const char* said;  // "": opened
    bool visited;
  };
  for (const Step& c :
       {Step{web, 4, "Error: Could not start browser!", false}, Step{web, 0, "", true},
        Step{web, 4, "Error: Could not start browser!", true},
        Step{mail, 1, "Error: Could not start e-mail program!", false}, Step{mail, 0, "", true}}) {
    SCOPED_TRACE(c.link->text().toStdString() + " " + std::to_string(c.exitStatus));
    xdgOpen(c.exitStatus);
    QTest::mouseClick(c.link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    // Bounded well beyond the time after which a handler still running counts as a success.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return *c.said ? !messages_.empty() : colour(*c.link) == kRed; }, 10000));
    EXPECT_EQ(said(), c.said);
    EXPECT_EQ(colour(*c.link), c.visited ? kRed : kBlue);
  }

  // An address that is no URL fails without a call; a label gone first is harmless.
  QLabel label("not a web address");
  HyperText bad, orphan;
  bad.CreateHyper(&label);
  bad.onLabelClicked();
  EXPECT_EQ(said(), "Error: Could not start browser!");
  {
    QLabel gone("www.quorvel.example");
    orphan.CreateHyper(&gone);
  }
  orphan.onLabelClicked();
  QTest::qWait(200);
  EXPECT_EQ(said(), "");
  EXPECT_EQ(readFile("handed.txt"),
            "http://www.quorvel.example\nhttp://www.quorvel.example\nhttp://www.quorvel.example\n"
            "mailto:support@quorvel.example\nmailto:support@quorvel.example\n");
  QTest::mouseClick(widget<QPushButton>(&dlg, "cmdOK"), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());

  // A handler that keeps running (a browser in the foreground) has opened the link; it ends in
  // its own time and leaves nothing behind.
  QLabel site("www.quorvel.example");
  HyperText link;
  link.CreateHyper(&site);
  program("xdg-open", "/bin/sleep 4\n: > \"$0.done\"\n");
  link.onLabelClicked();
  EXPECT_TRUE(QTest::qWaitFor([&] { return link.visited(); }, 10000));
  EXPECT_EQ(said(), "");
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return QFile::exists(bin_.path() + "/xdg-open.done"); }, 10000));
  QTest::qWait(200);
  // No xdg-open at all: not even the shell's search finds one.
  QFile::remove(bin_.path() + "/xdg-open");
  HyperText none;
  none.CreateHyper(&site);
  none.onLabelClicked();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !messages_.empty(); }, 10000));
  EXPECT_EQ(said(), "Error: Could not start browser!");
}

// The program's own icon in the box (and, once the main window is up, on every window); the
// links readable on a dark window (the palette's link colours) and reachable with Tab, opened
// with Enter.
TEST_F(AboutTest, IconDarkPaletteAndKeyboard) {
  frmAbout box;
  const QImage icon = widget<QLabel>(&box, "picIcon")->pixmap().toImage();
  const QImage drawn = appIconPixmap(icon.width()).toImage();
  EXPECT_EQ(icon.convertToFormat(QImage::Format_ARGB32), drawn.convertToFormat(QImage::Format_ARGB32));
  EXPECT_GT(drawn.pixelColor(drawn.width() / 2, drawn.height() / 2).alpha(), 0);  // not empty
  {
    frmQuorvel main;
    frmAbout dlg(&main);
    EXPECT_EQ(dlg.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    EXPECT_FALSE(dlg.windowIcon().isNull());
  }

  program("xdg-open", QStringLiteral("printf '%s\\n' \"$1\" >> '%1'\n").arg(path("handed.txt")).toUtf8());
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Link, QColor(120, 170, 255));
  dark.setColor(QPalette::LinkVisited, QColor(220, 140, 255));
  QApplication::setPalette(dark);
  {
    frmAbout dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QLabel* web = widget<QLabel>(&dlg, "lblWebLink");
    EXPECT_EQ(colour(*web), QColor(120, 170, 255));
    QWidget* focused = testing::tabTo(&dlg, "lblWebLink");
    EXPECT_EQ(focused, web);
    QTest::keyClick(focused, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return colour(*web) == QColor(220, 140, 255); }, 10000));
    EXPECT_EQ(readFile("handed.txt"), "http://www.quorvel.example\n");
    EXPECT_EQ(testing::tabTo(&dlg, "lblEMailLink"), widget<QLabel>(&dlg, "lblEMailLink"));
  }
  QApplication::setPalette(light);
}

// The configured program as it stands, else the first known one on PATH, with its arguments;
// the message when there is none or it cannot be started.
TEST_F(AboutTest, SysInfoStartsTheConfiguredProgramOrTheFirstKnownOne) {
  const auto click = [&](const QString& configured) {
    WriteSetting(appState().settingsPath, "SysInfo", "Path", configured);
    frmAbout dlg;
    dlg.show();
    QTest::mouseClick(widget<QPushButton>(&dlg, "cmdSysInfo"), Qt::LeftButton);
    EXPECT_TRUE(dlg.isVisible());
  };
  // Each program notes its name and arguments in the application folder.
  const auto mark = [&](const QString& name) {
    program(name, "echo \"${0##*/} $*\" > '" + path("started.txt").toLocal8Bit() + "'\n");
  };
  const auto started = [&] {
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path("started.txt")); }, 10000));
    const QByteArray s = readFile("started.txt").trimmed();
    QFile::remove(path("started.txt"));
    return s;
  };
  const QString unavailable = "Quorvel: System Information Is Unavailable At This Time";
  click("");  // none known on PATH
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].icon, MsgIcon::None);
  EXPECT_EQ(said(), unavailable);

  mark("my sysinfo");
  mark("gnome-control-center");
  click(bin_.path() + "/my sysinfo");
  EXPECT_EQ(started(), "my sysinfo");
  click(bin_.path() + "/gone");  // started as it stands: no search
  EXPECT_EQ(said(), unavailable);
  click("   ");  // a blank path counts as none
  EXPECT_EQ(started(), "gnome-control-center info-overview");
  mark("kinfocenter");  // known before it
  click("");
  EXPECT_EQ(started(), "kinfocenter");
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace quorvel
