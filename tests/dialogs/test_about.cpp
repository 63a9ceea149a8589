#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>

#include "common/test_support.h"
#include "dialogs/about_text.h"
#include "dialogs/frm_about.h"
#include "dialogs/url_opener.h"
#include "quorvel_version.h"

namespace quorvel {
namespace {

TEST(AboutText, VersionShowsTheRevisionOnlyAboveZero) {
  EXPECT_EQ(versionText(1, 8, 0), "Version 1.8");
  EXPECT_EQ(versionText(1, 8, 3), "Version 1.8.3");
  EXPECT_EQ(versionText(2, 0, -1), "Version 2.0");
  EXPECT_EQ(versionText(1, 10, 12), "Version 1.10.12");
}

TEST(AboutText, TitleJoinsNameAndDescriptionUnlessTheyAreTheSame) {
  EXPECT_EQ(aboutTitle("Quorvel", "Connection Benchmark"), "Quorvel - Connection Benchmark");
  EXPECT_EQ(aboutTitle("Quorvel", "Quorvel"), "Quorvel");
}

class AboutTest : public testing::AppFolderTest {
 protected:
  void TearDown() override {
    setUrlOpener({});
    AppFolderTest::TearDown();
  }
  static QLabel* label(frmAbout& d, const char* name) { return d.findChild<QLabel*>(name); }
};

TEST_F(AboutTest, ShowsTheProgramIdentity) {
  frmAbout dlg;
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), QString("About ") + version::kProductName);
  EXPECT_EQ(label(dlg, "lblTitle")->text(),
            QString(version::kProductName) + " - " + version::kFileDescription);
  EXPECT_TRUE(label(dlg, "lblTitle")->font().bold());
  // This build is 1.8.0.
  EXPECT_EQ(label(dlg, "lblVersion")->text(), "Version 1.8");
  EXPECT_EQ(label(dlg, "lblDescription")->text(), version::kCopyright);
  EXPECT_EQ(label(dlg, "lblTechSupport")->text(), "Tech Support: ");
  EXPECT_EQ(label(dlg, "lblEMail")->text(), "E-Mail:");
  EXPECT_EQ(label(dlg, "lblWeb")->text(), "Web:");
  EXPECT_EQ(label(dlg, "lblEMailLink")->text(), version::kSupportEmail);
  EXPECT_EQ(label(dlg, "lblWebLink")->text(), version::kWebAddress);
  EXPECT_FALSE(label(dlg, "picIcon")->pixmap().isNull());
  EXPECT_EQ(dlg.findChildren<QFrame*>(QRegularExpression("^linSeparator")).size(), 2);
  EXPECT_EQ(dlg.findChild<QPushButton*>("cmdOK")->text(), "OK");
  EXPECT_EQ(dlg.findChild<QPushButton*>("cmdSysInfo")->text(), "&System Info...");

  for (const char* name : {"lblEMailLink", "lblWebLink"}) {
    QLabel* link = label(dlg, name);
    EXPECT_TRUE(link->font().underline()) << name;
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << name;
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255)) << name;
  }
  EXPECT_EQ(label(dlg, "lblVersion")->cursor().shape(), Qt::ArrowCursor);

  // Every caption is whole and inside the window.
  for (QLabel* l : dlg.findChildren<QLabel*>()) {
    EXPECT_TRUE(dlg.rect().contains(l->geometry())) << l->objectName().toStdString();
    if (!l->wordWrap() && !l->text().isEmpty()) {
      EXPECT_GE(l->width(), l->sizeHint().width()) << l->objectName().toStdString();
    }
  }
  for (QPushButton* b : dlg.findChildren<QPushButton*>())
    EXPECT_TRUE(dlg.rect().contains(b->geometry())) << b->objectName().toStdString();

  dlg.findChild<QPushButton*>("cmdOK")->click();
  EXPECT_FALSE(dlg.isVisible());
}

TEST_F(AboutTest, LinkLabelsOpenMailAndWebAddresses) {
  std::vector<QUrl> opened;
  setUrlOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  frmAbout dlg;
  dlg.show();
  for (const char* name : {"lblEMailLink", "lblWebLink"}) {
    QLabel* link = label(dlg, name);
    const QPointF at(link->width() / 2.0, link->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, link->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, link->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(link, &press);
    QCoreApplication::sendEvent(link, &release);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << name;
  }
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], QUrl(QString("mailto:") + version::kSupportEmail));
  EXPECT_EQ(opened[1], QUrl(QString("http://") + version::kWebAddress));
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace quorvel
