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
  // The average character width as dialog units measure it: the mean advance of the 52
  // letters of the alphabet.
  const double avg = QFontMetricsF(box->font())
                         .horizontalAdvance(QStringLiteral(
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                     52.0;
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
