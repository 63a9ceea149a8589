// The Last Run window's waterfall, on the offscreen platform, from requests as a run reports
// them: the rows as listed and copied, each bar where its times put it and in its phases'
// colours, the page's marks, the page chooser, the details of a row, and the keys that get
// there.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include "bench/frm_run_requests.h"
#include "bench/run_requests.h"
#include "bench/waterfall_view.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

using testing::shown;
using testing::tableRows;
using testing::widget;
using K = RequestRecord::Kind;

struct Phases {
  std::int64_t blocked = -1, connect = -1, tls = -1, wait = -1, receive = -1;
};

RequestRecord record(K kind, int entry, const QString& url, std::int64_t startMs, std::int64_t ms,
                     const Phases& p, int error = 0) {
  RequestRecord r;
  r.kind = kind;
  r.iteration = 1;
  r.entry = entry;
  r.pageUrl = QStringLiteral("http://127.0.0.1/%1.htm").arg(entry);
  r.url = url;
  r.startMicros = 7'000'000 + startMs * 1000;
  r.micros = ms * 1000;
  r.bytes = error == 0 ? 1000 : 0;
  r.error = error;
  RequestDetails& d = r.details;
  d.known = error == 0;
  d.blockedMicros = p.blocked * 1000;
  d.connectMicros = p.connect * 1000;
  d.tlsMicros = p.tls * 1000;
  d.waitMicros = p.wait * 1000;
  d.receiveMicros = p.receive * 1000;
  d.status = error == 0 ? 200 : 0;
  d.httpVersion = error == 0 ? QStringLiteral("HTTP/1.1") : QString();
  return r;
}

// Page 1 as a browser loads it: its HTML (0-40 ms), a stylesheet queued 20 ms then over a
// new TLS connection (40-100 ms), an image that failed with nothing measured (50-60 ms);
// first byte at 20 ms, DOMContentLoaded at 30, load at 100. Then a page of one request.
RunRequests twoPages() {
  RunRequests run;
  RequestRecord page =
      record(K::Page, 1, "http://127.0.0.1/1.htm", 0, 40, {.wait = 20, .receive = 20});
  page.pageFirstByteMicros = 20'000;
  page.pageContentLoadMicros = 30'000;
  page.pageLoadMicros = 100'000;
  run.add(page);
  run.add(record(K::Resource, 1, "https://127.0.0.1/a.css", 40, 60,
                 {.blocked = 20, .connect = 10, .tls = 10, .wait = 10, .receive = 10}));
  run.add(record(K::Resource, 1, "127.0.0.1:9/b.gif", 50, 10, {}, 12029));
  run.add(record(K::Page, 2, "http://127.0.0.1/2.htm", 200, 5, {.wait = 4, .receive = 1}));
  return run;
}

// The colours met along a line of the image from x0 to x1: each run of one colour with where
// it starts and how long it is. Only the colours asked for count.
struct ColourRun {
  QColor color;
  int from, length;
};
QList<ColourRun> colourRuns(const QImage& image, int y, int x0, int x1,
                            const QList<QColor>& wanted) {
  QList<ColourRun> runs;
  for (int x = x0; x < x1; ++x) {
    const QColor c = image.pixelColor(x, y);
    if (!wanted.contains(c)) continue;
    // A mark's line drawn across a bar does not cut it in two.
    if (!runs.isEmpty() && runs.last().color == c && x - runs.last().from - runs.last().length <= 3)
      runs.last().length = x - runs.last().from + 1;
    else
      runs.append({c, x, 1});
  }
  return runs;
}

class LastRunWindow : public testing::AppFolderTest {
 protected:
  // The window opened on its waterfall, shown (offscreen) so that it paints.
  std::unique_ptr<frmRunRequests> open(const RunRequests& run) {
    auto w = std::make_unique<frmRunRequests>(run);
    w->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    widget<QTabWidget>(w.get(), "tabViews")->setCurrentIndex(2);
    return w;
  }
};

