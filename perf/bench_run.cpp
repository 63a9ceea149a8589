// The cost of the benchmark run itself, printed as figures (not a test).
//
// A run of 1,000 fetches on loopback (one page with nine images, fetched 100 times, logging
// on) against an HTTP server in this process that answers each request after a short delay,
// as a distant server would. Printed: the wall time of the whole run, the sum of the intervals
// the run measured (what its totals and logs report), the time spent inside opening and reading
// as a microsecond clock sees it, and the run's own overhead: everything that is not opening
// and reading (scanning, counting, logging, status and totals updates).
// Usage: bench_run [--fetches N] [--delay-ms N] [--page-bytes N]
#include <httplib.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "core/app_state.h"
#include "bench/benchmark_run.h"
#include "bench/curl_internet.h"
#include "bench/totals_text.h"

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kImages = 9;

// A window that shows nothing: the run's calls cost what they cost in the program minus the
// painting.
class ConsoleView : public RunView {
 public:
  int iterations = 1;
  QString url;
  bool useUrlFile() const override { return false; }
  QString urlBoxText() const override { return url; }
  QString iterationsText() const override { return QString::number(iterations); }
  bool loggingOn() const override { return true; }
  bool imagesOn() const override { return true; }
  bool soundsOn() const override { return true; }
  void setUrlList(const QStringList&, const QString&) override {}
  void setStatus(const QString& text) override { status_ = text; }
  void setTotals(const RunTotals& totals) override { totals_ = MakeTotalsText(totals); }
  void processEvents() override { QCoreApplication::processEvents(); }
  void setBusyCursor(bool) override {}
  void message(const QString& title, const QString& text, MsgIcon) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
  void closeMainWindow() override {}
  const TotalsText& totals() const { return totals_; }

 private:
  QString status_;
  TotalsText totals_;
};

// Passes every call on and clocks the opening and reading in microseconds.
class TimedSession : public InternetSession {
 public:
  explicit TimedSession(InternetSession& inner) : inner_(inner) {}
  int OpenInternet(const QString& agent, const QString& proxy) override {
    return inner_.OpenInternet(agent, proxy);
  }
  int OpenURL(const QString& url) override {
    const auto t0 = Clock::now();
    const int e = inner_.OpenURL(url);
    spent += Clock::now() - t0;
    ++fetches;
    return e;
  }
  int ReadURL(QByteArray* body, std::int64_t& bytes) override {
    const auto t0 = Clock::now();
    const int e = inner_.ReadURL(body, bytes);
    spent += Clock::now() - t0;
    return e;
  }
  void CloseInternet() override { inner_.CloseInternet(); }
  Clock::duration spent{};
  int fetches = 0;

 private:
  InternetSession& inner_;
};

int argValue(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int fetches = argValue(argc, argv, "--fetches", 1000);
  const int delayMs = argValue(argc, argv, "--delay-ms", 2);
  const int pageBytes = argValue(argc, argv, "--page-bytes", 2048);
  if (fetches < 10 || delayMs < 0 || pageBytes < 0) {
    std::fprintf(stderr, "usage: bench_run [--fetches N>=10] [--delay-ms N] [--page-bytes N]\n");
    return 2;
  }

  std::string page = "<html><body>\n";
  for (int i = 1; i <= kImages; ++i) page += "<img src=\"img" + std::to_string(i) + ".gif\">\n";
  page += "<p>";
  while (page.size() < static_cast<size_t>(pageBytes)) page += "text ";
  page += "</p></body></html>\n";
  const std::string image(1024, 'g');

  httplib::Server server;
  const auto delay = std::chrono::milliseconds(delayMs);
  server.Get("/page.htm", [&](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(delay);
    res.set_content(page, "text/html");
  });
  server.Get(R"(/img\d+\.gif)", [&](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(delay);
    res.set_content(image, "image/gif");
  });
  server.set_keep_alive_max_count(1000000);
  server.set_tcp_nodelay(true);  // answers go out at once, as from a server of its own
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::fprintf(stderr, "bench_run: cannot listen on 127.0.0.1\n");
    return 1;
  }
  std::thread listener([&server] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  QTemporaryDir home;
  resetAppState(home.path());
  ConsoleView view;
  view.url = QStringLiteral("http://127.0.0.1:%1/page.htm").arg(port);
  view.iterations = fetches / (kImages + 1);

  std::int64_t measuredUs = 0;
  RunEnvironment env = DefaultRunEnvironment();
  env.printSummary = nullptr;
  env.onInterval = [&](const QString&, std::int64_t interval) { measuredUs += interval; };

  CurlInternet curl;
  TimedSession session(curl);
  const auto t0 = Clock::now();
  RunBenchmark(view, session, env);
  const Clock::duration wall = Clock::now() - t0;
  server.stop();
  listener.join();

  const double wallMs = ms(wall);
  const double insideMs = ms(session.spent);
  std::printf(
      "bench_run: %d fetches on 127.0.0.1 (server delay %d ms, page %zu bytes, %d images of %zu "
      "bytes), logging on\n",
      session.fetches, delayMs, page.size(), kImages, image.size());
  std::printf("  wall time of the run             %10.1f ms\n", wallMs);
  const double measuredMs = static_cast<double>(measuredUs) / 1000.0;
  std::printf("  sum of the measured intervals    %10.1f ms\n", measuredMs);
  std::printf("  opening + reading (us clock)     %10.1f ms\n", insideMs);
  std::printf(
      "  overhead of the run              %10.1f ms  = %.2f%% of the wall time (%.1f us a fetch)\n",
      wallMs - insideMs, 100.0 * (wallMs - insideMs) / wallMs,
      1000.0 * (wallMs - insideMs) / session.fetches);
  std::printf("  wall time beyond the intervals   %10.1f ms  = %.2f%% of the wall time\n",
              wallMs - measuredMs, 100.0 * (wallMs - measuredMs) / wallMs);
  std::printf("  totals shown: %s valid URLs, %s errors, %s bytes, %s, %s\n",
              qPrintable(view.totals().validUrls), qPrintable(view.totals().totalErrors),
              qPrintable(view.totals().totalBytes), qPrintable(view.totals().throughput),
              qPrintable(view.totals().avgPageLoad));
  return 0;
}
