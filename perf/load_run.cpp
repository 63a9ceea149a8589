// Load run (a benchmark program): a benchmark run of many fetches against a loopback
// HTTP server that answers with a random mix of good pages, slow pages, connections dropped in
// the middle of an answer, 404 answers and not-found pages. Prints the run's totals beside
// what the server sent, and the memory of the process along the way.
//
// Fails (exit 1) when the totals do not add up: valid URLs + errors must equal the pages
// listed times the iterations, valid URLs and errors must match the answers of each kind,
// and the bytes counted must equal the bytes of the answers that count. Fails as well when the
// resident memory grows by more than --max-growth-mb (default 16) between the first tenth of
// the fetches and the end.
//
// Usage: load_run [--fetches N] [--pages N] [--slow-ms N] [--seed N]
#include <httplib.h>

#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "core/app_state.h"
#include "bench/benchmark_run.h"
#include "bench/curl_internet.h"
#include "bench/totals_text.h"

using namespace quorvel;

namespace {

class LoadView : public RunView {
 public:
  int iterations = 1;
  bool useUrlFile() const override { return true; }
  QString urlBoxText() const override { return {}; }
  QString iterationsText() const override { return QString::number(iterations); }
  bool loggingOn() const override { return true; }
  bool imagesOn() const override { return true; }
  bool soundsOn() const override { return true; }
  void setUrlList(const QStringList&, const QString&) override {}
  void setStatus(const QString&) override {}
  void setTotals(const RunTotals& totals) override { totals_ = MakeTotalsText(totals); }
  void processEvents() override { QCoreApplication::processEvents(); }
  void setBusyCursor(bool) override {}
  void message(const QString& title, const QString& text, MsgIcon) override {
    std::fprintf(stderr, "load_run: message %s: %s\n", qPrintable(title), qPrintable(text));
    ++messages;
  }
  void closeMainWindow() override {}
  const TotalsText& totals() const { return totals_; }
  int messages = 0;

