#include "bench/waterfall_view.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "bench/run_requests.h"
#include "core/copy_text.h"
#include "core/number_format.h"

namespace quorvel {

QColor PhaseColor(Phase phase) {
  static const std::array<QColor, kPhaseCount> colors = {
      QColor(0xa0, 0xa0, 0xa0),  // queued
      QColor(0xe0, 0xb0, 0x20),  // redirects
      QColor(0x1b, 0x9e, 0x8f),  // DNS
      QColor(0xf0, 0x8a, 0x24),  // connect
      QColor(0x8e, 0x44, 0xd0),  // TLS
      QColor(0x40, 0x40, 0x40),  // sending
      QColor(0x3c, 0xb0, 0x4a),  // waiting
      QColor(0x2a, 0x6f, 0xdb),  // receiving
      QColor(0xd8, 0xd8, 0xd8),  // other
  };
  return colors[static_cast<std::size_t>(phase)];
}

QColor FailedBarColor() {
  return QColor(0xd0, 0x20, 0x20);
}
QColor FirstByteColor() {
  return QColor(0x00, 0x80, 0x00);
}
QColor ContentLoadColor() {
  return QColor(0x00, 0x30, 0xc0);
}
QColor LoadColor() {
  return QColor(0xc0, 0x00, 0x60);
}

namespace {

QString millis(std::int64_t micros) {
  return formatMask(static_cast<double>(micros) / 1000.0, "#,##0.0");
}

// Where a cell of the time line draws time: inside its edges, so that the first and last
// moments stay in sight.
QRect timelineArea(const QRect& cell) {
  return cell.adjusted(4, 0, -6, 0);
}

int xAt(const QRect& area, std::int64_t micros, std::int64_t span) {
  return area.left() + static_cast<int>(static_cast<double>(micros) * area.width() /
                                        static_cast<double>(std::max<std::int64_t>(span, 1)));
}

}  // namespace

class WaterfallModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setWaterfall(Waterfall w) {
    beginResetModel();
    waterfall_ = std::move(w);
    endResetModel();
  }
  const Waterfall& waterfall() const { return waterfall_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(waterfall_.bars.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(WaterfallColumns().size());
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return WaterfallColumns().value(section);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const WaterfallBar& bar = waterfall_.bars[index.row()];
    switch (role) {
      case Qt::DisplayRole:
        return WaterfallRow(bar).value(index.column());
      case Qt::ToolTipRole:
        return WaterfallTooltip(bar);
      case Qt::ForegroundRole:
        if (bar.failed()) return QColor(0xb0, 0x00, 0x00);
        break;
      case Qt::DecorationRole:
        if (bar.failed() && index.column() == kWfUrl)
          return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        break;
      case Qt::TextAlignmentRole:
        if (index.column() == kWfStatus || index.column() == kWfBytes ||
            index.column() == kWfMillis)
          return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
      default:
        break;
    }
    return {};
  }

 private:
  Waterfall waterfall_;
};

namespace {

// Paints a request's bar in the time line's cells: its phases in their colours (a failed
// request with nothing measured in red, its error text after it), the scale's steps and the
// page's marks as lines through every row.
class BarDelegate : public QStyledItemDelegate {
 public:
  BarDelegate(const WaterfallModel* model, QObject* parent)
      : QStyledItemDelegate(parent), model_(model) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    if (index.column() != kWfTimeline) {
      QStyledItemDelegate::paint(p, option, index);
      return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    // The selected row's bar keeps its colours: a light tint, not the selection's own colour.
    const bool selected = opt.state & QStyle::State_Selected;
    opt.state &= ~QStyle::State_Selected;
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, p, widget);
    if (selected) {
      QColor tint = opt.palette.color(QPalette::Highlight);
      tint.setAlpha(50);
      p->fillRect(opt.rect, tint);
    }

    const Waterfall& w = model_->waterfall();
    const WaterfallBar& bar = w.bars[index.row()];
    const QRect area = timelineArea(opt.rect);
    p->save();
    p->setClipRect(opt.rect);
    drawTicks(p, area, w.span, opt.fontMetrics.horizontalAdvance(QStringLiteral("00,000 ms  ")));
    const int height = std::max(4, area.height() * 3 / 5);
    const int top = area.top() + (area.height() - height) / 2;
    const int left = xAt(area, bar.offset, w.span);
    const int right = std::max(left + 2, xAt(area, bar.offset + bar.record->micros, w.span));
    if (bar.segments.isEmpty()) {
      p->fillRect(QRect(left, top, right - left, height),
                  bar.failed() ? FailedBarColor() : PhaseColor(Phase::Other));
    }
    for (const WaterfallSegment& s : bar.segments) {
      const int from = xAt(area, s.from, w.span);
      const int to = std::max(from + 1, xAt(area, s.from + s.micros, w.span));
      p->fillRect(QRect(from, top, to - from, height), PhaseColor(s.phase));
    }
    if (bar.failed()) {
      p->setPen(FailedBarColor());
      p->drawRect(QRect(left, top, right - left - 1, height - 1));
      const QRect text(right + 4, area.top(), area.right() - right - 4, area.height());
      if (text.width() > 20) {
        const QString error = WaterfallRow(bar).value(kWfError);
        p->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                    opt.fontMetrics.elidedText(error, Qt::ElideRight, text.width()));
      }
    }
    drawMarks(p, area, w);
    p->restore();
  }