TEST_F(LastRunWindow, TheWaterfallsRowsBarsAndMarks) {
  const RunRequests run = twoPages();
  const auto w = open(run);
  auto* view = widget<QTreeView>(w.get(), "lvwWaterfall");
  EXPECT_EQ(shown(w.get(), "lblPageFigures"),
            "3 requests, 1 failed; first byte 20.0 ms, DOMContentLoaded 30.0 ms, load 100.0 ms");
  EXPECT_EQ(
      tableRows(w.get(), "lvwWaterfall"),
      (QStringList{"http://127.0.0.1/1.htm 200 1,000 40.0 at 0.0 ms, Waiting 20.0 ms, Receiving "
                   "20.0 ms ",
                   "https://127.0.0.1/a.css 200 1,000 60.0 at 40.0 ms, Queued 20.0 ms, Connect "
                   "10.0 ms, TLS 10.0 ms, Waiting 10.0 ms, Receiving 10.0 ms ",
                   "127.0.0.1:9/b.gif  0 10.0 at 50.0 ms 12029: The attempt to connect to the "
                   "server failed."}));

  // The bars as drawn: each phase in its colour, in order, as long as its time; where each bar
  // begins against the first; the failed one red; the marks' lines.
  w->resize(1600, w->height());
  view->setColumnWidth(kWfTimeline, 600);
  QApplication::processEvents();
  const QImage image = view->viewport()->grab().toImage();
  const auto cell = [&](int row) {
    return view->visualRect(view->model()->index(row, kWfTimeline));
  };
  const QList<QColor> phases{PhaseColor(Phase::Queued),  PhaseColor(Phase::Connect),
                             PhaseColor(Phase::Tls),     PhaseColor(Phase::Wait),
                             PhaseColor(Phase::Receive), FailedBarColor()};
  const auto runsOf = [&](int row) {
    const QRect r = cell(row);
    EXPECT_LT(r.right(), image.width());
    return colourRuns(image, r.center().y(), r.left(), r.right(), phases);
  };
  const QList<ColourRun> html = runsOf(0), css = runsOf(1), image2 = runsOf(2);
  ASSERT_EQ(html.size(), 2);
  EXPECT_EQ(html[0].color, PhaseColor(Phase::Wait));
  EXPECT_EQ(html[1].color, PhaseColor(Phase::Receive));
  ASSERT_EQ(css.size(), 5);
  // The scale from the two bars' left ends, 40 ms apart.
  const int x0 = html[0].from;
  const double perMs = (css[0].from - x0) / 40.0;
  EXPECT_GT(perMs, 5.0);  // about 600 pixels for 100 ms
  EXPECT_NEAR(html[0].length, 20 * perMs, 2);
  EXPECT_NEAR(html[1].length, 20 * perMs, 2);
  const QList<std::pair<Phase, int>> cssPhases{{Phase::Queued, 20},
                                               {Phase::Connect, 10},
                                               {Phase::Tls, 10},
                                               {Phase::Wait, 10},
                                               {Phase::Receive, 10}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(css[i].color, PhaseColor(cssPhases[i].first)) << i;
    EXPECT_NEAR(css[i].length, cssPhases[i].second * perMs, 2) << i;
  }
  ASSERT_FALSE(image2.isEmpty());
  EXPECT_EQ(image2[0].color, FailedBarColor());
  EXPECT_NEAR(image2[0].from, x0 + 50 * perMs, 2);
  EXPECT_NEAR(image2[0].length, 10 * perMs, 2);
  // The marks cross every row, above and below the bars.
  const QList<QColor> markColors{FirstByteColor(), ContentLoadColor(), LoadColor()};
  const QList<ColourRun> marks =
      colourRuns(image, cell(2).top() + 1, cell(2).left(), cell(2).right() + 1, markColors);
  ASSERT_EQ(marks.size(), 3);
  const int markMs[] = {20, 30, 100};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(marks[i].color, markColors[i]) << i;
    EXPECT_NEAR(marks[i].from, x0 + markMs[i] * perMs, 2) << i;
  }

  // A row's tooltip and details: every phase's milliseconds; the failure's error text.
  const QString tip = view->model()->index(1, kWfUrl).data(Qt::ToolTipRole).toString();
  EXPECT_EQ(tip.split('\n').mid(1),
            (QStringList{"Status 200 (HTTP/1.1), 1,000 bytes", "Starts at 40.0 ms, takes 60.0 ms",
                         "Queued: 20.0 ms", "Connect: 10.0 ms", "TLS: 10.0 ms", "Waiting: 10.0 ms",
                         "Receiving: 10.0 ms"}));
  view->setFocus();
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(shown(w.get(), "lblDetails"),
            "127.0.0.1:9/b.gif: 10.0 ms in all, at 50.0 ms; error 12029: The attempt to connect "
            "to the server failed.");

  // Ctrl+C copies the page's rows with the header, as the other lists do.
  QApplication::clipboard()->clear();
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  const QStringList copied = QApplication::clipboard()->text().split('\n');
  ASSERT_EQ(copied.size(), 5);
  EXPECT_EQ(copied[0], "URL\tStatus\tBytes\tms\tTimeline\tError");
  EXPECT_EQ(copied[3],
            "127.0.0.1:9/b.gif\t\t0\t10.0\tat 50.0 ms\t12029: The attempt to connect to the "
            "server failed.");
}

