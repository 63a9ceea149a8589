#include "tools/frm_ping.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/message_box.h"
#include "tools/tab_stops.h"
#include "tools/tool_layout.h"

namespace quorvel {

namespace {
const QString kSection = QStringLiteral("Ping");
}  // namespace

frmPing::frmPing(const QStringList& urlSources, QWidget* parent)
    : EchoToolWindow(kSection, parent) {
  setObjectName(QStringLiteral("frmPing"));
  setWindowTitle(QStringLiteral("Quorvel - Ping"));

  makeAddressRow(QStringLiteral("Address to ping:"));
  makeRequestsRow(QStringLiteral("Number of requests to send:"));
  makeTimeOutRow();
  makeUseIpv6Check();
  makeResultsBox();
  static const char* const kStatNames[5] = {
      "Average:", "Minimum:", "Maximum:", "Packets Sent:", "Packets Lost:"};
  for (int i = 0; i < 5; ++i) {
    lblStats_[i] = makeControl<QLabel>("lblStats");
    lblStats_[i]->setProperty("index", i);
    lblStats_[i]->setText(QString::fromLatin1(kStatNames[i]));
    txtStats_[i] = makeControl<QLineEdit>("txtStats");
    txtStats_[i]->setProperty("index", i);
    txtStats_[i]->setReadOnly(true);
    txtStats_[i]->setFocusPolicy(Qt::ClickFocus);
  }
  lblSpread_ = makeControl<QLabel>("lblSpread");
  lblSpread_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  makeButtons();

  // Address and the two numbers on top, the results across the window, the five statistics
  // in a row below them, the buttons centred at the bottom. Positions in twips; the whole
  // layout grows when the font needs more room.
  std::vector<std::pair<QWidget*, int>> fit{{lblAddress_, 1335}, {lblNumRequests_, 2775},
                                            {lblTimeOut_, 2775}, {chkUseIPv6_, 2055},
                                            {cmdRun_, 1095},     {cmdClose_, 1095}};
  for (QLabel* l : lblStats_) fit.emplace_back(l, 1215);
  scale_ = fitScale(fit);
  resizeScaledTwips(this, scale_, 6885, 5910);
  setFixedSize(size());
  placeScaledTwips(lblAddress_, scale_, 240, 240, 1335, 255);
  placeScaledTwips(cboAddress_, scale_, 1800, 240, 4815, 315);
  placeScaledTwips(lblNumRequests_, scale_, 240, 720, 2775, 255);
  placeScaledTwips(txtNumRequests_, scale_, 3360, 720, 615, 285);
  placeScaledTwips(chkUseIPv6_, scale_, 4440, 720, 2055, 255);
  placeScaledTwips(lblTimeOut_, scale_, 240, 1200, 2775, 255);
  placeScaledTwips(txtTimeOut_, scale_, 3360, 1200, 615, 285);
  placeScaledTwips(txtResults_, scale_, 240, 1680, 6375, 2535);
  for (int i = 0; i < 5; ++i) {
    placeScaledTwips(lblStats_[i], scale_, 240 + i * 1290, 4335, 1215, 255);
    placeScaledTwips(txtStats_[i], scale_, 240 + i * 1290, 4620, 1215, 285);
  }
  placeScaledTwips(lblSpread_, scale_, 240, 4950, 6375, 255);
  placeScaledTwips(cmdRun_, scale_, 2040, 5280, 1095, 375);
  placeScaledTwips(cmdClose_, scale_, 3600, 5280, 1095, 375);

  setTabOrder(cboAddress_, txtNumRequests_);
  setTabOrder(txtNumRequests_, txtTimeOut_);
  setTabOrder(txtTimeOut_, chkUseIPv6_);
  setTabOrder(chkUseIPv6_, txtResults_);
  setTabOrder(txtResults_, cmdRun_);
  setTabOrder(cmdRun_, cmdClose_);
  cboAddress_->setFocus();

  loadCommonSettings(kPingDefaultTimeout, kPingDefaultRequests);
  finishSetup(urlSources);
}

void frmPing::showLiveFigures() {
  const PingStats& s = report_.stats;
  txtStats_[0]->setText(s.averageText());
  txtStats_[1]->setText(s.minimumText());
  txtStats_[2]->setText(s.maximumText());
  txtStats_[3]->setText(s.sentText());
  txtStats_[4]->setText(s.lostText());
  lblSpread_->setText(rttSummaryLine(pingRttStats(report_)));
}

void frmPing::RunPingSeries() {
  PingSeriesOptions options;
  options.timeoutMs = pingTimeout(txtTimeOut_->text());
  options.count = pingRequests(txtNumRequests_->text());
  options.dataSize = kEchoDataSize;
  options.family = addressChoice();
  setTabStopsDialogUnits(txtResults_, {});
  setTabStopsDialogUnits(txtResults_, pingTabStops());
  setResultsText(QString());

  PingSeriesEvents events;
  events.open = echoOpener();
  // An IPv6 address needs a wider column.
  events.resolved = [this](const IpAddress& a) {
    if (a.isV6()) setTabStopsDialogUnits(txtResults_, pingTabStops(ipv6AddressUnits()));
  };
  events.write = [this](const QString& text) { appendText(text); };
  events.pump = [this] { return pumpEvents(); };
  events.counted = [this] { liveFiguresChanged(); };
  ::quorvel::RunPingSeries(cboAddress_->currentText(), options, events, report_);

  if (report_.outcome == PingOutcome::NoSockets) {
    showSocketsFailure();
  } else if (report_.outcome == PingOutcome::CannotOpen) {
    appendText(QStringLiteral("Unable to send ping requests"));
    showMessage(this, QStringLiteral("Oops"), report_.openError, MsgIcon::Exclamation);
  }
}

}  // namespace quorvel
