#include "tools/frm_tracert.h"

#include <arpa/inet.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/app_state.h"
#include "app/message_box.h"
#include "app/settings.h"
#include "app/text_util.h"
#include "tools/tab_stops.h"
#include "tools/tool_layout.h"
#include "tools/trace_report.h"
#include "tools/trace_rt.h"

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
  makeResultsBox();
  txtResults_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  makeButtons();

  // The positions in twips; the whole layout grows when the font needs more room.
  scale_ = fitScale({{lblAddress_, 1335},
                     {lblTimeOut_, 2775},
                     {chkResolve_, 2055},
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
  placeScaledTwips(txtResults_, scale_, 240, 1680, 6375, 3375);
  placeScaledTwips(cmdRun_, scale_, 2040, 5280, 1095, 375);
  placeScaledTwips(cmdClose_, scale_, 3600, 5280, 1095, 375);

  setTabOrder(chkResolve_, txtTimeOut_);
  setTabOrder(txtTimeOut_, txtNumRequests_);
  setTabOrder(txtNumRequests_, txtResults_);
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
  const int timeoutMs = traceTimeout(txtTimeOut_->text());
  const int n = traceRequests(txtNumRequests_->text());
  setTabStopsDialogUnits(txtResults_, {});
  setTabStopsDialogUnits(txtResults_, traceTabStops(n));

  if (!startSockets()) {
    return;
  }

  const QString typed = cboAddress_->currentText();
  const QString destText = GetHostAddress(typed);
  if (destText.isEmpty()) {
    // Without an address there is nothing to trace: say so rather than report a route.
    setResultsText(QStringLiteral("Unable to resolve host name ") + typed);
    StopSockets();
    return;
  }
  setResultsText(QStringLiteral("Tracing route to ") + destText + QStringLiteral("\n\n"));
  pumpEvents();

  in_addr dest{};
  inet_pton(AF_INET, destText.toLatin1().constData(), &dest);
  IcmpOpenResult opened = openEcho();
  if (!opened.echo) {
    QString text = QStringLiteral("Error initiating the trace");
    if (!opened.error.isEmpty()) text += QStringLiteral("\n\n") + opened.error;
    showMessage(this, QStringLiteral("Oops"), text, MsgIcon::None);
    StopSockets();
    return;
  }

  int silentHops = 0;
  for (int ttl = 1; ttl <= kTraceMaximumHops; ++ttl) {
    QString hopAddress;
    if (ProbeHop(*opened.echo, dest.s_addr, kEchoDataSize, n, timeoutMs, ttl, hopAddress) == 1)
      ++silentHops;
    else
      silentHops = 0;
    pumpEvents();
    if (hopAddress == destText) {
      appendText(QStringLiteral("\nTrace route complete"));
      break;
    }
    if (silentHops >= 2) {
      appendText(QStringLiteral("\nTrace timed out"));
      break;
    }
    if (appState().CancelRequested) {
      appendText(QStringLiteral("\nTrace cancelled by user"));
      break;
    }
  }
  opened.echo.reset();
  StopSockets();
}

int frmTraceRt::ProbeHop(IcmpEcho& echo, std::uint32_t destination, int dataSize, int n,
                         int timeoutMs, int ttl, QString& hopAddress) {
  hopAddress.clear();
  QString hostName;
  bool anyReply = false;
  std::vector<std::int32_t> hopTimes(static_cast<std::size_t>(n), timeoutMs);
  bool cancelled = false;
  for (int i = 0; i < n && !cancelled; ++i) {
    const EchoResult r = echo.SendEcho(destination, dataSize, ttl, timeoutMs);
    // A Cancel ends the hop at once; the requests it cut short show as not answered.
    cancelled = r.cancelled;
    if (!r.answered) continue;
    hopTimes[static_cast<std::size_t>(i)] =
        static_cast<std::int32_t>(r.roundTripMs > 0x7fffffffU ? 0x7fffffffU : r.roundTripMs);
    if (!anyReply) {
      hopAddress = GetAddressText(r.address);
      if (chkResolve_->isChecked()) hostName = GetHostNameFromAddress(r.address);
    }
    anyReply = true;
  }
  AddHopLine(ttl, hopTimes, hopAddress, hostName);
  if (anyReply) return 0;
  return cancelled ? 2 : 1;  // a hop the user cut short is not a silent one
}

void frmTraceRt::AddHopLine(int ttl, const std::vector<std::int32_t>& hopTimes,
                            const QString& hopAddress, const QString& hostName) {
  appendText(hopLine(ttl, hopTimes, hopAddress, chkResolve_->isChecked(), hostName) +
             QLatin1Char('\n'));
  pumpEvents();
}

}  // namespace quorvel
