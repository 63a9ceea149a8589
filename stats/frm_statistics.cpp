#include "stats/frm_statistics.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include "core/app_state.h"
#include "core/copy_text.h"
#include "core/file_usability.h"
#include "core/message_box.h"
#include "core/twips.h"
#include "stats/chart_file.h"
#include "stats/frm_graph.h"
#include "stats/log_date.h"
#include "stats/log_statistics.h"
#include "stats/percentiles.h"
#include "stats/statistics_history.h"
#include "stats/summary_log.h"
#include "stats/weekday_hours.h"

namespace quorvel {

namespace {
frmStatistics::LogFileChooser& chooser() {
  static frmStatistics::LogFileChooser c;
  return c;
}

std::optional<QString> runFileDialog(QWidget* parent, const QString& startFile) {
  QFileDialog dlg(parent, QStringLiteral("Log File"));
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  const QStringList filters{QStringLiteral("All files (*.*)"), QStringLiteral("Log (*.log)"),
                            QStringLiteral("Text (*.txt)")};
  dlg.setNameFilters(filters);
  dlg.selectNameFilter(filters[1]);
  if (!startFile.isEmpty()) {
    dlg.setDirectory(QFileInfo(startFile).absolutePath());
    dlg.selectFile(startFile);
  } else {
    dlg.setDirectory(appState().appFolder);
  }
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().front();
}

QTreeWidgetItem* makeRow(const QString& label, const StatisticsResult& r) {
  auto* item = new QTreeWidgetItem(statisticsRowTexts(label, r));
  item->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 1; c < 6; ++c) item->setTextAlignment(c, Qt::AlignCenter);
  return item;
}

// Controls of one line, left to right: a label or check box whose text needs more than its
// design width grows, and the controls after it move right by as much.
void fitLine(std::initializer_list<QWidget*> line) {
  int shift = 0;
  int prevRight = -1;
  for (QWidget* w : line) {
    int x = w->x() + shift;
    if (prevRight >= 0 && x < prevRight + 6) {  // never closer than a few pixels
      shift += prevRight + 6 - x;
      x = prevRight + 6;
    }
    w->move(x, w->y());
    if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w)) {
      const int need = w->sizeHint().width();
      if (need > w->width()) {
        shift += need - w->width();
        w->resize(need, w->height());
      }
    }
    prevRight = w->x() + w->width();
  }
}

void oops(QWidget* parent, const QString& text) {
  showMessage(parent, QStringLiteral("Oops"), text, MsgIcon::Exclamation);
}
}  // namespace

void frmStatistics::setLogFileChooser(LogFileChooser c) {
  chooser() = std::move(c);
}

QString frmStatistics::defaultLogPath() {
  return defaultSummaryLogPath();
}

