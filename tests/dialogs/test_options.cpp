#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "app/app_state.h"
#include "app/settings.h"
#include "common/test_support.h"
#include "dialogs/frm_options.h"

namespace quorvel {
namespace {

class OptionsTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    writeFile("Quorvel.ini", "[URLInfo]\nURLFile=URLS.DAT\n");
  }

  // A fresh dialog, shown (offscreen) as the main window would show it.
  std::unique_ptr<frmOptions> open() {
    auto dlg = std::make_unique<frmOptions>();
    dlg->show();
    return dlg;
  }
  static QCheckBox* check(frmOptions& d) { return d.findChild<QCheckBox*>("chkUseProxyServer"); }
  static QLineEdit* address(frmOptions& d) { return d.findChild<QLineEdit*>("txtAddress"); }
  static QLineEdit* port(frmOptions& d) { return d.findChild<QLineEdit*>("txtPort"); }
  static QPushButton* button(frmOptions& d, const char* name) {
    return d.findChild<QPushButton*>(name);
  }
  QString stored(const char* key) const {
    return ReadSetting(appState().settingsPath, "Proxy", key).value;
  }

  static constexpr const char* kAddressMessage =
      "In order to use a proxy server you must enter an address for the server!";
  static constexpr const char* kPortMessage =
      "In order to use a proxy server you must enter a port number to use for the server!";
};

TEST_F(OptionsTest, ControlsAndTabOrder) {
  auto dlg = open();
  EXPECT_EQ(dlg->windowTitle(), "Quorvel Options");
  auto* frame = dlg->findChild<QWidget*>("fraProxyServer");
  ASSERT_NE(frame, nullptr);
  for (const char* name : {"chkUseProxyServer", "lblAddress", "txtAddress", "lblPort", "txtPort"}) {
    auto* w = dlg->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(w->parentWidget(), frame) << name;
  }
  EXPECT_EQ(button(*dlg, "cmdOK")->text(), "&OK");
  EXPECT_EQ(button(*dlg, "cmdCancel")->text(), "&Cancel");

  // Tab goes check box, address, port, OK, Cancel.
  const std::vector<QWidget*> order = {check(*dlg), address(*dlg), port(*dlg),
                                       button(*dlg, "cmdOK"), button(*dlg, "cmdCancel")};
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    QWidget* next = order[i]->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    EXPECT_EQ(next, order[i + 1]) << order[i]->objectName().toStdString();
  }
}

TEST_F(OptionsTest, CaptionsFitAndNothingOverlaps) {
  auto dlg = open();
  auto* frame = dlg->findChild<QWidget*>("fraProxyServer");
  auto* lblAddress = dlg->findChild<QWidget*>("lblAddress");
  auto* lblPort = dlg->findChild<QWidget*>("lblPort");
  for (QWidget* w : {static_cast<QWidget*>(check(*dlg)), lblAddress, lblPort})
    EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
  EXPECT_LE(lblAddress->geometry().right(), address(*dlg)->geometry().left());
  EXPECT_LE(address(*dlg)->geometry().right(), lblPort->geometry().left());
  EXPECT_LE(lblPort->geometry().right(), port(*dlg)->geometry().left());
  for (QWidget* w : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(frame->rect().contains(w->geometry())) << w->objectName().toStdString();
  for (QWidget* w : {frame, static_cast<QWidget*>(button(*dlg, "cmdOK")),
                     static_cast<QWidget*>(button(*dlg, "cmdCancel"))})
    EXPECT_TRUE(dlg->rect().contains(w->geometry())) << w->objectName().toStdString();
  EXPECT_LE(button(*dlg, "cmdOK")->geometry().right(), button(*dlg, "cmdCancel")->x());
}

TEST_F(OptionsTest, TextBoxesFollowTheCheckBoxOnOpeningAndOnClick) {
  appState().ProxyAddress = "proxy.local";
  appState().ProxyPort = "3128";
  auto dlg = open();
  EXPECT_FALSE(check(*dlg)->isChecked());
  EXPECT_FALSE(address(*dlg)->isEnabled());
  EXPECT_FALSE(port(*dlg)->isEnabled());
  EXPECT_TRUE(dlg->findChild<QWidget*>("lblAddress")->isEnabled());
  EXPECT_EQ(address(*dlg)->text(), "proxy.local");
  EXPECT_EQ(port(*dlg)->text(), "3128");

  check(*dlg)->click();
  EXPECT_TRUE(address(*dlg)->isEnabled());
  EXPECT_TRUE(port(*dlg)->isEnabled());
  check(*dlg)->click();
  EXPECT_FALSE(address(*dlg)->isEnabled());
  EXPECT_FALSE(port(*dlg)->isEnabled());

  appState().ProxyUse = 1;
  auto checkedDlg = open();
  EXPECT_TRUE(check(*checkedDlg)->isChecked());
  EXPECT_TRUE(address(*checkedDlg)->isEnabled());
  EXPECT_TRUE(port(*checkedDlg)->isEnabled());
}

TEST_F(OptionsTest, CheckedNeedsAnAddressAndThenAPort) {
  const QByteArray before = readFile("Quorvel.ini");
  auto dlg = open();
  check(*dlg)->click();
  address(*dlg)->setText("   ");
  port(*dlg)->setText("8080");
  button(*dlg, "cmdOK")->click();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, "Oops");
  EXPECT_EQ(messages_[0].text, kAddressMessage);
  EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(address(*dlg)->text(), "   ");

  address(*dlg)->setText("proxy.local");
  port(*dlg)->setText("    ");
  button(*dlg, "cmdOK")->click();
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[1].title, "Oops");
  EXPECT_EQ(messages_[1].text, kPortMessage);
  EXPECT_EQ(messages_[1].icon, MsgIcon::Exclamation);
  EXPECT_TRUE(dlg->isVisible());

  // Nothing stored after either message.
  EXPECT_EQ(readFile("Quorvel.ini"), before);
  EXPECT_EQ(appState().ProxyUse, 0);
  EXPECT_EQ(appState().ProxyAddress, "");
  EXPECT_EQ(appState().ProxyPort, "");
}

