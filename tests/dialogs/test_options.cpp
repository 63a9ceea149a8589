// The options dialog: what OK, Cancel and the close box keep of what was typed.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "common/test_support.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "dialogs/frm_options.h"

namespace quorvel {
namespace {

using testing::widget;

class OptionsTest : public testing::AppFolderTest {};

TEST_F(OptionsTest, WhatOKCancelAndTheCloseBoxKeep) {
  const QString address = QStringLiteral(
      "In order to use a proxy server you must enter an address "
      "for the server!");
  const QString port = QStringLiteral(
      "In order to use a proxy server you must enter a port number "
      "to use for the server!");
  const QString longAddress(400, 'a');
  struct Case {
    int use;  // as the settings file gave it; the dialog opens with address "old" and port 3128
    QString typedAddress, typedPort;  // null: not typed
    bool toggle;
    const char* leave;  // a button, or "close"
    QString said;       // the message, when the dialog stays open
    QString kept;       // "Use|Address|Port" after; null: nothing changed
  };
  const Case cases[] = {
      {0, "   ", "8080", true, "cmdOK", address, {}},
      {0, "proxy.local", "    ", true, "cmdOK", port, {}},
      {0, "  proxy.local ", " 80a ", true, "cmdOK", {}, "1|  proxy.local | 80a "},  // as typed
      {1, "kept.example", "", true, "cmdOK", {}, "0|kept.example|"},  // unchecked keeps texts too
      {2, {}, {}, false, "cmdOK", {}, "0|old|3128"},                  // anything but 1 is off
      {-1, {}, {}, false, "cmdOK", {}, "0|old|3128"},
      {1, longAddress, {}, false, "cmdOK", {}, "1|" + longAddress.left(259) + "|3128"},
      {1, "b.example", "1", true, "cmdCancel", {}, {}},
      {1, "c.example", {}, false, "close", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(
        QStringLiteral("Use=%1, %2, %3").arg(c.use).arg(c.typedAddress, c.leave).toStdString());
    writeFile("Quorvel.ini", "[URLInfo]\nURLFile=URLS.DAT\n");
    const QByteArray before = readFile("Quorvel.ini");
    messages_.clear();
    appState().ProxyUse = std::int16_t(c.use);
    appState().ProxyAddress = "old";
    appState().ProxyPort = "3128";

    frmOptions d;
    d.show();
    auto* use = widget<QCheckBox>(&d, "chkUseProxyServer");
    auto* txtAddress = widget<QLineEdit>(&d, "txtAddress");
    auto* txtPort = widget<QLineEdit>(&d, "txtPort");
    EXPECT_EQ(use->isChecked(), c.use == 1);
    EXPECT_EQ(txtAddress->text() + "|" + txtPort->text(), "old|3128");
    const bool on = use->isChecked();
    if (c.toggle && !on) QTest::mouseClick(use, Qt::LeftButton);
    for (const auto& [box, text] :
         {std::pair{"txtAddress", c.typedAddress}, {"txtPort", c.typedPort}})
      if (!text.isNull()) testing::type(&d, box, text);
    if (c.toggle && on) QTest::mouseClick(use, Qt::LeftButton);
    EXPECT_EQ(txtAddress->isEnabled(), use->isChecked());
    EXPECT_EQ(txtPort->isEnabled(), use->isChecked());
    if (QLatin1String(c.leave) == "close")
      d.close();
    else
      QTest::mouseClick(widget<QPushButton>(&d, c.leave), Qt::LeftButton);

    EXPECT_EQ(d.isVisible(), !c.said.isNull());
    if (c.said.isNull()) {
      EXPECT_TRUE(messages_.empty());
    } else {
      ASSERT_EQ(messages_.size(), 1u);
      EXPECT_EQ(messages_[0].title + ": " + messages_[0].text, "Oops: " + c.said);
      EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
    }
    const QString state = QStringLiteral("%1|%2|%3")
                              .arg(appState().ProxyUse)
                              .arg(appState().ProxyAddress, appState().ProxyPort);
    if (c.kept.isNull()) {
      EXPECT_EQ(readFile("Quorvel.ini"), before);
      EXPECT_EQ(state, QStringLiteral("%1|old|3128").arg(c.use));
    } else {
      EXPECT_EQ(state, c.kept);
      const QStringList k = c.kept.split('|');
      const QByteArray ini = readFile("Quorvel.ini");
      EXPECT_TRUE(ini.startsWith(before) &&
                  ini.endsWith("[Proxy]\nUse=" + k[0].toUtf8() + "\nAddress=" + k[1].toUtf8() +
                               "\nPort=" + k[2].toUtf8() + "\n"))
          << ini.constData();
    }
  }
}

}  // namespace
}  // namespace quorvel