frmStatistics::frmStatistics(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmStatistics"));
  setWindowTitle(QStringLiteral("Log File Statistics"));

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    return l;
  };
  auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    return e;
  };

  lblLogFile_ = label("lblLogFile", QStringLiteral("Log File:"));
  txtLogFileName_ = edit("txtLogFileName");
  cmdLogFileBrowse_ = button("cmdLogFileBrowse", QStringLiteral("&Browse"));
  lblDatesToInclude_ = label("lblDatesToInclude", QStringLiteral("Dates To Include:"));
  chkAllDates_ = new QCheckBox(QStringLiteral("All"), this);
  chkAllDates_->setObjectName(QStringLiteral("chkAllDates"));
  lblStart_ = label("lblStart", QStringLiteral("First Date:"));
  txtFirstDate_ = edit("txtFirstDate");
  lblLastDate_ = label("lblLastDate", QStringLiteral("Last Date:"));
  txtLastDate_ = edit("txtLastDate");
  lblTimePeriod_ = label("lblTimePeriod", QStringLiteral("Time Period of Log File:"));
  lblTimePeriodStat_ = label("lblTimePeriodStat", QString());
  lvwStatistics_ = new QTreeWidget(this);
  lvwStatistics_->setObjectName(QStringLiteral("lvwStatistics"));
  cmdCompute_ = button("cmdCompute", QStringLiteral("&Compute"));
  cmdGraph_ = button("cmdGraph", QStringLiteral("&Graph"));
  cmdQuit_ = button("cmdQuit", QStringLiteral("&Quit"));

  const QString hint = QString::fromLatin1(kDateFormatHint);
  for (QLineEdit* box : {txtFirstDate_, txtLastDate_}) {
    box->setToolTip(hint);
    box->setPlaceholderText(hint);
  }

  placeTwips(lblLogFile_, 240, 240, 735, 255);
  placeTwips(txtLogFileName_, 1080, 240, 3015, 285);
  placeTwips(cmdLogFileBrowse_, 4440, 240, 1215, 375);
  placeTwips(lblDatesToInclude_, 240, 840, 1335, 255);
  placeTwips(chkAllDates_, 1800, 840, 615, 255);
  placeTwips(lblStart_, 2520, 840, 855, 255);
  placeTwips(txtFirstDate_, 3480, 840, 1095, 285);
  placeTwips(lblLastDate_, 4800, 840, 975, 255);
  placeTwips(txtLastDate_, 5760, 840, 975, 285);
  placeTwips(lblTimePeriod_, 240, 1320, 1815, 255);
  placeTwips(lblTimePeriodStat_, 2040, 1320, 3495, 255);
  placeTwips(lvwStatistics_, 240, 1680, 7335, 1695);
  placeTwips(cmdCompute_, 1965, 3720, 975, 375);
  placeTwips(cmdGraph_, 3405, 3720, 975, 375);
  placeTwips(cmdQuit_, 4845, 3720, 1095, 375);

  // The list view in report form: six columns, whole rows selected, focus over all columns.
  lvwStatistics_->setColumnCount(6);
  lvwStatistics_->setHeaderLabels(statisticsColumnTitles());
  lvwStatistics_->setRootIsDecorated(false);
  lvwStatistics_->setItemsExpandable(false);
  makeTableCopyable(lvwStatistics_);
  lvwStatistics_->setUniformRowHeights(true);
  lvwStatistics_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwStatistics_->setAllColumnsShowFocus(true);
  lvwStatistics_->header()->setStretchLastSection(false);
  lvwStatistics_->header()->setSectionsMovable(false);
  lvwStatistics_->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 1; c < 6; ++c) lvwStatistics_->headerItem()->setTextAlignment(c, Qt::AlignCenter);
  const int widths[6] = {1600, 800, 1200, 1200, 1200, 200};
  for (int c = 0; c < 6; ++c) lvwStatistics_->setColumnWidth(c, twipsToPixels(this, widths[c]));

  fitToFont();
  history_ = new StatisticsHistory(this);
  placeHistory();
  growToFit(this);

  connect(cmdCompute_, &QPushButton::clicked, this, &frmStatistics::onComputeClicked);
  connect(cmdLogFileBrowse_, &QPushButton::clicked, this, &frmStatistics::onBrowseClicked);
  connect(cmdGraph_, &QPushButton::clicked, this, &frmStatistics::onGraphClicked);
  connect(cmdQuit_, &QPushButton::clicked, this, &frmStatistics::onQuitClicked);
  connect(chkAllDates_, &QCheckBox::toggled, this, &frmStatistics::onAllDatesClicked);

  // Load.
  txtLogFileName_->setText(QDir::toNativeSeparators(defaultLogPath()));
  lblTimePeriodStat_->clear();
  cmdGraph_->setEnabled(false);
  chkAllDates_->setChecked(true);
  onAllDatesClicked();
}

void frmStatistics::fitToFont() {
  // The design figures suit a small, narrow font. With a wider one the texts must still show
  // whole: labels grow along their line, the list's columns fit their header and row labels,
  // and the list grows to hold its six rows without scrolling.
  fitLine({lblLogFile_, txtLogFileName_, cmdLogFileBrowse_});
  fitLine({lblDatesToInclude_, chkAllDates_, lblStart_, txtFirstDate_, lblLastDate_, txtLastDate_});
  fitLine({lblTimePeriod_, lblTimePeriodStat_});

  QTreeWidget* lvw = lvwStatistics_;
  QHeaderView* header = lvw->header();
  const int pad = 2 * lvw->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvw) + 12;
  int labelWidth = header->sectionSizeHint(0);
  for (const DayPartRow& row : kDayPartRows)
    labelWidth = std::max(
        labelWidth, lvw->fontMetrics().horizontalAdvance(QString::fromLatin1(row.label)) + pad);
  lvw->setColumnWidth(0, std::max(lvw->columnWidth(0), labelWidth));
  const int numberWidth = lvw->fontMetrics().horizontalAdvance(QStringLiteral("00000.0")) + pad;
  for (int c = 1; c < 5; ++c)
    lvw->setColumnWidth(c,
                        std::max({lvw->columnWidth(c), header->sectionSizeHint(c), numberWidth}));
  int columns = 0;
  for (int c = 0; c < 5; ++c) columns += lvw->columnWidth(c);
  columns += std::max(header->sectionSizeHint(5), numberWidth);
  const int frame = 2 * lvw->frameWidth();
  const int wider = std::max(0, columns + frame - lvw->width());

  auto* probe = new QTreeWidgetItem(lvw, QStringList{QStringLiteral("Weekday")});
  const int rowHeight = std::max(lvw->sizeHintForRow(0), lvw->fontMetrics().height());
  delete probe;
  const int needed = header->sizeHint().height() + 6 * rowHeight + frame + 2;
  const int taller = std::max(0, needed - lvw->height());
  lvw->resize(lvw->width() + wider, lvw->height() + taller);
  for (QPushButton* b : {cmdCompute_, cmdGraph_, cmdQuit_}) b->move(b->x(), b->y() + taller);

  // The window keeps its design margins around whatever grew.
  resizeTwips(this, 7815, 4575);
  int right = 0;
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    right = std::max(right, w->geometry().right());
  resize(std::max(width(), right + 1 + twipsToPixels(this, 240)), height() + taller);
}