  static void drawTicks(QPainter* p, const QRect& area, std::int64_t span, int minPixels) {
    const std::int64_t tick = WaterfallTick(span, area.width(), minPixels);
    p->setPen(QColor(0xe4, 0xe4, 0xe4));
    for (std::int64_t t = tick; t <= span; t += tick) {
      const int x = xAt(area, t, span);
      p->drawLine(x, area.top(), x, area.bottom());
    }
  }

  static void drawMarks(QPainter* p, const QRect& area, const Waterfall& w) {
    const std::array<std::pair<std::int64_t, QColor>, 3> marks = {{
        {w.marks.firstByte, FirstByteColor()},
        {w.marks.contentLoad, ContentLoadColor()},
        {w.marks.load, LoadColor()},
    }};
    for (const auto& [at, color] : marks) {
      if (at < 0) continue;
      p->setPen(QPen(color, 2));
      const int x = xAt(area, at, w.span);
      p->drawLine(x, area.top(), x, area.bottom());
    }
  }

 private:
  const WaterfallModel* model_;
};

// The list's header, with the time scale in the time line's section.
class ScaleHeader : public QHeaderView {
 public:
  ScaleHeader(const WaterfallModel* model, QWidget* parent)
      : QHeaderView(Qt::Horizontal, parent), model_(model) {}

