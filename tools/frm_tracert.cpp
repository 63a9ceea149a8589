#include "tools/frm_tracert.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/app_state.h"
#include "core/message_box.h"
#include "core/settings.h"
#include "core/text_util.h"
#include "tools/tab_stops.h"
#include "tools/tool_layout.h"
#include "tools/trace_report.h"

namespace quorvel {

namespace {
const QString kSection = QStringLiteral("TraceRoute");
}  // namespace

frmTraceRt::frmTraceRt(const QStringList& urlSources, QWidget* parent)
    : EchoToolWindow(kSection, parent) {
  setObjectName(QStringLiteral("frmTraceRt"));
  setWindowTitle(QStringLiteral("Quorvel - TraceRoute"));

  makeAddressRow(QStringLiteral("Address to trace:"));
  makeTimeOutRow();
  chkResolve_ = makeControl<QCheckBox>("chkResolve");
  chkResolve_->setText(QStringLiteral("Resolve IP Addresses"));
  makeRequestsRow(QStringLiteral("Number of requests to send at each hop:"));
  makeUseIpv6Check();
  makeResultsBox();
  txtResults_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  makeButtons();

  // The positions in twips; the whole layout grows when the font needs more room.
  scale_ = fitScale({{lblAddress_, 1335},
                     {lblTimeOut_, 2775},
                     {chkResolve_, 2055},
                     {chkUseIPv6_, 2055},
                     {lblNumRequests_, 3015},
                     {cmdRun_, 1095},
                     {cmdClose_, 1095}});
  resizeScaledTwips(this, scale_, 6885, 5910);
  setFixedSize(size());
  placeScaledTwips(lblAddress_, scale_, 240, 240, 1335, 255);
  placeScaledTwips(cboAddress_, scale_, 1800, 240, 4695, 315);
  placeScaledTwips(lblTimeOut_, scale_, 240, 720, 2775, 255);
  placeScaledTwips(txtTimeOut_, scale_, 3360, 720, 615, 285);
  placeScaledTwips(chkResolve_, scale_, 4440, 720, 2055, 255);
  placeScaledTwips(lblNumRequests_, scale_, 240, 1200, 3015, 255);
  placeScaledTwips(txtNumRequests_, scale_, 3360, 1200, 615, 285);
  placeScaledTwips(chkUseIPv6_, scale_, 4440, 1200, 2055, 255);
  placeScaledTwips(txtResults_, scale_, 240, 1680, 6375, 3375);
  placeScaledTwips(cmdRun_, scale_, 2040, 5280, 1095, 375);
  placeScaledTwips(cmdClose_, scale_, 3600, 5280, 1095, 375);

  setTabOrder(chkResolve_, txtTimeOut_);
  setTabOrder(txtTimeOut_, txtNumRequests_);
  setTabOrder(txtNumRequests_, chkUseIPv6_);
  setTabOrder(chkUseIPv6_, txtResults_);
  setTabOrder(txtResults_, cmdRun_);
  setTabOrder(cmdRun_, cmdClose_);
  setTabOrder(cmdClose_, cboAddress_);
  chkResolve_->setFocus();

  loadSettings();
  finishSetup(urlSources);
}

void frmTraceRt::loadSettings() {
  loadCommonSettings(kTraceDefaultTimeout, kTraceDefaultRequests);
  chkResolve_->setChecked(false);
  const SettingValue resolve =
      ReadSetting(appState().settingsPath, kSection, QStringLiteral("ResolveIPAddresses"));
  if (leadingNumber(resolve.value) != 0) chkResolve_->setChecked(true);
}

void frmTraceRt::saveSettings() {
  saveCommonSettings();
  WriteSetting(appState().settingsPath, kSection, QStringLiteral("ResolveIPAddresses"),
               chkResolve_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmTraceRt::TraceRt() {
  TraceOptions options;
  options.timeoutMs = traceTimeout(txtTimeOut_->text());
  options.requests = traceRequests(txtNumRequests_->text());
  options.dataSize = kEchoDataSize;
  options.family = addressChoice();
  setTabStopsDialogUnits(txtResults_, {});
  setTabStopsDialogUnits(txtResults_, traceTabStops(options.requests));

  TraceEvents events;
  events.open = echoOpener();
  // An IPv6 address needs a wider column.
  events.resolved = [this, n = options.requests](const IpAddress& a) {
    if (a.isV6()) setTabStopsDialogUnits(txtResults_, traceTabStops(n, ipv6AddressUnits()));
  };
  events.start = [this](const QString& text) { setResultsText(text); };
  events.write = [this](const QString& text) { appendText(text); };
  events.pump = [this] { return pumpEvents(); };
  events.resolveNames = [this] { return chkResolve_->isChecked(); };
  const QString typed = cboAddress_->currentText();
  ::quorvel::TraceRt(typed, options, events, report_);

  switch (report_.outcome) {
    case TraceOutcome::NoSockets:
      showSocketsFailure();
      break;
    case TraceOutcome::Unresolved:
      // Without an address there is nothing to trace: say so rather than report a route.
      setResultsText(QStringLiteral("Unable to resolve host name ") + typed);
      break;
    case TraceOutcome::CannotOpen: {
      QString text = QStringLiteral("Error initiating the trace");
      if (!report_.openError.isEmpty()) text += QStringLiteral("\n\n") + report_.openError;
      showMessage(this, QStringLiteral("Oops"), text, MsgIcon::None);
      break;
    }
    default:
      break;
  }
}

}  // namespace quorvel
