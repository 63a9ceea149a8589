// Fetching and scanning speed, printed as figures (not a test).
//
// Everything runs on loopback against an HTTP server (cpp-httplib) in a child process:
//   (a) throughput for a 64 MiB page (kept in memory) beside the curl tool's speed_download;
//   (b) median time of 500 fetches of a 2 KB page beside the curl tool's time_total (one curl
//       process fetching the URL 500 times, so both reuse their connection);
//   (d) time to strip the comments of a 10 MiB page with 100,000 comments and 100,000 image
//       tags and to find and resolve its images;
//   (e) peak memory (VmHWM) while a 1 GiB resource is fetched with its body thrown away;
//   (f) peak memory while a 1.5 GiB page is refused at the 1 GiB limit of a page in memory,
//       with its length announced and without one.
// Usage: bench_fetch [path of the curl tool, default "curl"]
#include <httplib.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "bench/curl_internet.h"
#include "bench/page_links.h"

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kMiB = 1024 * 1024;

double secondsSince(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// CPU time of this thread: what a step costs, whatever else the machine is doing.
double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long statusKb(const char* key) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.startsWith(key))
      return line.mid(qsizetype(strlen(key))).trimmed().split(' ')[0].toLong();
  }
  return -1;
}

// Resets the peak resident size to the current one (Linux 4.0 and later).
bool resetPeakMemory() {
  QFile f(QStringLiteral("/proc/self/clear_refs"));
  return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// Serves `length` bytes from a fixed 1 MiB pattern, without holding the body.
void serveBytes(httplib::Response& res, size_t length) {
  static const std::string pattern = [] {
    std::string p(kMiB, '\0');
    for (size_t i = 0; i < p.size(); ++i) p[i] = char('a' + i % 26);
    return p;
  }();
  res.set_content_provider(length, "application/octet-stream",
                           [](size_t offset, size_t left, httplib::DataSink& sink) {
                             const size_t at = offset % kMiB;
                             return sink.write(pattern.data() + at, std::min(left, kMiB - at));
                           });
}

// Runs the curl tool; its standard output, empty on failure.
QString runCurl(const QString& curl, const QStringList& args) {
  QProcess p;
  p.start(curl, QStringList{"-s", "--noproxy", "*"} + args);
  if (!p.waitForFinished(600000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

struct Fetched {
  int error = 0;
  std::int64_t bytes = 0;
  double seconds = 0;
};

Fetched fetch(CurlInternet& net, const QString& url, QByteArray* body) {
  Fetched f;
  const auto t0 = Clock::now();
  f.error = net.OpenURL(url);
  if (f.error == 0) f.error = net.ReadURL(body, f.bytes);
  f.seconds = secondsSince(t0);
  return f;
}

QByteArray scanPage() {
  QByteArray page;
  page.reserve(qsizetype(11 * kMiB));
  for (int i = 0; i < 100000; ++i) {
    page += "<!-- note ";
    page += QByteArray::number(i);
    page += " of the page, with a few words -->\r\n<p>Text ";
    page += "<IMG SRC=\"images/pic";
    page += QByteArray::number(i % 5000);
    page += ".gif?v=1\" alt='picture'></p>\n";
  }
  while (page.size() < qsizetype(10 * kMiB)) page += "<p>more text, no tags at all</p>\n";
  return page;
}

}  // namespace

// The loopback server, in a process of its own so that Quorvel and the curl tool are both
// clients in another process than the server's. Prints its port, serves until its standard
// input closes.
int serve() {
  httplib::Server server;
  server.set_keep_alive_max_count(100000);
  server.set_tcp_nodelay(true);
  server.Get("/page64",
             [](const httplib::Request&, httplib::Response& res) { serveBytes(res, 64 * kMiB); });
  server.Get("/huge",
             [](const httplib::Request&, httplib::Response& res) { serveBytes(res, 1024 * kMiB); });
  server.Get("/page1536",
             [](const httplib::Request&, httplib::Response& res) { serveBytes(res, 1536 * kMiB); });
  server.Get("/chunked1536", [](const httplib::Request&, httplib::Response& res) {
    static const std::string piece(kMiB, 'c');
    res.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= 1536 * kMiB) {
        sink.done();
        return true;
      }
      return sink.write(piece.data(), piece.size());
    });
  });
  server.Get("/page2k", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(2048, 'p'), "text/html");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    std::fprintf(stderr, "cannot bind a loopback port\n");
    return 1;
  }
  std::thread serverThread([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::printf("%d\n", port);
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  server.stop();
  serverThread.join();
  return 0;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--serve") return serve();
  QCoreApplication app(argc, argv);
  const QString curl = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("curl");

  QProcess server;
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  server.start(QCoreApplication::applicationFilePath(), {"--serve"});
  if (!server.waitForReadyRead(10000)) {
    std::fprintf(stderr, "the loopback server did not start\n");
    return 1;
  }
  const int port = server.readLine().trimmed().toInt();
  const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);

  CurlInternet net;
  net.setEventPump([] {
    QCoreApplication::processEvents();
    return true;
  });
  if (net.OpenInternet("Quorvel", "") != 0) return 1;

  // (e) first, so that no earlier body has raised the peak.
  {
    const bool reset = resetPeakMemory();
    const long before = statusKb("VmHWM:");
    const Fetched f = fetch(net, base + "/huge", nullptr);
    const long peak = statusKb("VmHWM:");
    std::printf(
        "(e) 1 GiB resource, body discarded: error %d, %lld bytes in %.2f s (%.0f MB/s); "
        "VmHWM %.1f MB before, %.1f MB after%s (goal < 100 MB)\n",
        f.error, static_cast<long long>(f.bytes), f.seconds, f.bytes / f.seconds / 1e6,
        before / 1024.0, peak / 1024.0, reset ? "" : " (peak not reset)");
  }

  // (f) a page beyond the limit kept in memory: its peak within the limit and a tenth.
  for (const char* page : {"/page1536", "/chunked1536"}) {
    const bool reset = resetPeakMemory();
    const long before = statusKb("VmHWM:");
    QByteArray body;
    const Fetched f = fetch(net, base + page, &body);
    const long peak = statusKb("VmHWM:");
    std::printf(
        "(f) 1.5 GiB page %s, kept: error %d, %lld bytes kept; VmHWM %.1f MB before, %.1f MB "
        "after%s (goal: grown by < 1126 MB, the 1 GiB limit and a tenth)\n",
        page[1] == 'p' ? "with its length" : "without a length", f.error,
        static_cast<long long>(body.size()), before / 1024.0, peak / 1024.0,
        reset ? "" : " (peak not reset)");
  }

  // (a) 64 MiB page: nine rounds, Quorvel and the curl tool in turn, so that the load of the
  // machine weighs on both alike.
  {
    std::vector<double> ours, discarded, theirs;
    for (int i = 0; i < 9; ++i) {
      QByteArray body;
      const Fetched f = fetch(net, base + "/page64", &body);
      if (f.error != 0 || f.bytes != qint64(64 * kMiB))
        std::printf("    fetch error %d\n", f.error);
      ours.push_back(f.bytes / f.seconds);
      body = QByteArray();
      const Fetched g = fetch(net, base + "/page64", nullptr);
      discarded.push_back(g.bytes / g.seconds);
      const QStringList out = runCurl(curl, {"-o", "/dev/null", "-w",
                                             "%{speed_download} %{time_total}", base + "/page64"})
                                  .split(' ');
      if (out.size() == 2) theirs.push_back(out[0].toDouble());
    }
    const double a = median(ours), b = median(theirs);
    std::printf(
        "(a) 64 MiB page, median of 9: Quorvel %.1f MB/s (%.0f kbit/s; best %.1f MB/s; "
        "body discarded %.1f MB/s), curl speed_download %.1f MB/s (best %.1f MB/s); "
        "ratio %.2f (goal >= 0.9)\n",
        a / 1e6, a * 8 / 1000, *std::max_element(ours.begin(), ours.end()) / 1e6,
        median(discarded) / 1e6, b / 1e6,
        theirs.empty() ? 0.0 : *std::max_element(theirs.begin(), theirs.end()) / 1e6,
        b > 0 ? a / b : 0.0);
  }

  // (b) 500 fetches of a 2 KB page over one connection.
  {
    std::vector<double> ours;
    int errors = 0;
    for (int i = 0; i < 500; ++i) {
      QByteArray body;
      const Fetched f = fetch(net, base + "/page2k", &body);
      errors += f.error != 0 || body.size() != 2048;
      ours.push_back(f.seconds * 1000);
    }
    QStringList args{"-w", "%{time_total}\\n"};
    for (int i = 0; i < 500; ++i)
      args << "-o"
           << "/dev/null" << base + "/page2k";
    std::vector<double> theirs;
    for (const QString& line : runCurl(curl, args).split('\n', Qt::SkipEmptyParts)) {
      theirs.push_back(line.toDouble() * 1000);
    }
    const double a = median(ours), b = median(theirs);
    std::printf(
        "(b) 2 KB page, 500 fetches: Quorvel median %.3f ms (errors %d), curl median "
        "time_total %.3f ms over %zu fetches; difference %.3f ms (goal within 20%% or "
        "1 ms)\n",
        a, errors, b, theirs.size(), a - b);
  }

  // (d) reading a 10 MiB page, and two hostile ones.
  {
    const QByteArray page = scanPage();
    auto t0 = Clock::now();
    double c0 = cpuSeconds();
    const PageLinks links = ReadPageLinks(page, "http://127.0.0.1/dir/p.htm", {true, true, true});
    const double read = secondsSince(t0), readCpu = cpuSeconds() - c0;
    std::printf(
        "(d) %.1f MiB page, 100,000 comments, 100,000 image tags (wall / CPU ms): its links "
        "%.1f / %.1f (%lld distinct)\n",
        page.size() / double(kMiB), read * 1000, readCpu * 1000,
        static_cast<long long>(links.resources.size()));
    QByteArray many;
    for (int i = 0; i < 1000000; ++i) many += "<img src=/i" + QByteArray::number(i % 1000) + ">";
    QByteArray one = "<img alt=\"" + QByteArray(200 * kMiB, 'x') + "\" src=a.gif>";
    for (const auto& [name, hostile] :
         {std::pair{"1,000,000 tags", &many}, {"one 200 MiB tag", &one}}) {
      t0 = Clock::now();
      c0 = cpuSeconds();
      const PageLinks l = ReadPageLinks(*hostile, "http://127.0.0.1/", {true, true, true});
      std::printf("(d) %s, %.1f MiB: its links %.1f / %.1f ms (%lld)\n", name,
                  hostile->size() / double(kMiB), secondsSince(t0) * 1000,
                  (cpuSeconds() - c0) * 1000, static_cast<long long>(l.resources.size()));
    }
  }

  net.CloseInternet();
  server.closeWriteChannel();
  if (!server.waitForFinished(10000)) server.kill();
  return 0;
}
