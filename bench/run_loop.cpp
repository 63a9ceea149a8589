// The benchmark run: preparation, the passes over the URL list, the end steps.
#include <QSet>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "bench/benchmark_run.h"
#include "bench/browser_loader.h"
#include "bench/debug_log.h"
#include "bench/log_lines.h"
#include "bench/page_links.h"
#include "bench/result_logs.h"
#include "bench/run_totals.h"
#include "bench/totals_text.h"
#include "bench/url_history.h"
#include "core/app_state.h"
#include "core/error_numbers.h"
#include "core/number_format.h"
#include "core/text_util.h"
#include "core/tick.h"
#include "core/url_list_file.h"

namespace quorvel {

namespace {

const QString kOops = QStringLiteral("Oops");
const QString kFrameMark = QStringLiteral("F");

// The server part of a URL: after its first "//", cut before the first "/" that follows.
QString hostOf(const QString& url) {
  QString host = url;
  const qsizetype scheme = host.indexOf(QLatin1String("//"));
  if (scheme >= 0) host = host.mid(scheme + 2);
  const qsizetype slash = host.indexOf(QLatin1Char('/'));
  if (slash >= 0) host.truncate(slash);
  return host;
}

// A page the server sent for a missing file, recognised by how it begins.
bool isNotFoundPage(const QByteArray& body) {
  return body.left(16).toLower() == QByteArrayLiteral("<title>not found");
}

constexpr int kNotFoundError = err::kNotFoundPage;

class Run {
 public:
  Run(RunView& view, InternetSession& internet, const RunEnvironment& env)
      : view_(view),
        net_(internet),
        env_(env),
        state_(appState()),
        logs_(appState().appFolder, env.now) {}

  RunOutcome execute() {
    net_.setEventPump([this] {
      showLongRequest();
      view_.processEvents();
      return !cancelRequested();
    });
    if (prepare()) {
      outcome_.started = true;
      bool cancelled = false;
      for (pass_ = 1; pass_ <= iterations_ && !cancelled; ++pass_)
        for (qsizetype u = 0; u < urls_.size() && !cancelled; ++u) cancelled = !fetchEntry(u);
      if (!cancelled) finish();
      outcome_.completed = !cancelled;
    }
    endSteps();
    net_.setEventPump({});
    return outcome_;
  }

 private:
  struct Download {
    int error = 0;
    std::int64_t bytes = 0;
    std::int64_t micros = 0;
    std::int64_t startedMs = 0;    // only when requests are reported
    std::int64_t startMicros = 0;  // on the run's clock
    RequestDetails details;        // what the session knows of the request
  };

  bool prepare();
  bool buildUrlList();
  bool readIterations();
  bool fetchEntry(qsizetype u);
  bool loadEntry(qsizetype u);
  void countLoadedFile(qsizetype u, const LoadedFile& f, const BrowserLoad& load,
                       std::int64_t startedMs, std::int64_t startMicros, UrlTotals& url);
  void count(const Download& d, UrlTotals& url, bool errorCounts, bool timed);
  void report(RequestRecord::Kind kind, qsizetype u, const QString& url, const Download& d,
              const BrowserLoad* page = nullptr);
  bool fetchResources(qsizetype u, const QStringList& resources, UrlTotals& url);
  void insertFrames(qsizetype u, const QStringList& frames);
  bool download(const QString& url, QByteArray* body, bool pollAfterOpen, Download& out);
  void showTotals() { view_.setTotals(totals_); }
  void showLongRequest();
  void showLoadProgress(const BrowserLoadProgress& p);
  void debugTimed(const QString& text) {
    if (state_.debug2) debug_.timed(text);
  }
  bool cancelRequested() const { return state_.CancelRequested; }
  void finish();
  void endSteps();