TEST_F(LastRunWindow, ThePageChooserAndTheKeysToTheTab) {
  const struct {
    const char* what;
    RunRequests run;
    bool chooser;
    QStringList pages;
  } cases[] = {
      {"two pages",
       twoPages(),
       true,
       {"Iteration 1, page 1: http://127.0.0.1/1.htm",
        "Iteration 1, page 2: http://127.0.0.1/2.htm"}},
      {"no run", RunRequests(), false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto w = open(c.run);
    auto* chooser = widget<QComboBox>(w.get(), "cboPage");
    EXPECT_EQ(chooser->isVisible(), c.chooser);
    QStringList pages;
    for (int i = 0; i < chooser->count(); ++i) pages << chooser->itemText(i);
    EXPECT_EQ(pages, c.pages);
    if (c.pages.isEmpty()) {
      EXPECT_EQ(shown(w.get(), "lblPageFigures"), "No request to show.");
      EXPECT_EQ(tableRows(w.get(), "lvwWaterfall"), QStringList());
      continue;
    }
    // The second page by the keyboard: Alt+P to the chooser, Down.
    QTest::keyClick(w.get(), Qt::Key_P, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), chooser);
    QTest::keyClick(chooser, Qt::Key_Down);
    EXPECT_EQ(tableRows(w.get(), "lvwWaterfall"),
              QStringList{"http://127.0.0.1/2.htm 200 1,000 5.0 at 0.0 ms, Waiting 4.0 ms, "
                          "Receiving 1.0 ms "});
    EXPECT_EQ(shown(w.get(), "lblPageFigures"), "1 requests, 0 failed; first byte 4.0 ms");
  }

  // From the failure list, Ctrl+Tab goes through the tabs to the waterfall; one page needs no
  // chooser.
  RunRequests one;
  one.add(record(K::Page, 1, "http://127.0.0.1/1.htm", 0, 40, {.wait = 20, .receive = 20}));
  frmRunRequests w(one);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto* tabs = widget<QTabWidget>(&w, "tabViews");
  auto* failures = widget(&w, "lvwFailures");
  failures->setFocus();
  QTest::keyClick(failures, Qt::Key_Tab, Qt::ControlModifier);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "&Waterfall");
  EXPECT_FALSE(widget(&w, "cboPage")->isVisible());
  EXPECT_EQ(tableRows(&w, "lvwWaterfall").size(), 1);
}

// A page of ten thousand requests: every one is a row (drawn only when in sight).
TEST_F(LastRunWindow, APageOfTenThousandRequests) {
  RunRequests run;
  for (int i = 0; i < 10'000; ++i)
    run.add(record(i == 0 ? K::Page : K::Resource, 1, QStringLiteral("http://127.0.0.1/%1").arg(i),
                   i / 10, 5, {.blocked = 1, .wait = 2, .receive = 2},
                   i % 1000 == 999 ? 12002 : 0));
  const auto w = open(run);
  EXPECT_EQ(shown(w.get(), "lblPageFigures"), "10,000 requests, 10 failed; first byte 3.0 ms");
  auto* view = widget<QTreeView>(w.get(), "lvwWaterfall");
  EXPECT_EQ(view->model()->rowCount(), 10'000);
  view->setFocus();
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_EQ(shown(w.get(), "lblDetails"),
            "http://127.0.0.1/9999: 5.0 ms in all, at 999.0 ms; error 12002: The request has "
            "timed out.");
}

}  // namespace
}  // namespace quorvel
