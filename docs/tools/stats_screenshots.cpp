// Shows the statistics window after a computation (its percentiles, then its weekday-by-hour
// map) and the graph window over a log of four weeks, and saves what the screen shows of each
// (run under Xvfb for the documentation):
//
//   stats_screenshots <output folder>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "core/app_state.h"
#include "stats/frm_graph.h"
#include "stats/frm_statistics.h"

using namespace quorvel;

namespace {
void settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(25);
  }
}

bool save(QWidget& w, const QString& file) {
  settle();
  const QPixmap shot = w.screen()->grabWindow(w.winId());
  return shot.save(file, "PNG");
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QTemporaryDir home;
  resetAppState(home.path());

  // Five runs a day over four weeks of November 2026, slower on weekday evenings.
  QByteArray log;
  const int hours[] = {2, 8, 13, 20, 22};
  for (int i = 0; i < 140; ++i) {
    const QDate day = QDate(2026, 11, 2).addDays(i / 5);
    const int hour = hours[i % 5];
    const bool evening = hour >= 19 && day.dayOfWeek() <= 5;
    const double kbps = 1400 + 500 * ((i * 37) % 11) / 10.0 - (evening ? 800 : 0);
    const double page = 2.0 + ((i * 13) % 9) / 2.0 + (evening ? 5 : 0);
    log += QString::asprintf(
               "%s %02d:%02d%7.1f Kbps%6.1f PageAvg   50000 Bytes    4 Secs   1 URLS"
               "    3 Files   0 Errs\r\n",
               qPrintable(day.toString(QStringLiteral("MM-dd-yy"))), hour, (i * 7) % 60, kbps, page)
               .toLatin1();
  }
  QFile f(appState().filePath(QStringLiteral("QVSum.log")));
  if (!f.open(QIODevice::WriteOnly) || f.write(log) != log.size()) return 1;
  f.close();

  frmStatistics stats;
  stats.show();
  stats.onComputeClicked();
  if (!save(stats, QDir(out).filePath(QStringLiteral("statistics.png")))) return 1;
  auto* tabs = stats.findChild<QTabWidget*>(QStringLiteral("tabHistory"));
  if (!tabs) return 1;
  tabs->setCurrentIndex(1);
  if (!save(stats, QDir(out).filePath(QStringLiteral("statistics-heatmap.png")))) return 1;

  frmGraph graph;
  graph.show();
  if (!save(graph, QDir(out).filePath(QStringLiteral("graph.png")))) return 1;
  std::printf("saved statistics.png, statistics-heatmap.png and graph.png in %s\n",
              qPrintable(out));
  return 0;
}