  RunView& view_;
  InternetSession& net_;
  const RunEnvironment& env_;
  AppState& state_;
  ResultLogs logs_;
  DebugLog debug_;
  QStringList urls_;
  QStringList marks_;     // "" for a listed page, "F" for a frame page the run added
  QSet<QString> listed_;  // every text of urls_, for the test whether a frame is there already
  int iterations_ = 0;
  int pass_ = 0;
  bool logResults_ = false;
  bool getImages_ = false;
  bool getSounds_ = false;
  bool browserMode_ = false;
  std::unique_ptr<BrowserLoader> ownLoader_;  // the real one, when the run was given none
  BrowserLoader* browser_ = nullptr;
  RunTotals totals_;
  RunOutcome outcome_;
  RunProgress progress_;
  std::int64_t requestStart_ = -1;  // clock of the request under way; -1 between requests
  std::int64_t loadStart_ = 0;      // clock at the start of a page loaded as a browser does
};

// A request that has gone on for more than a second shows what it has received. Called only
// where a long request already lets the window system in.
void Run::showLongRequest() {
  if (requestStart_ < 0) return;
  const std::int64_t elapsed = env_.clockMicros() - requestStart_;
  if (elapsed < 1'000'000) return;
  progress_.bytes = net_.BytesSoFar();
  progress_.elapsedMicros = elapsed;
  view_.setProgress(progress_);
}

// A page loaded as a browser does shows its files done of those found and what they have
// received, as often as the load lets the window system in.
void Run::showLoadProgress(const BrowserLoadProgress& p) {
  progress_.filesDone = p.done;
  progress_.filesFound = p.found;
  progress_.bytes = p.bytes;
  progress_.elapsedMicros = env_.clockMicros() - loadStart_;
  view_.setProgress(progress_);
}

bool Run::prepare() {
  view_.setStatus(QStringLiteral("Initializing..."));

  // The options keep the proxy's address and port as typed; blanks around them are no part of
  // either.
  const QString proxy = state_.ProxyUse == 1 ? state_.ProxyAddress.trimmed() + QLatin1Char(':') +
                                                   state_.ProxyPort.trimmed()
                                             : QString();
  const int error = net_.OpenInternet(QStringLiteral("Quorvel"), proxy);
  if (error != 0) {
    view_.message(kOops,
                  QStringLiteral("Internet access error code ") + QString::number(error) +
                      QStringLiteral(": \r\n") + InternetErrorText(error),
                  MsgIcon::Information);
    return false;
  }
  if (!buildUrlList() || !readIterations()) return false;

  logResults_ = view_.loggingOn();
  getImages_ = view_.imagesOn();
  getSounds_ = view_.soundsOn();
  state_.logResults = logResults_;
  state_.getImages = getImages_;
  state_.getSounds = getSounds_;
  browserMode_ = view_.browserLoadOn();
  browser_ = env_.browserLoader;
  if (browserMode_ && !browser_) {
    BrowserLoadOptions options = RunBrowserLoadOptions(state_.settingsPath, proxy);
    if (const std::optional<Viewport> viewport = view_.viewportChoice())
      options.viewport = *viewport;
    options.progress = [this](const BrowserLoadProgress& p) { showLoadProgress(p); };
    ownLoader_ = std::make_unique<CurlBrowserLoader>(std::move(options));
    browser_ = ownLoader_.get();
  }

  if (logResults_) {
    const QStringList problems = logs_.open(state_.autoMode);
    if (!problems.isEmpty()) {
      outcome_.linesLost = true;
      view_.message(kOops, problems.join(QLatin1Char('\n')), MsgIcon::Exclamation);
    }
  }
  if (state_.debug1 || state_.debug2) {
    const QString problem = debug_.open(state_.filePath(QStringLiteral("Debug.log")));
    if (!problem.isEmpty()) {
      outcome_.linesLost = true;
      view_.message(kOops, problem, MsgIcon::Exclamation);
    }
    // A run of pages keeps the log as it always was; a browser load says so first.
    if (browserMode_) debug_.line(QStringLiteral("*** mode browser"));
  }

  totals_ = RunTotals{};
  showTotals();
  view_.setBusyCursor(true);
  state_.CancelRequested = false;
  return true;
}

bool Run::buildUrlList() {
  urls_.clear();
  if (const QStringList given = view_.givenUrls(); !given.isEmpty()) {
    urls_ = given;
  } else if (view_.useUrlFile()) {
    const UrlListFile list =
        ReadUrlListFile(state_.filePath(QStringLiteral("URLS.DAT")), kMaxRunCount);
    if (!list.problem.isEmpty()) {
      view_.message(kOops, list.problem, MsgIcon::Information);
      return false;
    }
    urls_ = list.urls;
  } else {
    const QString url = view_.urlBoxText();
    if (IsBlank(url)) {
      view_.message(kOops, QStringLiteral("No URL specified!"), MsgIcon::Information);
      return false;
    }
    urls_ << url;
    MoveUrlToTop(state_.urlHistory, url);
    StoreUrlHistory(state_.settingsPath, state_.urlHistory);
    view_.setUrlList(UrlHistoryList(state_.urlHistory), state_.urlHistory[1]);
  }
  marks_ = QStringList();
  for (qsizetype i = 0; i < urls_.size(); ++i) marks_ << QString();
  listed_ = QSet<QString>(urls_.cbegin(), urls_.cend());
  return true;
}

bool Run::readIterations() {
  // A whole number as a 16-bit integer would hold it: halves to even, nothing below 0.
  const double n = leadingNumber(view_.iterationsText());
  const double whole = std::isfinite(n) ? std::nearbyint(n) : 0.0;
  if (whole > kMaxRunCount) {
    view_.message(kOops,
                  QStringLiteral("Too many iterations! A run does at most %1.")
                      .arg(formatMask(kMaxRunCount, "#,##0")),
                  MsgIcon::Information);
    return false;
  }
  iterations_ = whole < 0 ? 0 : static_cast<int>(whole);
  state_.iterations = iterations_;
  return true;
}

// Opens and reads one URL. The measured time covers the opening and the reading alone.
// Returns false when the run is to stop (a Cancel click seen after the open or the read).
bool Run::download(const QString& url, QByteArray* body, bool pollAfterOpen, Download& out) {
  out = Download{};
  debugTimed(QStringLiteral("*** start OpenURL for ") + url);
  view_.processEvents();
  if (env_.onRequest) out.startedMs = QDateTime::currentMSecsSinceEpoch();
  std::int64_t start = env_.clockMicros();
  requestStart_ = start;
  out.startMicros = start;
  out.error = net_.OpenURL(url);
  out.micros = env_.clockMicros() - start;
  debugTimed(QStringLiteral("*** OpenURL returned ") + QString::number(out.error));
  if (out.error != 0) requestStart_ = -1;
  // An open that Cancel cut short ends the run here, whatever kind of file it was.
  if ((pollAfterOpen || out.error != 0) && cancelRequested()) return false;
  if (out.error == 0) {
    view_.setStatus(QStringLiteral("Retrieving ") + url);
    debugTimed(QStringLiteral("*** start ReadURL for ") + url);
    start = env_.clockMicros();
    out.error = net_.ReadURL(body, out.bytes);
    out.micros += env_.clockMicros() - start;
    debugTimed(QStringLiteral("*** ReadURL returned ") + QString::number(out.error));
    requestStart_ = -1;
    if (cancelRequested()) return false;
  }
  out.details = net_.LastRequestDetails();
  // A server's error answer is a failed file, whatever its body holds.
  if (out.error == 0) out.error = HttpStatusError(out.details);
  if (env_.onInterval) env_.onInterval(url, out.micros);
  return true;
}

bool Run::fetchEntry(qsizetype u) {
  const QString entry = urls_[u];
  const bool isFrame = marks_[u] == kFrameMark;
  const QString host = hostOf(entry);
  view_.setStatus(QStringLiteral("Connecting to ") + host);
  progress_ =
      RunProgress{static_cast<int>(u + 1), static_cast<int>(urls_.size()), pass_, iterations_};
  view_.setProgress(progress_);
  if (browserMode_) return loadEntry(u);
  UrlTotals url;

  QByteArray body;
  Download d;
  if (!download(entry, &body, true, d)) return false;
  // The server's own error answers are told by their status; a page answered as found may
  // still be the site's not-found page.
  const bool errorAnswer = HttpStatusError(d.details) != 0;
  if (!errorAnswer && isNotFoundPage(body)) d.error = kNotFoundError;

  count(d, url, !isFrame, true);
  if (d.error == 0 && !isFrame) ++totals_.validUrls;
  if (logResults_) logs_.fileLine(entry, d.bytes, d.micros, d.error);
  report(isFrame ? RequestRecord::Kind::Frame : RequestRecord::Kind::Page, u, entry, d);
  showTotals();

  if (state_.debug1) {
    debug_.line(QStringLiteral("*** HTML for ") + entry);
    debug_.raw(body);
  }

  // What an error answer links is the server's error page, not the page asked for.
  if (!errorAnswer) {
    LinkKinds kinds;
    kinds.images = getImages_;
    kinds.sounds = getSounds_;
    kinds.frames = u == 0;
    // References lead from where the page was found, after its redirects.
    const QString at = d.details.effectiveUrl.isEmpty() ? entry : d.details.effectiveUrl;
    PageLinks links = ReadPageLinks(body, at, kinds);
    body = QByteArray();
    if (!links.resources.isEmpty() && state_.debug1) {
      debug_.line(QStringLiteral("*** images for ") + entry);
      for (const QString& r : links.resources) debug_.line(r);
    }
    if (!fetchResources(u, links.resources, url)) return false;
    if (u == 0) insertFrames(u, links.frames);
  }

  if (logResults_) logs_.urlSummary(host, entry, url, isFrame);
  return true;
}

// A listed page loaded as a browser loads it: each file counted and logged with its own
// interval, the page's time its load time (first request start to last requisite end).
bool Run::loadEntry(qsizetype u) {
  const QString entry = urls_[u];
  loadStart_ = env_.clockMicros();
  debugTimed(QStringLiteral("*** start browser load for ") + entry);
  const std::int64_t startedMs = QDateTime::currentMSecsSinceEpoch();
  const std::int64_t startMicros = env_.clockMicros();
  const BrowserLoad load = browser_->load(entry, [this] {
    view_.processEvents();
    return !cancelRequested();
  });
  debugTimed(QStringLiteral("*** browser load returned %1 files, %2 failed")
                 .arg(load.files.size())
                 .arg(load.failures));
  if (load.cancelled || cancelRequested()) return false;
  if (state_.debug1) {
    debug_.line(QStringLiteral("*** files for ") + entry);
    for (const LoadedFile& f : load.files) debug_.line(QString::fromUtf8(f.url));
    debug_.line(QStringLiteral("*** not fetched: %1 lazy below the viewport, %2 beyond the "
                               "request limit, %3 only scripts would request")
                    .arg(load.lazyBelow)
                    .arg(load.notFetched)
                    .arg(load.scriptOnly));
  }

  UrlTotals url;
  for (const LoadedFile& f : load.files) countLoadedFile(u, f, load, startedMs, startMicros, url);
  const bool pageLoaded = !load.files.isEmpty() && LoadedFileError(load.files.front()) == 0;
  if (pageLoaded) {
    totals_.micros += load.loadTime;
    url.micros = load.loadTime;
    ++totals_.validUrls;
  }
  if (env_.onInterval) env_.onInterval(entry, load.loadTime);
  showTotals();
  if (logResults_) logs_.urlSummary(hostOf(entry), entry, url, false);
  return true;
}

void Run::countLoadedFile(qsizetype u, const LoadedFile& f, const BrowserLoad& load,
                          std::int64_t startedMs, std::int64_t startMicros, UrlTotals& url) {
  const QString fileUrl = QString::fromUtf8(f.url);
  const bool own = f.page && f.depth == 0;
  const bool frame = f.page && f.depth > 0;
  Download d;
  d.error = LoadedFileError(f);
  d.bytes = f.wireBytes;
  d.micros = f.end - f.start;
  d.startedMs = startedMs + f.start / 1000;
  d.startMicros = startMicros + f.start;
  d.details = LoadedFileDetails(f);
  // As in the page's own run: a frame's page that failed is no error of the list. The page's
  // time is its load time, not its files' intervals.
  count(d, url, !frame, false);
  if (logResults_) logs_.fileLine(fileUrl, d.bytes, d.micros, d.error);
  const RequestRecord::Kind kind = own     ? RequestRecord::Kind::Page
                                   : frame ? RequestRecord::Kind::Frame
                                           : RequestRecord::Kind::Resource;
  report(kind, u, fileUrl, d, own ? &load : nullptr);
}

// Counts a file into the run's and the entry's totals: its bytes (and with `timed` its interval)
// when it came, else an error when `errorCounts`.
void Run::count(const Download& d, UrlTotals& url, bool errorCounts, bool timed) {
  if (d.error != 0) {
    if (errorCounts) {
      ++totals_.errors;
      ++url.errors;
    }
    return;
  }
  if (timed) {
    totals_.micros += d.micros;
    url.micros += d.micros;
  }
  totals_.bytes += d.bytes;
  ++totals_.files;
  url.bytes += d.bytes;
  ++url.files;
}

void Run::report(RequestRecord::Kind kind, qsizetype u, const QString& url, const Download& d,
                 const BrowserLoad* page) {
  if (!env_.onRequest) return;
  RequestRecord r;
  r.kind = kind;
  r.iteration = pass_;
  r.entry = static_cast<int>(u + 1);
  r.pageUrl = urls_[u];
  r.url = url;
  r.startedMs = d.startedMs;
  r.bytes = d.bytes;
  r.micros = d.micros;
  r.error = d.error;
  r.details = d.details;
  r.startMicros = d.startMicros;
  if (page) {
    r.pageLoadMicros = page->loadTime;
    r.pageContentLoadMicros = page->contentLoad;
    r.pageFirstByteMicros = page->firstByte;
    r.pageLazyBelow = page->lazyBelow;
    r.pageNotFetched = page->notFetched;
    r.pageScriptOnly = page->scriptOnly;
  }
  env_.onRequest(r);
}

bool Run::fetchResources(qsizetype u, const QStringList& resources, UrlTotals& url) {
  for (const QString& resource : resources) {
    view_.setStatus(QStringLiteral("Connecting to ") + LinkHost(resource));
    if (cancelRequested()) return false;
    Download d;
    // Resources are only counted: their data is not kept.
    if (!download(resource, nullptr, false, d)) return false;
    count(d, url, true, true);
    if (logResults_) logs_.fileLine(resource, d.bytes, d.micros, d.error);
    report(RequestRecord::Kind::Resource, u, resource, d);
    showTotals();
  }
  return true;
}

// The frames of the first entry go right after it, in page order. A frame already in the list
// is not added again, so every pass fetches each frame once, and the list never outgrows what
// a run accepts.
void Run::insertFrames(qsizetype u, const QStringList& frames) {
  qsizetype at = u + 1;
  for (const QString& frame : frames) {
    if (urls_.size() >= kMaxRunCount) break;
    if (listed_.contains(frame)) continue;
    listed_.insert(frame);
    urls_.insert(at, frame);
    marks_.insert(at, kFrameMark);
    ++at;
  }
}

void Run::finish() {
  if (logResults_) logs_.runSummary(totals_);
  if (state_.autoMode && env_.printSummary &&
      !env_.printSummary(SummaryLine(ReportDate(env_.now()), totals_)))
    outcome_.linesLost = true;
}

void Run::endSteps() {
  if (logResults_) {
    const QStringList problems = logs_.writeProblems();
    logs_.close();
    if (!problems.isEmpty()) {
      outcome_.linesLost = true;
      view_.message(kOops, problems.join(QLatin1Char('\n')), MsgIcon::Exclamation);
    }
  }
  if (debug_.linesLost()) outcome_.linesLost = true;
  debug_.close();
  net_.CloseInternet();
  view_.setStatus(cancelRequested() ? QStringLiteral("Cancelled") : QStringLiteral("Done"));
  view_.setBusyCursor(false);
  if (state_.autoMode) view_.closeMainWindow();
}

}  // namespace

RunEnvironment DefaultRunEnvironment() {
  RunEnvironment env;
  env.clockMicros = [] { return monotonicMicros(); };
  env.now = [] {
    // The local time, worked out afresh once a minute (each working-out reads the time zone
    // file); offsets change only at whole minutes.
    static qint64 minute = -1;
    static QDateTime minuteStart;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms / 60000 != minute) {
      minute = ms / 60000;
      const QDateTime local = QDateTime::fromMSecsSinceEpoch(minute * 60000);
      minuteStart = local.toOffsetFromUtc(local.offsetFromUtc());
    }
    return minuteStart.addMSecs(ms - minute * 60000);
  };
  env.printSummary = [](const QString& line) {
    const QByteArray text = line.toUtf8() + '\n';
    errno = 0;
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "quorvel: Could not write to standard output: %s.\n",
                 std::strerror(errno != 0 ? errno : EIO));
    return false;
  };
  return env;
}

RunOutcome RunBenchmark(RunView& view, InternetSession& internet, const RunEnvironment& env) {
  RunEnvironment filled = env;
  const RunEnvironment defaults = DefaultRunEnvironment();
  if (!filled.clockMicros) filled.clockMicros = defaults.clockMicros;
  if (!filled.now) filled.now = defaults.now;
  Run run(view, internet, filled);
  return run.execute();
}

}  // namespace quorvel
