#include "tools/hop_report_table.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <set>

namespace quorvel {

namespace {

const QStringList kColumns{"Hop", "Host", "Loss%", "Snt", "Last", "Avg", "Best", "Wrst", "StDev"};

// A cell that sorts by its number, not by its text.
class NumberItem : public QTableWidgetItem {
 public:
  NumberItem(const QString& text, double value) : QTableWidgetItem(text) {
    setData(Qt::UserRole, value);
    setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  bool operator<(const QTableWidgetItem& other) const override {
    return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
  }
};

QTableWidgetItem* number(double value, int decimals, const QString& suffix = {}) {
  return new NumberItem(QString::number(value, 'f', decimals) + suffix, value);
}

QString hostText(const ReportHop& hop) {
  QStringList all;
  for (const HopAnswerer& a : hop.answerers) all << a.address.text();
  QString text = all.isEmpty() ? hop.host() : all.join(QStringLiteral(", "));
  if (!hop.hostName.isEmpty()) text = hop.hostName + QStringLiteral(" (") + text + QLatin1Char(')');
  if (hop.rateLimitedHint) text += QStringLiteral(" - probably rate-limits ICMP");
  return text;
}

}  // namespace

HopReportTable::HopReportTable(QWidget* parent) : QTableWidget(0, kColumns.size(), parent) {
  setHorizontalHeaderLabels(kColumns);
  verticalHeader()->hide();
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setTabKeyNavigation(false);  // Tab goes on to the next control
  setSortingEnabled(true);
  sortByColumn(0, Qt::AscendingOrder);
  // Every figure in sight: the numbers as wide as they need, the host column takes the rest
  // (its whole text in its tool tip).
  horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  setTextElideMode(Qt::ElideRight);
  setWordWrap(false);
  auto* copy = new QAction(QStringLiteral("&Copy"), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &HopReportTable::copyToClipboard);
  addAction(copy);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void HopReportTable::showReport(const HopReport& report) {
  // Rows are filled unsorted, then sorted as the user last asked.
  setSortingEnabled(false);
  setRowCount(static_cast<int>(report.hops.size()));
  for (int row = 0; row < rowCount(); ++row) {
    const ReportHop& hop = report.hops[static_cast<std::size_t>(row)];
    setItem(row, 0, number(hop.ttl, 0));
    auto* host = new QTableWidgetItem(hostText(hop));
    host->setToolTip(host->text());
    setItem(row, 1, host);
    setItem(row, 2, number(hop.lossPercent(), 1, QStringLiteral("%")));
    setItem(row, 3, number(hop.sent, 0));
    const RttStats s = hop.stats();
    const double figures[] = {s.lastMs, s.averageMs, s.bestMs, s.worstMs, s.stdevMs};
    for (int k = 0; k < 5; ++k)
      setItem(row, 4 + k,
              hop.received() > 0 ? number(figures[k], 3) : new NumberItem(QString(), -1));
  }
  setSortingEnabled(true);
}

QString HopReportTable::copyText() const {
  std::set<int> selected;
  for (const QModelIndex& i : selectionModel()->selectedRows()) selected.insert(i.row());
  QString out = kColumns.join(QLatin1Char('\t')) + QLatin1Char('\n');
  for (int row = 0; row < rowCount(); ++row) {
    if (!selected.empty() && !selected.count(row)) continue;
    QStringList cells;
    for (int column = 0; column < columnCount(); ++column)
      cells << (item(row, column) ? item(row, column)->text() : QString());
    out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return out;
}

void HopReportTable::copyToClipboard() const {
  QApplication::clipboard()->setText(copyText());
}

}  // namespace quorvel
