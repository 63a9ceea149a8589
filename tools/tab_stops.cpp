#include "tools/tab_stops.h"

#include <QFontMetricsF>
#include <QList>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextOption>

#include "tools/diag_input.h"

namespace quorvel {

void setTabStopsDialogUnits(QPlainTextEdit* box, const std::vector<int>& stops) {
  QTextOption option = box->document()->defaultTextOption();
  QList<QTextOption::Tab> tabs;
  const double avg = QFontMetricsF(box->font()).averageCharWidth();
  for (double px : dialogUnitsToPixels(stops, avg))
    tabs.append(QTextOption::Tab(px, QTextOption::LeftTab));
  option.setTabs(tabs);
  box->document()->setDefaultTextOption(option);
}

std::vector<double> tabStopPixels(const QPlainTextEdit* box) {
  std::vector<double> px;
  for (const QTextOption::Tab& t : box->document()->defaultTextOption().tabs())
    px.push_back(t.position);
  return px;
}

}  // namespace quorvel
