// Times the Last Run window over large runs, on the offscreen platform: opening it (its three
// tabs filled), drawing the waterfall tab once, and choosing another page; for a page of
// 10,000 requests and for a run of 100,000 requests over 100 pages. The quickest of three.
//
//   QT_QPA_PLATFORM=offscreen bench_waterfall

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "bench/frm_run_requests.h"
#include "bench/run_requests.h"

using namespace quorvel;

namespace {

// Requests as a browser-mode run reports them: `pages` pages of `perPage` requests each, the
// requests of a page overlapping in time, one in a hundred failed.
RunRequests makeRun(int pages, int perPage) {
  RunRequests run;
  for (int p = 1; p <= pages; ++p)
    for (int i = 0; i < perPage; ++i) {
      RequestRecord r;
      r.kind = i == 0 ? RequestRecord::Kind::Page : RequestRecord::Kind::Resource;
      r.iteration = 1;
      r.entry = p;
      r.pageUrl = QStringLiteral("http://127.0.0.1/page%1.htm").arg(p);
      r.url = QStringLiteral("http://127.0.0.1/page%1/file%2.png").arg(p).arg(i);
      r.startMicros = std::int64_t(p) * 10'000'000 + i * 150;
      r.micros = 20'000 + (i % 37) * 500;
      r.bytes = 12'000;
      r.error = i % 100 == 99 ? 12002 : 0;
      RequestDetails& d = r.details;
      d.known = true;
      d.blockedMicros = (i % 6) * 1000;
      d.waitMicros = 10'000;
      d.receiveMicros = r.micros - 10'000 - d.blockedMicros;
      d.status = 200;
      d.httpVersion = QStringLiteral("HTTP/1.1");
      run.add(r);
    }
  return run;
}

double millisOf(QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void measure(const char* what, const RunRequests& run, bool choosePage) {
  double open = std::numeric_limits<double>::max(), draw = open, choose = open;
  for (int round = 0; round < 3; ++round) {
    QElapsedTimer t;
    t.start();
    frmRunRequests w(run);
    open = std::min(open, millisOf(t));
    auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("tabViews"));
    tabs->setCurrentIndex(2);
    w.show();
    t.restart();
    (void)w.grab();
    draw = std::min(draw, millisOf(t));
    if (choosePage) {
      auto* chooser = w.findChild<QComboBox*>(QStringLiteral("cboPage"));
      t.restart();
      chooser->setCurrentIndex(chooser->count() - 1);
      (void)w.grab();
      choose = std::min(choose, millisOf(t));
    }
  }
  std::printf("%-34s open %8.1f ms   waterfall drawn %7.1f ms", what, open, draw);
  if (choosePage) std::printf("   another page chosen and drawn %7.1f ms", choose);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  measure("one page of 10,000 requests", makeRun(1, 10'000), false);
  measure("100 pages of 1,000 requests", makeRun(100, 1'000), true);
  return 0;
}
