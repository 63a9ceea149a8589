#include "dialogs/frm_options.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "core/app_state.h"
#include "core/message_box.h"
#include "core/settings.h"
#include "core/text_util.h"
#include "core/twips.h"

namespace quorvel {

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Quorvel Options"));

  fraProxyServer = new QGroupBox(QStringLiteral("Proxy Server "), this);
  fraProxyServer->setObjectName(QStringLiteral("fraProxyServer"));
  chkUseProxyServer =
      new QCheckBox(QStringLiteral("Use proxy server for benchmarks"), fraProxyServer);
  chkUseProxyServer->setObjectName(QStringLiteral("chkUseProxyServer"));
  lblAddress = new QLabel(QStringLiteral("Address:"), fraProxyServer);
  lblAddress->setObjectName(QStringLiteral("lblAddress"));
  txtAddress = new QLineEdit(fraProxyServer);
  txtAddress->setObjectName(QStringLiteral("txtAddress"));
  lblPort = new QLabel(QStringLiteral("Port:"), fraProxyServer);
  lblPort->setObjectName(QStringLiteral("lblPort"));
  txtPort = new QLineEdit(fraProxyServer);
  txtPort->setObjectName(QStringLiteral("txtPort"));
  // No longer than a setting can be read back at the next start.
  txtAddress->setMaxLength(kSettingBufferSize - 1);
  txtPort->setMaxLength(kSettingBufferSize - 1);
  cmdOK = new QPushButton(QStringLiteral("&OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

  // The layout is drawn in twips for a narrow dialog font. Where the font in use needs more
  // room for a caption, everything is widened by the same factor, keeping the proportions.
  struct Place {
    QWidget* w;
    int left, top, width, height;
  };
  const Place places[] = {
      {fraProxyServer, 240, 240, 4095, 1335}, {chkUseProxyServer, 240, 360, 3135, 255},
      {lblAddress, 240, 840, 735, 255},       {txtAddress, 960, 840, 1335, 285},
      {lblPort, 2520, 840, 495, 255},         {txtPort, 3000, 840, 615, 285},
      {cmdOK, 1373, 1920, 855, 375},          {cmdCancel, 2453, 1920, 855, 375},
  };
  const int gap = twipsToPixels(this, 90);  // between a caption and the box after it
  double widen = 1.0;
  for (const Place& p : places) {
    if (p.w != chkUseProxyServer && p.w != lblAddress && p.w != lblPort) continue;
    const int room = twipsToPixels(this, p.width);
    const int need = p.w->sizeHint().width() + (p.w == chkUseProxyServer ? 0 : gap);
    if (room > 0) widen = std::max(widen, double(need) / room);
  }
  const auto wide = [widen](int twips) { return int(std::ceil(twips * widen)); };
  for (const Place& p : places) placeTwips(p.w, wide(p.left), p.top, wide(p.width), p.height);
  resizeTwips(this, wide(4680), 2640);
  setFixedSize(size());
  // A caption ends where its box begins (the design lets them touch).
  for (const auto& [caption, box] : {std::pair{lblAddress, txtAddress}, {lblPort, txtPort}})
    caption->resize(std::min(caption->width(), box->x() - caption->x()), caption->height());
  growToFit(this);  // and taller where the font is

  setTabOrder(chkUseProxyServer, txtAddress);
  setTabOrder(txtAddress, txtPort);
  setTabOrder(txtPort, cmdOK);
  setTabOrder(cmdOK, cmdCancel);

  // Only 1 means "use the proxy": a hand-edited value such as 2 or -1 opens unchecked, and OK
  // then stores "0".
  const AppState& st = appState();
  chkUseProxyServer->setChecked(st.ProxyUse == 1);
  txtAddress->setText(st.ProxyAddress);
  txtPort->setText(st.ProxyPort);
  enableProxyFields();

  connect(chkUseProxyServer, &QCheckBox::clicked, this, &frmOptions::onUseProxyServerClicked);
  connect(cmdOK, &QPushButton::clicked, this, &frmOptions::onOKClicked);
  connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::onCancelClicked);
}

void frmOptions::enableProxyFields() {
  const bool on = chkUseProxyServer->isChecked();
  txtAddress->setEnabled(on);
  txtPort->setEnabled(on);
}

void frmOptions::onUseProxyServerClicked() {
  enableProxyFields();
}

void frmOptions::onOKClicked() {
  const bool use = chkUseProxyServer->isChecked();
  if (use) {
    if (IsBlank(txtAddress->text())) {
      showMessage(this, QStringLiteral("Oops"),
                  QStringLiteral("In order to use a proxy server you must enter an address "
                                 "for the server!"),
                  MsgIcon::Exclamation);
      return;
    }
    if (IsBlank(txtPort->text())) {
      showMessage(this, QStringLiteral("Oops"),
                  QStringLiteral("In order to use a proxy server you must enter a port number "
                                 "to use for the server!"),
                  MsgIcon::Exclamation);
      return;
    }
  }

  AppState& st = appState();
  st.ProxyUse = use ? 1 : 0;
  st.ProxyAddress = txtAddress->text();
  st.ProxyPort = txtPort->text();

  const QString section = QStringLiteral("Proxy");
  WriteSetting(st.settingsPath, section, QStringLiteral("Use"), QString::number(st.ProxyUse));
  WriteSetting(st.settingsPath, section, QStringLiteral("Address"), st.ProxyAddress);
  WriteSetting(st.settingsPath, section, QStringLiteral("Port"), st.ProxyPort);
  accept();
}

void frmOptions::onCancelClicked() {
  reject();
}

}  // namespace quorvel
