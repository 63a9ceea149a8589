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
#include "tools/diag_input.h"
#include "tools/hop_report_table.h"
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
  lvwReport_ = new HopReportTable(this);
  lvwReport_->setObjectName(QStringLiteral("lvwReport"));
  chkReport_ = makeControl<QCheckBox>("chkReport");
  chkReport_->setText(QStringLiteral("Report"));
  txtCycles_ = makeControl<QLineEdit>("txtCycles");
  txtCycles_->setText(QString::number(kReportDefaultCycles));
  txtCycles_->setToolTip(QStringLiteral("Cycles of the report"));
  txtCycles_->setAccessibleName(QStringLiteral("Cycles"));
  makeButtons();

  // The positions in twips; the whole layout grows when the font needs more room.
  scale_ = fitScale({{lblAddress_, 1335},
                     {lblTimeOut_, 2775},
                     {chkResolve_, 2055},
                     {chkUseIPv6_, 2055},
                     {chkReport_, 975},
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
  placeScaledTwips(lvwReport_, scale_, 240, 1680, 6375, 3375);
  placeScaledTwips(chkReport_, scale_, 240, 5340, 975, 255);
  placeScaledTwips(txtCycles_, scale_, 1260, 5310, 615, 285);
  placeScaledTwips(cmdRun_, scale_, 2040, 5280, 1095, 375);
  placeScaledTwips(cmdClose_, scale_, 3600, 5280, 1095, 375);

  setTabOrder(chkResolve_, txtTimeOut_);
  setTabOrder(txtTimeOut_, txtNumRequests_);
  setTabOrder(txtNumRequests_, chkUseIPv6_);
  setTabOrder(chkUseIPv6_, txtResults_);
  setTabOrder(txtResults_, lvwReport_);
  setTabOrder(lvwReport_, chkReport_);
  setTabOrder(chkReport_, txtCycles_);
  setTabOrder(txtCycles_, cmdRun_);
  setTabOrder(cmdRun_, cmdClose_);
  setTabOrder(cmdClose_, cboAddress_);
  chkResolve_->setFocus();
  connect(chkReport_, &QCheckBox::toggled, this, &frmTraceRt::showReportMode);
  showReportMode(false);

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

void frmTraceRt::showReportMode(bool on) {
  txtResults_->setVisible(!on);
  lvwReport_->setVisible(on);
}

// The report's cycles, the table filled again after each.
void frmTraceRt::RunReport() {
  HopReportOptions options;
  options.timeoutMs = traceTimeout(txtTimeOut_->text());
  // Cycles read as the other boxes are read: rounded, halves to even; below 1 the default.
  const std::optional<double> cyclesTyped = numericText(txtCycles_->text());
  const long long cycles = cyclesTyped ? roundHalfEven(*cyclesTyped, 0, 100000) : 0;
  options.cycles = cycles >= 1 ? static_cast<int>(cycles) : kReportDefaultCycles;
  options.dataSize = kEchoDataSize;
  options.family = addressChoice();
  lvwReport_->showReport(HopReport{});

  HopReportEvents events;
  events.open = echoOpener();
  events.pump = [this] { return pumpEvents(); };
  events.cycleDone = [this](const HopReport& r) { lvwReport_->showReport(r); };
  events.resolveNames = [this] { return chkResolve_->isChecked(); };
  const QString typed = cboAddress_->currentText();
  RunHopReport(typed, options, events, hopReport_);
  lvwReport_->showReport(hopReport_);

  if (hopReport_.outcome == TraceOutcome::NoSockets) {
    showSocketsFailure();
  } else if (hopReport_.outcome == TraceOutcome::Unresolved) {
    showMessage(this, QStringLiteral("Oops"),
                QStringLiteral("Unable to resolve host name ") + typed, MsgIcon::Exclamation);
  } else if (hopReport_.outcome == TraceOutcome::CannotOpen) {
    QString text = QStringLiteral("Error initiating the trace");
    if (!hopReport_.openError.isEmpty()) text += QStringLiteral("\n\n") + hopReport_.openError;
    showMessage(this, QStringLiteral("Oops"), text, MsgIcon::None);
  }
}

void frmTraceRt::TraceRt() {
  // The mode stays as it is while the trace or the report runs.
  chkReport_->setEnabled(false);
  txtCycles_->setEnabled(false);
  if (chkReport_->isChecked())
    RunReport();
  else
    traceText();
  chkReport_->setEnabled(true);
  txtCycles_->setEnabled(true);
}

void frmTraceRt::traceText() {
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
