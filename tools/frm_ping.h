#pragma once

#include <QStringList>
#include <array>

#include "tools/echo_tool_window.h"
#include "tools/ping_series.h"

class QLabel;
class QLineEdit;

namespace quorvel {

// Window "Quorvel - Ping".
// urlSources: the main window's URL box, its current text first, then its list entries.
//
// Sends a series of echo requests to one host, one line per request, with running statistics.
// Keeps its time-out and request count in section "Ping" of the settings file: read when the
// window opens, written when it closes.
class frmPing : public EchoToolWindow {
  Q_OBJECT
 public:
  explicit frmPing(const QStringList& urlSources, QWidget* parent = nullptr);

  const PingStats& stats() const { return report_.stats; }

 protected:
  void runOperation() override { RunPingSeries(); }
  void saveSettings() override { saveCommonSettings(); }

 private:
  void RunPingSeries();
  void showLiveFigures() override;

  std::array<QLabel*, 5> lblStats_{};
  std::array<QLineEdit*, 5> txtStats_{};
  QLabel* lblSpread_ = nullptr;  // the spread of the round trips, below the five statistics

  PingSeriesReport report_;
};

}  // namespace quorvel
