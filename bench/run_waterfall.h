// The last run's requests in time: the pages it loaded, and for one page a bar per request
// that shows where its time went (queued, the redirects, name look-up, connect, TLS, sending,
// waiting for the first byte, receiving), with the page's own marks. For a run in either mode:
// a page loaded one file at a time draws its files one after the other.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "bench/benchmark_run.h"

namespace quorvel {

class RunRequests;

// One page of a run: an entry of the URL list in one iteration, and where its requests lie
// among the run's kept ones.
struct WaterfallPage {
  int iteration = 0;
  int entry = 0;
  QString pageUrl;
  qsizetype first = 0;  // index of its first request in RunRequests::requests()
  qsizetype count = 0;
  bool cut = false;  // the run kept no more requests after some of this page's
};

// The pages in the order the run loaded them.
QList<WaterfallPage> WaterfallPages(const RunRequests& run);
// How the page chooser names a page: "Iteration 1, page 2: http://host/".
QString WaterfallPageCaption(const WaterfallPage& page);

// The parts of a request's time, in the order they happen. Other is what the request's
// measured interval holds beyond the phases that were measured.
enum class Phase { Queued, Redirect, Dns, Connect, Tls, Send, Wait, Receive, Other };
inline constexpr int kPhaseCount = 9;
QString PhaseName(Phase phase);  // "Queued", "Redirects", "DNS", ..., "Waiting", "Receiving"

struct WaterfallSegment {
  Phase phase = Phase::Other;
  std::int64_t from = 0;  // microseconds from the page's first request start
  std::int64_t micros = 0;
};

struct WaterfallBar {
  const RequestRecord* record = nullptr;  // in the RunRequests the waterfall was drawn from
  std::int64_t offset = 0;                // start, from the page's first request start
  QList<WaterfallSegment> segments;       // in order, within [offset, offset + micros]
  bool failed() const { return record->error != 0; }
};

// A mark of the page's time line (from its first request start); -1 when not known.
struct WaterfallMarks {
  std::int64_t firstByte = -1;
  std::int64_t contentLoad = -1;  // DOMContentLoaded
  std::int64_t load = -1;
};

struct Waterfall {
  QList<WaterfallBar> bars;
  WaterfallMarks marks;
  std::int64_t span = 0;  // the end of the last bar or mark; what the time scale covers
};

// The bars of one page, drawn from the run's kept requests (which must outlive it).
Waterfall PageWaterfall(const RunRequests& run, const WaterfallPage& page);

// Steps of the time scale, in microseconds: 1, 2 or 5 times a power of ten milliseconds (at
// least 1 ms), the smallest at least `minPixels` apart when `span` fills `pixels`.
std::int64_t WaterfallTick(std::int64_t span, int pixels, int minPixels);

// The texts of the list: its columns, one row (the time line's cell holds the phases as text,
// for copying), a request's details (every phase on a line of its own) and the one-line detail
// shown under the list.
enum WaterfallColumn { kWfUrl, kWfStatus, kWfBytes, kWfMillis, kWfTimeline, kWfError };
QStringList WaterfallColumns();
QStringList WaterfallRow(const WaterfallBar& bar);
QString WaterfallPhasesText(const WaterfallBar& bar);
QString WaterfallTooltip(const WaterfallBar& bar);
QString WaterfallDetailLine(const WaterfallBar& bar);

}  // namespace quorvel
