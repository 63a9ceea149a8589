// The table of the trace-route window's report mode: a row per hop (Hop, Host, Loss%, Snt,
// Last, Avg, Best, Wrst, StDev), filled again after each cycle, sorted by any column with a
// click on its header (numbers as numbers), and copied as tab-separated text with Ctrl+C or
// the context menu (the rows selected, or all of them).
#pragma once

#include <QTableWidget>

#include "tools/hop_report.h"

namespace quorvel {

class HopReportTable : public QTableWidget {
  Q_OBJECT
 public:
  explicit HopReportTable(QWidget* parent = nullptr);

  void showReport(const HopReport& report);
  // The header and the rows (the selected ones when any is selected) as tab-separated lines,
  // in the order shown.
  QString copyText() const;

 public slots:
  void copyToClipboard() const;
};

}  // namespace quorvel
