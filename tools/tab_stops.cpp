#include "tools/tab_stops.h"

#include <QFontMetricsF>
#include <QList>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextOption>
#include <cmath>

#include "tools/diag_input.h"

namespace quorvel {

namespace {
// The average character width as dialog units measure it: the mean advance of the 52 letters
// of the alphabet.
double averageCharWidth(const QPlainTextEdit* box) {
  return QFontMetricsF(box->font())
             .horizontalAdvance(
                 QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
         52.0;
}
}  // namespace

void setTabStopsDialogUnits(QPlainTextEdit* box, const std::vector<int>& stops) {
  QTextOption option = box->document()->defaultTextOption();
  QList<QTextOption::Tab> tabs;
  for (double px : dialogUnitsToPixels(stops, averageCharWidth(box)))
    tabs.append(QTextOption::Tab(px, QTextOption::LeftTab));
  option.setTabs(tabs);
  box->document()->setDefaultTextOption(option);
}

int textWidthDialogUnits(const QPlainTextEdit* box, const QString& text) {
  const double px = QFontMetricsF(box->font()).horizontalAdvance(text);
  return static_cast<int>(std::ceil(px * 4.0 / averageCharWidth(box)));
}

std::vector<double> tabStopPixels(const QPlainTextEdit* box) {
  std::vector<double> px;
  for (const QTextOption::Tab& t : box->document()->defaultTextOption().tabs())
    px.push_back(t.position);
  return px;
}

}  // namespace quorvel