void frmStatistics::placeHistory() {
  // Under the buttons, as wide as it needs; the window grows to hold it with its margins.
  const int margin = twipsToPixels(this, 240);
  const QSize need = history_->sizeHint();
  history_->setGeometry(lvwStatistics_->x(), cmdQuit_->geometry().bottom() + margin,
                        std::max(need.width(), lvwStatistics_->width()), need.height());
  resize(std::max(width(), history_->geometry().right() + 1 + margin),
         history_->geometry().bottom() + 1 + margin);
}

void frmStatistics::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The last column takes at least the width of its header, and the rest of the list's width.
  QHeaderView* h = lvwStatistics_->header();
  int others = 0;
  for (int c = 0; c < 5; ++c) others += h->sectionSize(c);
  const int fill = lvwStatistics_->viewport()->width() - others;
  h->resizeSection(5, std::max(h->sectionSizeHint(5), fill));
}

void frmStatistics::onAllDatesClicked() {
  const bool all = chkAllDates_->isChecked();
  txtFirstDate_->setEnabled(!all);
  txtLastDate_->setEnabled(!all);
}

bool frmStatistics::readDateLimit(QLineEdit* box, std::optional<QDate>* limit) {
  QDate date;
  const DateLimitCheck check = checkDateLimit(box->text(), QDate::currentDate(), &date);
  switch (check) {
    case DateLimitCheck::Empty:
      limit->reset();
      return true;
    case DateLimitCheck::Valid:
      *limit = date;
      return true;
    case DateLimitCheck::Invalid:
    case DateLimitCheck::Future:
      oops(this, dateLimitMessage(check));
      break;
  }
  box->setFocus();
  box->selectAll();
  return false;
}

void frmStatistics::onComputeClicked() {
  const QString path = QDir::fromNativeSeparators(txtLogFileName_->text());
  const SummaryLogCheck check = checkSummaryLog(path);
  if (check != SummaryLogCheck::Ok) {
    oops(this, summaryLogCheckMessage(check, path));
    return;
  }
  DateLimits limits;
  if (!chkAllDates_->isChecked()) {
    if (!readDateLimit(txtFirstDate_, &limits.first)) return;
    if (!readDateLimit(txtLastDate_, &limits.last)) return;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const SummaryLog log = readSummaryLog(path);
  const StatisticsTable table = computeStatistics(log, limits, chartFilePath());
  history_->showResults(tablePercentiles(log, table), weekdayHours(log, table.rows.back().runList));
  QApplication::restoreOverrideCursor();

  lvwStatistics_->clear();
  for (size_t i = 0; i < kDayPartRows.size(); ++i)
    lvwStatistics_->addTopLevelItem(
        makeRow(QString::fromLatin1(kDayPartRows[i].label), table.rows[i]));
  const StatisticsResult& total = table.rows.back();
  lblTimePeriodStat_->setText(total.firstDate + QStringLiteral(" to ") + total.lastDate);
  if (log.truncated)
    showMessage(this, QStringLiteral("Oops"), summaryLogTruncatedMessage(), MsgIcon::Information);
  // The graph shows chart.dat: without a fresh one it would show another computation.
  cmdGraph_->setEnabled(table.chartWritten);
  if (!table.chartWritten)
    oops(this, QStringLiteral("Could not write the chart file ") +
                   QDir::toNativeSeparators(chartFilePath()) + QStringLiteral(": ") +
                   table.chartError);
  if (chkAllDates_->isChecked() && txtFirstDate_->text().isEmpty() &&
      txtLastDate_->text().isEmpty()) {
    txtFirstDate_->setText(total.firstDate);
    txtLastDate_->setText(total.lastDate);
  }
}

void frmStatistics::resetResults() {
  lvwStatistics_->clear();
  history_->clearResults();
  cmdGraph_->setEnabled(false);
  lblTimePeriodStat_->clear();
  chkAllDates_->setChecked(true);
  txtFirstDate_->clear();
  txtLastDate_->clear();
}

void frmStatistics::onBrowseClicked() {
  const QString remembered = txtLogFileName_->text();
  const QString current = QDir::fromNativeSeparators(remembered);
  const QString start = FileUsable(current, kFileExists) ? current : QString();
  const std::optional<QString> chosen =
      chooser() ? chooser()(this, start) : runFileDialog(this, start);
  if (!chosen || chosen->isEmpty()) return;
  txtLogFileName_->setText(QDir::toNativeSeparators(*chosen));
  // Names on Linux differ by case: another file is one whose full name differs at all.
  const QString before = QFileInfo(current).absoluteFilePath();
  const QString after = QFileInfo(*chosen).absoluteFilePath();
  if (before != after) resetResults();
  txtLogFileName_->setFocus();
}

void frmStatistics::onGraphClicked() {
  frmGraph graph(this);
  graph.exec();
}

void frmStatistics::onQuitClicked() {
  close();
}

}  // namespace quorvel
