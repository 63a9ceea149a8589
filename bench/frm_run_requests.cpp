#include "bench/frm_run_requests.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "bench/run_requests.h"
#include "bench/waterfall_view.h"
#include "core/copy_text.h"
#include "core/number_format.h"
#include "core/twips.h"

namespace quorvel {

namespace {

QTreeWidget* list(const char* name, const QStringList& columns, QWidget* parent) {
  auto* l = new QTreeWidget(parent);
  l->setObjectName(QLatin1String(name));
  l->setRootIsDecorated(false);
  l->setUniformRowHeights(true);
  l->setAlternatingRowColors(true);
  l->setHeaderLabels(columns);
  makeTableCopyable(l);
  return l;
}

void fill(QTreeWidget* l, const QList<RequestRecord>& records,
          QStringList (*row)(const RequestRecord&)) {
  QList<QTreeWidgetItem*> items;
  items.reserve(records.size());
  for (const RequestRecord& r : records) items << new QTreeWidgetItem(row(r));
  l->addTopLevelItems(items);
  l->header()->resizeSections(QHeaderView::ResizeToContents);
}

QString summary(const RunRequests& requests) {
  const auto count = [](qsizetype n) { return formatMask(static_cast<double>(n), "#,##0"); };
  if (requests.total() == 0) return QStringLiteral("No run has fetched anything yet.");
  QString text = QStringLiteral("%1 of %2 requests failed.")
                     .arg(count(requests.failures().size()), count(requests.total()));
  if (requests.requests().size() < requests.total())
    text += QStringLiteral(" The figures of the first %1 are kept.")
                .arg(count(requests.requests().size()));
  return text;
}

}  // namespace

frmRunRequests::frmRunRequests(const RunRequests& requests, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmRunRequests"));
  setWindowTitle(QStringLiteral("Quorvel - Last Run"));

  lblSummary_ = new QLabel(summary(requests), this);
  lblSummary_->setObjectName(QStringLiteral("lblSummary"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabViews"));
  lvwFailures_ = list("lvwFailures", FailureColumns(), tabs_);
  lvwRequests_ = list("lvwRequests", RequestColumns(), tabs_);
  fill(lvwFailures_, requests.failures(), FailureRow);
  fill(lvwRequests_, requests.requests(), RequestRow);
  tabs_->addTab(lvwFailures_, QStringLiteral("&Failures"));
  tabs_->addTab(lvwRequests_, QStringLiteral("&Requests"));
  waterfall_ = new WaterfallTab(requests, tabs_);
  tabs_->addTab(waterfall_, QStringLiteral("&Waterfall"));

  auto* close = new QPushButton(QStringLiteral("C&lose"), this);
  close->setObjectName(QStringLiteral("cmdClose"));
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblSummary_);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);
  resizeTwips(this, 10800, 6600);
  // Wide enough for the failures' columns whole and the waterfall's time line, within the
  // screen.
  const auto* lvwWaterfall = waterfall_->findChild<QTreeView*>(QStringLiteral("lvwWaterfall"));
  const int wanted =
      std::max(lvwFailures_->header()->length(),
               lvwWaterfall->header()->length() - lvwWaterfall->header()->sectionSize(kWfError)) +
      2 * lvwFailures_->frameWidth() + lvwFailures_->verticalScrollBar()->sizeHint().width() + 40;
  const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
  // Tall enough for a dozen rows of the lists in the current font.
  const int tall = minimumSizeHint().height() + 12 * fontMetrics().height();
  resize(std::clamp(wanted, width(), std::max(width(), screen.width() - 80)),
         std::clamp(tall, height(), std::max(height(), screen.height() - 80)));
  lvwFailures_->setFocus();
}

}  // namespace quorvel