 protected:
  void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override {
    if (logicalIndex != kWfTimeline) {
      QHeaderView::paintSection(p, rect, logicalIndex);
      return;
    }
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    style()->drawControl(QStyle::CE_Header, &opt, p, this);
    const std::int64_t span = model_->waterfall().span;
    const QRect area = timelineArea(rect);
    const QFontMetrics fm(font());
    const int minPixels = fm.horizontalAdvance(QStringLiteral("00,000 ms  "));
    const std::int64_t tick = WaterfallTick(span, area.width(), minPixels);
    p->save();
    p->setClipRect(rect);
    p->setPen(palette().color(QPalette::ButtonText));
    for (std::int64_t t = 0; t <= span; t += tick) {
      const int x = xAt(area, t, span);
      const QString label = formatMask(static_cast<double>(t) / 1000.0, "#,##0") + " ms";
      p->drawLine(x, rect.bottom() - 3, x, rect.bottom());
      // A label that the section's end would cut is left out.
      if (x + 2 + fm.horizontalAdvance(label) <= rect.right())
        p->drawText(QRect(x + 2, rect.top(), minPixels, rect.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    p->restore();
  }

 private:
  const WaterfallModel* model_;
};

QPixmap swatch(const QColor& color, int size, bool line) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  if (line)
    p.fillRect(QRect(size / 2 - 1, 0, 2, size), color);
  else
    p.fillRect(QRect(0, size / 5, size, size * 3 / 5), color);
  return pixmap;
}

// The colours' meanings, seven to a line.
QWidget* legend(QWidget* parent) {
  auto* frame = new QWidget(parent);
  frame->setObjectName(QStringLiteral("fraLegend"));
  auto* grid = new QGridLayout(frame);
  grid->setContentsMargins(0, 0, 0, 0);
  const int size = frame->fontMetrics().height();
  QList<std::tuple<QColor, QString, bool>> items;
  for (int p = 0; p < kPhaseCount; ++p)
    items.append({PhaseColor(static_cast<Phase>(p)), PhaseName(static_cast<Phase>(p)), false});
  items.append({FailedBarColor(), QStringLiteral("Failed"), false});
  items.append({FirstByteColor(), QStringLiteral("First byte"), true});
  items.append({ContentLoadColor(), QStringLiteral("DOMContentLoaded"), true});
  items.append({LoadColor(), QStringLiteral("Load"), true});
  for (int i = 0; i < items.size(); ++i) {
    const auto& [color, name, line] = items[i];
    auto* item = new QWidget(frame);
    auto* row = new QHBoxLayout(item);
    row->setContentsMargins(0, 0, 0, 0);
    auto* mark = new QLabel(item);
    mark->setPixmap(swatch(color, size, line));
    row->addWidget(mark);
    row->addWidget(new QLabel(name, item));
    row->addStretch();
    grid->addWidget(item, i / 7, i % 7);
  }
  return frame;
}

QString pageFigures(const Waterfall& w) {
  const auto failed =
      std::count_if(w.bars.begin(), w.bars.end(), [](const WaterfallBar& b) { return b.failed(); });
  QString text = QStringLiteral("%1 requests, %2 failed")
                     .arg(formatMask(static_cast<double>(w.bars.size()), "#,##0"))
                     .arg(formatMask(static_cast<double>(failed), "#,##0"));
  if (w.marks.firstByte >= 0)
    text += QStringLiteral("; first byte %1 ms").arg(millis(w.marks.firstByte));
  if (w.marks.contentLoad >= 0)
    text += QStringLiteral(", DOMContentLoaded %1 ms").arg(millis(w.marks.contentLoad));
  if (w.marks.load >= 0) text += QStringLiteral(", load %1 ms").arg(millis(w.marks.load));
  return text;
}

}  // namespace

WaterfallTab::WaterfallTab(const RunRequests& run, QWidget* parent)
    : QWidget(parent), run_(run), pages_(WaterfallPages(run)) {
  setObjectName(QStringLiteral("tabWaterfall"));
  lblPage_ = new QLabel(QStringLiteral("&Page:"), this);
  lblPage_->setObjectName(QStringLiteral("lblPage"));
  cboPage_ = new QComboBox(this);
  cboPage_->setObjectName(QStringLiteral("cboPage"));
  cboPage_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cboPage_->setMinimumContentsLength(40);
  lblPage_->setBuddy(cboPage_);
  for (const WaterfallPage& page : pages_) cboPage_->addItem(WaterfallPageCaption(page));
  auto* lblFigures = new QLabel(this);
  lblFigures->setObjectName(QStringLiteral("lblPageFigures"));

  model_ = new WaterfallModel(this);
  lvwWaterfall_ = new QTreeView(this);
  lvwWaterfall_->setObjectName(QStringLiteral("lvwWaterfall"));
  lvwWaterfall_->setHeader(new ScaleHeader(model_, lvwWaterfall_));
  lvwWaterfall_->setModel(model_);
  lvwWaterfall_->setItemDelegate(new BarDelegate(model_, lvwWaterfall_));
  lvwWaterfall_->setRootIsDecorated(false);
  lvwWaterfall_->setUniformRowHeights(true);
  lvwWaterfall_->setAlternatingRowColors(true);
  lvwWaterfall_->setAllColumnsShowFocus(true);
  lvwWaterfall_->setTextElideMode(Qt::ElideMiddle);
  makeTableCopyable(lvwWaterfall_);
  const QFontMetrics fm = lvwWaterfall_->fontMetrics();
  QHeaderView* header = lvwWaterfall_->header();
  header->setStretchLastSection(true);
  header->resizeSection(kWfUrl, fm.horizontalAdvance(QLatin1Char('x')) * 32);
  header->resizeSection(kWfStatus, fm.horizontalAdvance(QStringLiteral("Status")) + 16);
  header->resizeSection(kWfBytes, fm.horizontalAdvance(QStringLiteral("999,999,999")) + 16);
  header->resizeSection(kWfMillis, fm.horizontalAdvance(QStringLiteral("99,999.9")) + 16);
  header->resizeSection(kWfTimeline,
                        std::max(360, fm.horizontalAdvance(QStringLiteral("00,000 ms  ")) * 5));

  lblDetails_ = new QLabel(this);
  lblDetails_->setObjectName(QStringLiteral("lblDetails"));
  lblDetails_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lblDetails_->setWordWrap(true);
  lblDetails_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* chooser = new QHBoxLayout;
  chooser->addWidget(lblPage_);
  chooser->addWidget(cboPage_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(chooser);
  layout->addWidget(lblFigures);
  layout->addWidget(lvwWaterfall_, 1);
  layout->addWidget(lblDetails_);
  layout->addWidget(legend(this));
  // One page needs no choosing.
  lblPage_->setVisible(pages_.size() > 1);
  cboPage_->setVisible(pages_.size() > 1);

  connect(cboPage_, &QComboBox::currentIndexChanged, this, [this, lblFigures](int index) {
    showPage(index);
    lblFigures->setText(pageFigures(model_->waterfall()));
  });
  connect(lvwWaterfall_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &WaterfallTab::showDetails);
  showPage(0);
  lblFigures->setText(pages_.isEmpty() ? QStringLiteral("No request to show.")
                                       : pageFigures(model_->waterfall()));
}

void WaterfallTab::showPage(int index) {
  if (index < 0 || index >= pages_.size()) {
    model_->setWaterfall({});
    showDetails();
    return;
  }
  if (cboPage_->currentIndex() != index) {
    cboPage_->setCurrentIndex(index);  // comes back here through the chooser
    return;
  }
  model_->setWaterfall(PageWaterfall(run_, pages_[index]));
  lvwWaterfall_->header()->viewport()->update();
  lvwWaterfall_->setCurrentIndex(model_->index(0, 0));
  showDetails();
}

void WaterfallTab::showDetails() {
  const QModelIndex current = lvwWaterfall_->currentIndex();
  const auto& bars = model_->waterfall().bars;
  if (!current.isValid() || current.row() >= bars.size()) {
    lblDetails_->clear();
    return;
  }
  const QString line = WaterfallDetailLine(bars[current.row()]);
  lblDetails_->setText(line);
  lblDetails_->setToolTip(WaterfallTooltip(bars[current.row()]));
}

}  // namespace quorvel
