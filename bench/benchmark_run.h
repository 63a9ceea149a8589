// The benchmark run over a given Internet session, clock and output: RunBenchmark(RunView&)
// uses the real ones; tests and benchmark programs pass their own.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

#include "bench/browser_loader.h"
#include "bench/internet.h"
#include "bench/request_details.h"
#include "bench/run_outcome.h"
#include "bench/run_view.h"

namespace quorvel {

// One request of a run as it was counted.
struct RequestRecord {
  enum class Kind { Page, Frame, Resource };
  Kind kind = Kind::Page;
  int iteration = 0;           // 1-based
  int entry = 0;               // 1-based place of the page in the URL list (frames included)
  QString pageUrl;             // the list entry this request belongs to
  QString url;                 // as requested (a resource without its scheme)
  std::int64_t startedMs = 0;  // wall clock, milliseconds since the epoch (UTC)
  std::int64_t bytes = 0;
  std::int64_t micros = 0;  // the measured interval
  int error = 0;            // as logged (991 for a page the server did not have)
  // A page loaded as a browser does: its load time (first request start to last requisite
  // end), on its own record only; -1 otherwise.
  std::int64_t pageLoadMicros = -1;
  // The same page's DOMContentLoaded equivalent (its HTML and the stylesheets and scripts its
  // parser waits for, done) and its first byte, from the start of its first request; -1 when
  // not loaded as a browser does.
  std::int64_t pageContentLoadMicros = -1;
  std::int64_t pageFirstByteMicros = -1;
  // What such a page named and was not fetched: loading=lazy images and frames below the first
  // viewport, files beyond the limit of requests, elements whose file only a script would load.
  int pageLazyBelow = 0, pageNotFetched = 0, pageScriptOnly = 0;
  // When the request started on the run's monotonic clock (RunEnvironment::clockMicros): the
  // requests of a run drawn against one time line.
  std::int64_t startMicros = 0;
  RequestDetails details;
};

struct RunEnvironment {
  // The monotonic microsecond clock that times every download.
  std::function<std::int64_t()> clockMicros;
  // The local date and time written into the logs.
  std::function<QDateTime()> now;
  // Where an unattended run prints its summary line (standard output by default); false when
  // the line could not be written (a full disk, a closed output), which the run's exit code
  // then says.
  std::function<bool(const QString&)> printSummary;
  // Called with each measured interval (URL, microseconds); for benchmark programs.
  std::function<void(const QString&, std::int64_t)> onInterval;
  // Called after each request has been counted; for the reports of the command line.
  std::function<void(const RequestRecord&)> onRequest;
  // What loads a page as a browser does, when the view asks for that; null for the real one
  // (with the request limit of the settings).
  BrowserLoader* browserLoader = nullptr;
};

// The environment of a real run: monotonicMicros(), the local clock, standard output.
RunEnvironment DefaultRunEnvironment();

// The largest number of iterations and of URLs a run accepts (the counts are 16-bit).
inline constexpr int kMaxRunCount = 32767;

RunOutcome RunBenchmark(RunView& view, InternetSession& internet, const RunEnvironment& env);

}  // namespace quorvel