TEST_F(OptionsTest, CheckedWithBothSavesTextsAsTypedInOrder) {
  auto dlg = open();
  check(*dlg)->click();
  address(*dlg)->setText("  proxy.local ");
  port(*dlg)->setText(" 80a ");  // not a number: stored as typed
  button(*dlg, "cmdOK")->click();
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Accepted);

  // The next run reads these.
  EXPECT_EQ(appState().ProxyUse, 1);
  EXPECT_EQ(appState().ProxyAddress, "  proxy.local ");
  EXPECT_EQ(appState().ProxyPort, " 80a ");

  const QByteArray ini = readFile("Quorvel.ini");
  EXPECT_TRUE(ini.contains("[Proxy]\nUse=1\nAddress=  proxy.local \nPort= 80a \n"))
      << ini.constData();
  EXPECT_TRUE(ini.startsWith("[URLInfo]\nURLFile=URLS.DAT\n"));
}

TEST_F(OptionsTest, UncheckedSavesWhateverIsTypedAndShowsItAgain) {
  appState().ProxyUse = 1;
  appState().ProxyAddress = "old";
  appState().ProxyPort = "1";
  auto dlg = open();
  check(*dlg)->click();  // off: boxes disabled but keep their texts
  address(*dlg)->setText("kept.example");
  port(*dlg)->setText("");
  button(*dlg, "cmdOK")->click();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(stored("Use"), "0");
  EXPECT_EQ(stored("Address"), "kept.example");
  EXPECT_EQ(stored("Port"), "");
  EXPECT_EQ(appState().ProxyUse, 0);

  auto again = open();
  EXPECT_FALSE(check(*again)->isChecked());
  EXPECT_EQ(address(*again)->text(), "kept.example");
  EXPECT_EQ(port(*again)->text(), "");
  EXPECT_FALSE(address(*again)->isEnabled());

  // What is saved is what the next start reads back, however much is typed.
  check(*again)->click();
  address(*again)->setText(QString(400, 'a'));
  port(*again)->setText("8080");
  button(*again, "cmdOK")->click();
  EXPECT_EQ(appState().ProxyAddress, stored("Address"));
  EXPECT_EQ(stored("Address").size(), kSettingBufferSize - 1);
}

TEST_F(OptionsTest, CancelAndCloseBoxChangeNothing) {
  writeFile("Quorvel.ini", "[Proxy]\nUse=1\nAddress=a.example\nPort=3128\n");
  const QByteArray before = readFile("Quorvel.ini");
  appState().ProxyUse = 1;
  appState().ProxyAddress = "a.example";
  appState().ProxyPort = "3128";

  auto dlg = open();
  check(*dlg)->click();
  address(*dlg)->setText("b.example");
  port(*dlg)->setText("1");
  button(*dlg, "cmdCancel")->click();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);

  auto closed = open();
  address(*closed)->setText("c.example");
  closed->close();
  EXPECT_FALSE(closed->isVisible());

  EXPECT_EQ(readFile("Quorvel.ini"), before);
  EXPECT_EQ(appState().ProxyUse, 1);
  EXPECT_EQ(appState().ProxyAddress, "a.example");
  EXPECT_EQ(appState().ProxyPort, "3128");

  // Each opening starts from the shared state again.
  auto fresh = open();
  EXPECT_TRUE(check(*fresh)->isChecked());
  EXPECT_EQ(address(*fresh)->text(), "a.example");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(OptionsTest, StoredUseOtherThanZeroOrOneOpensUnchecked) {
  for (std::int16_t use : {std::int16_t(2), std::int16_t(-1)}) {
    appState().ProxyUse = use;
    appState().ProxyAddress = "p.example";
    appState().ProxyPort = "8080";
    auto dlg = open();
    EXPECT_FALSE(check(*dlg)->isChecked()) << use;
    EXPECT_FALSE(address(*dlg)->isEnabled()) << use;
    button(*dlg, "cmdOK")->click();
    EXPECT_EQ(stored("Use"), "0") << use;
    EXPECT_EQ(appState().ProxyUse, 0) << use;
  }
}

}  // namespace
}  // namespace quorvel