 private:
  TotalsText totals_;
};

long long digitsOf(const QString& text) {
  QString d;
  for (const QChar c : text)
    if (c.isDigit()) d += c;
  return d.toLongLong();
}

long residentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int argValue(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

enum Kind { kGood, kSlow, kDropped, k404, kNotFound, kKinds };
const char* const kKindNames[] = {"good pages", "slow pages", "dropped connections", "404 answers",
                                  "not-found pages"};

// What the server sent, by kind.
struct Tally {
  std::mutex lock;
  long long count[kKinds] = {};
  long long bytes[kKinds] = {};
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int fetches = argValue(argc, argv, "--fetches", 10000);
  const int pages = argValue(argc, argv, "--pages", 20);
  const int slowMs = argValue(argc, argv, "--slow-ms", 20);
  const int seed = argValue(argc, argv, "--seed", 1);
  const int maxGrowthMb = argValue(argc, argv, "--max-growth-mb", 16);
  if (pages < 1 || fetches < pages || fetches / pages > kMaxRunCount || slowMs < 0) {
    std::fprintf(stderr, "usage: load_run [--fetches N] [--pages N] [--slow-ms N] [--seed N]\n");
    return 2;
  }
  const int iterations = fetches / pages;

  Tally tally;
  std::mt19937 random(static_cast<unsigned>(seed));
  std::mutex randomLock;
  auto draw = [&](int below) {
    std::lock_guard<std::mutex> g(randomLock);
    return std::uniform_int_distribution<int>(0, below - 1)(random);
  };
  auto text = [&](int size) {
    std::string s;
    while (int(s.size()) < size) s += "plain text of a page without tags ";
    s.resize(size_t(size));
    return s;
  };

  httplib::Server server;
  server.Get(R"(/p\d+\.htm)", [&](const httplib::Request&, httplib::Response& res) {
    const int roll = draw(100);
    const Kind kind = roll < 60   ? kGood
                      : roll < 65 ? kSlow
                      : roll < 75 ? kDropped
                      : roll < 87 ? k404
                                  : kNotFound;
    std::string body;
    switch (kind) {
      case kGood:
      case kSlow:
        if (kind == kSlow) std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
        body = "<html><body>" + text(100 + draw(4000)) + "</body></html>";
        res.set_content(body, "text/html");
        break;
      case k404:
        res.status = 404;
        body = "<html><head><title>404 Not Found</title></head><body>" + text(draw(500)) +
               "</body></html>";
        res.set_content(body, "text/html");
        break;
      case kNotFound:
        body = "<title>Not Found</title><body>" + text(draw(300)) + "</body>";
        res.set_content(body, "text/html");
        break;
      case kDropped: {
        // Announces a body and drops the connection after part of it.
        const size_t announced = 2000 + size_t(draw(2000));
        const std::string part = text(int(announced / 2));
        res.set_content_provider(announced, "text/html",
                                 [part](size_t offset, size_t, httplib::DataSink& sink) {
                                   if (offset == 0) sink.write(part.data(), part.size());
                                   return offset == 0;  // false: abort the connection
                                 });
        break;
      }
      default:
        break;
    }
    std::lock_guard<std::mutex> g(tally.lock);
    ++tally.count[kind];
    tally.bytes[kind] += static_cast<long long>(body.size());
  });
  server.set_keep_alive_max_count(1000000);
  server.set_tcp_nodelay(true);
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::fprintf(stderr, "load_run: cannot listen on 127.0.0.1\n");
    return 1;
  }
  std::thread listener([&server] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  QTemporaryDir home;
  resetAppState(home.path());
  {
    QFile list(appState().filePath(QStringLiteral("URLS.DAT")));
    if (!list.open(QIODevice::WriteOnly)) return 1;
    list.write("; load run pages\r\n");
    for (int p = 1; p <= pages; ++p)
      list.write(QStringLiteral("http://127.0.0.1:%1/p%2.htm\r\n").arg(port).arg(p).toLatin1());
  }
  LoadView view;
  view.iterations = iterations;

  long long done = 0;
  long rssEarly = 0;
  RunEnvironment env = DefaultRunEnvironment();
  env.printSummary = nullptr;
  env.onInterval = [&](const QString&, std::uint32_t) {
    if (++done == fetches / 10) rssEarly = residentKb();
  };
  const long rssStart = residentKb();
  CurlInternet curl;
  const auto t0 = std::chrono::steady_clock::now();
  RunBenchmark(view, curl, env);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const long rssEnd = residentKb();
  server.stop();
  listener.join();

  const long long valid = digitsOf(view.totals().validUrls);
  const long long errors = digitsOf(view.totals().totalErrors);
  const long long bytes = digitsOf(view.totals().totalBytes);
  const long long wantValid = tally.count[kGood] + tally.count[kSlow] + tally.count[k404];
  const long long wantErrors = tally.count[kDropped] + tally.count[kNotFound];
  const long long wantBytes = tally.bytes[kGood] + tally.bytes[kSlow] + tally.bytes[k404];
  const long long listed = static_cast<long long>(pages) * iterations;

  std::printf("load_run: %lld fetches (%d pages x %d iterations) in %.1f s, logging on\n", done,
              pages, iterations, seconds);
  for (int k = 0; k < kKinds; ++k)
    std::printf("  %-20s %7lld  (%lld bytes)\n", kKindNames[k], tally.count[k], tally.bytes[k]);
  std::printf("  valid URLs %lld (server: %lld), errors %lld (server: %lld), sum %lld of %lld\n",
              valid, wantValid, errors, wantErrors, valid + errors, listed);
  std::printf("  bytes counted %lld, bytes of the answers that count %lld\n", bytes, wantBytes);
  std::printf(
      "  resident memory: %ld KiB at the start, %ld KiB after %lld fetches, %ld KiB at "
      "the end (growth %+ld KiB)\n",
      rssStart, rssEarly, static_cast<long long>(fetches / 10), rssEnd, rssEnd - rssEarly);

  bool ok = true;
  if (valid + errors != listed || valid != wantValid || errors != wantErrors ||
      bytes != wantBytes || done != listed) {
    std::printf("load_run: FAILED: the totals do not add up\n");
    ok = false;
  }
  if (rssEnd - rssEarly > 1024L * maxGrowthMb) {
    std::printf("load_run: FAILED: memory grew by more than %d MiB\n", maxGrowthMb);
    ok = false;
  }
  if (ok) std::printf("load_run: totals add up\n");
  return ok ? 0 : 1;
}
