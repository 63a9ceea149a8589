#pragma once

#include <QStringList>

#include "tools/echo_tool_window.h"
#include "tools/hop_report.h"
#include "tools/trace_route.h"

class QCheckBox;

namespace quorvel {

class HopReportTable;

// Window "Quorvel - TraceRoute".
// urlSources: the main window's URL box, its current text first, then its list entries.
//
// Sends echo requests with a TTL of 1, 2, 3, ... and lists, hop by hop, the answering address,
// the time of each request and, on request, the host name. Keeps its three options in section
// "TraceRoute" of the settings file: read when the window opens, written when it closes.
//
// With "Report" checked, Run runs the report's cycles instead (as `quorvel trace --report`):
// a table of the hops in place of the results box, filled again after every cycle.
class frmTraceRt : public EchoToolWindow {
  Q_OBJECT
 public:
  explicit frmTraceRt(const QStringList& urlSources, QWidget* parent = nullptr);

  bool isTracing() const { return isRunning(); }
  const HopReport& hopReport() const { return hopReport_; }

 protected:
  void runOperation() override { TraceRt(); }
  void saveSettings() override;

 private:
  void loadSettings();
  void TraceRt();
  void traceText();
  void RunReport();
  void showReportMode(bool on);

  QCheckBox* chkResolve_;
  QCheckBox* chkReport_;
  QLineEdit* txtCycles_;
  HopReportTable* lvwReport_;
  TraceReport report_;
  HopReport hopReport_;
};

}  // namespace quorvel
