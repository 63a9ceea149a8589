// The metrics files of bench and ping as a monitoring system takes them: promtool accepts them,
// and a Prometheus server scraping node_exporter's textfile collector on loopback reads back
// every value they hold. Debian's prometheus and prometheus-node-exporter packages
// (scripts/install-deps.sh installs them); the tests say so and skip when they are missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>

#include "cli/cli_fixture.h"
#include "core/exit_codes.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::Ended;

// A server program of the test's own, ended with the test program even when that crashes.
std::unique_ptr<QProcess> startDaemon(const QString& program, const QStringList& args) {
  auto p = std::make_unique<QProcess>();
  p->setProcessChannelMode(QProcess::MergedChannels);
  p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  p->start(program, args);
  return p->waitForStarted(10000) ? std::move(p) : nullptr;
}

// Whether GET path on the loopback port answers 200 within `seconds`.
bool answers(int port, const char* path, int seconds, QProcess* server) {
  return QTest::qWaitFor(
             [&] {
               httplib::Client client("127.0.0.1", port);
               client.set_connection_timeout(1);
               const httplib::Result r = client.Get(path);
               return server->state() != QProcess::Running || (r && r->status == 200);
             },
             seconds * 1000) &&
         server->state() == QProcess::Running;
}

// node_exporter with its textfile collector on a folder of the test's own, and a Prometheus
// server scraping it every second; both on loopback, started once for the suite.
class Monitoring : public testing::CommandLineTest {
 protected:
  static void SetUpTestSuite() {
    const QString exporter = QStandardPaths::findExecutable("prometheus-node-exporter");
    const QString prometheus = QStandardPaths::findExecutable("prometheus");
    if (exporter.isEmpty() || prometheus.isEmpty()) return;
    work_ = std::make_unique<QTemporaryDir>();
    QDir(work_->path()).mkdir("textfiles");
    exporterPort_ = testing::freeLoopbackPort();
    prometheusPort_ = testing::freeLoopbackPort();
    exporter_ = startDaemon(exporter,
                            {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(exporterPort_),
                             "--collector.disable-defaults", "--collector.textfile",
                             "--collector.textfile.directory=" + textFiles()});
    testing::put(
        work_->filePath("prometheus.yml"),
        QStringLiteral("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n"
                       "  - job_name: quorvel\n    static_configs:\n"
                       "      - targets: ['127.0.0.1:%1']\n")
            .arg(exporterPort_)
            .toUtf8());
    prometheus_ = startDaemon(
        prometheus, {"--config.file=" + work_->filePath("prometheus.yml"),
                     "--storage.tsdb.path=" + work_->filePath("data"),
                     QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort_),
                     "--log.level=warn"});
    ready_ = exporter_ && prometheus_ && answers(exporterPort_, "/metrics", 20, exporter_.get()) &&
             answers(prometheusPort_, "/-/ready", 60, prometheus_.get());
  }
  static void TearDownTestSuite() {
    for (auto* p : {&prometheus_, &exporter_}) {
      if (!*p) continue;
      (*p)->terminate();
      (*p)->waitForFinished(10000);
      p->reset();
    }
    work_.reset();
  }
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.page("/index.htm",
               "<html><img src=a.gif><img src=\"http://127.0.0.1:1/gone.gif\"></html>");
    http_.page("/a.gif", std::string(4000, 'a'), "image/gif");
    http_.start();
  }
  QString url(const char* path) const { return http_.url(path); }
  static QString textFiles() { return work_->filePath("textfiles"); }

  // bench --metrics over a page with an image and one that cannot be fetched, and a page whose
  // URL needs escaping in a label; or ping --metrics 127.0.0.1. The file's samples
  // "name{labels}".
  std::map<QString, QString> write(const QString& command, const QString& file) {
    if (command == "bench") {
      const Ended r = runProgram({"bench", "--no-log", "--json", "--metrics", file,
                                  url("/index.htm"), url("/a.gif?name=\"quoted\"")});
      EXPECT_EQ(r.code, kExitMeasureFailed) << r.err.toStdString();  // gone.gif fails
      report_ = testing::jsonOf(r.out);
    } else {  // skipped, with the reason, where ICMP cannot be used
      const Ended r = runProgram({"ping", "--metrics", file, "--count", "3", "127.0.0.1"}, 120000);
      if (r.code == kExitCannotStart) skip_ = "quorvel ping cannot start: " + r.err.trimmed();
    }
    std::map<QString, QString> samples;
    static const QRegularExpression line(R"(^([a-zA-Z_:][a-zA-Z0-9_:]*(?:\{.*\})?) (\S+)$)");
    for (const QByteArray& l : testing::get(file).split('\n')) {
      if (l.isEmpty() || l.startsWith('#') || l == "<missing>") continue;
      const QRegularExpressionMatch m = line.match(QString::fromUtf8(l));
      EXPECT_TRUE(m.hasMatch()) << l.constData();
      samples[m.captured(1)] = m.captured(2);
    }
    return samples;
  }

  // The instant query's results: labels without __name__, and the value's text.
  static std::vector<std::pair<QJsonObject, QString>> query(const QString& promql) {
    httplib::Client client("127.0.0.1", prometheusPort_);
    client.set_read_timeout(10);
    const httplib::Result r =
        client.Get("/api/v1/query?query=" + QUrl::toPercentEncoding(promql).toStdString());
    std::vector<std::pair<QJsonObject, QString>> out;
    if (!r || r->status != 200) return out;
    for (const QJsonValue& v : testing::jsonOf(QByteArray::fromStdString(r->body))["data"]
                                   .toObject()["result"]
                                   .toArray()) {
      QJsonObject labels = v.toObject()["metric"].toObject();
      labels.remove("__name__");
      out.emplace_back(labels, v.toObject()["value"].toArray()[1].toString());
    }
    return out;
  }

  // Where the q-quantile of a histogram family lies by the file's own counts summed over its
  // series: the bounds of the bucket that holds it.
  static std::pair<double, double> bucketOfQuantile(const std::map<QString, QString>& samples,
                                                    const QString& family, double q) {
    static const QRegularExpression le(QStringLiteral("le=\"([^\"]+)\""));
    std::map<double, double> counts;  // upper bound -> observations at most it
    for (const auto& [selector, value] : samples) {
      if (!selector.startsWith(family + "_bucket{")) continue;
      const QString bound = le.match(selector).captured(1);
      counts[bound == "+Inf" ? INFINITY : bound.toDouble()] += value.toDouble();
    }
    if (counts.empty()) return {NAN, NAN};
    const double rank = q * counts.rbegin()->second;
    double lower = 0;
    for (const auto& [bound, below] : counts) {
      if (below >= rank) return {lower, bound};
      lower = bound;
    }
    return {NAN, NAN};
  }
  // histogram_quantile over every series of the family, as a fleet's dashboard asks it; within
  // the bucket the file's counts put it in.
  void quantileComesBack(const std::map<QString, QString>& samples, const QString& family) {
    const auto [lower, upper] = bucketOfQuantile(samples, family, 0.9);
    ASSERT_FALSE(std::isnan(lower)) << family.toStdString();
    const auto q = query("histogram_quantile(0.9, sum by (le) (" + family + "_bucket))");
    ASSERT_EQ(q.size(), 1u);
    const double x = q[0].second.toDouble();
    EXPECT_GE(x, lower);
    EXPECT_LE(x, upper);
  }

  std::map<QString, QString> promtoolAndPrometheusReadBack(const QString& command) {
    const QString promtool = QStandardPaths::findExecutable("promtool");
    if (promtool.isEmpty() || !work_) {
      skip_ =
          "promtool, prometheus or prometheus-node-exporter is not installed "
          "(Debian's packages; scripts/install-deps.sh installs them)";
      return {};
    }
    if (!ready_) {
      ADD_FAILURE() << "node_exporter and prometheus did not start";
      return {};
    }
    const QString file = textFiles() + "/" + command + ".prom";
    const std::map<QString, QString> samples = write(command, file);
    if (!skip_.isEmpty()) return {};
    if (samples.empty()) {
      ADD_FAILURE() << "no samples in " << file.toStdString();
      return {};
    }
    // promtool check metrics: silence and exit status 0 mean no problem at all (lint included).
    EXPECT_EQ(testing::promtoolComplaint(file), "");
    // Every sample comes back from Prometheus with its value, from the job.
    if (!QTest::qWaitFor([&] { return !query(samples.begin()->first).empty(); }, 60000)) {
      ADD_FAILURE() << "never scraped";
      return {};
    }
    for (const auto& [selector, value] : samples) {
      const auto results = query(selector);
      EXPECT_EQ(results.size(), 1u) << selector.toStdString();
      if (results.size() != 1) continue;
      EXPECT_EQ(results[0].first["job"].toString(), "quorvel");
      const double x = results[0].second.toDouble(), y = value.toDouble();
      EXPECT_TRUE(x == y || (std::isnan(x) && std::isnan(y))) << selector.toStdString();
    }
    EXPECT_EQ(query("node_textfile_scrape_error").at(0).second, "0");
    return samples;
  }

  testing::HttpTestServer http_;
  QJsonObject report_;
  QString skip_;
  static inline std::unique_ptr<QTemporaryDir> work_;
  static inline std::unique_ptr<QProcess> exporter_, prometheus_;
  static inline int exporterPort_ = 0, prometheusPort_ = 0;
  static inline bool ready_ = false;
};

TEST_F(Monitoring, BenchFiguresAreAcceptedAndComeBackThroughTheQueryApi) {
  const std::map<QString, QString> samples = promtoolAndPrometheusReadBack("bench");
  if (!skip_.isEmpty()) GTEST_SKIP() << skip_.toStdString();
  if (samples.empty()) return;
  quantileComesBack(samples, "quorvel_bench_page_load_duration_seconds");
  // The figures are the run's: the same as its JSON report.
  EXPECT_EQ(query("quorvel_bench_bytes").at(0).second.toLongLong(),
            report_["totals"].toObject()["bytes"].toInteger());
  EXPECT_EQ(query("quorvel_bench_failed_files").at(0).second, "1");
  const auto success = query("quorvel_bench_success");
  ASSERT_EQ(success.size(), 2u);
  for (const auto& [labels, value] : success)
    EXPECT_EQ(value, labels["url"].toString() == url("/index.htm") ? "0" : "1");
}

TEST_F(Monitoring, PingFiguresAreAcceptedAndComeBackThroughTheQueryApi) {
  const std::map<QString, QString> samples = promtoolAndPrometheusReadBack("ping");
  if (!skip_.isEmpty()) GTEST_SKIP() << skip_.toStdString();
  if (samples.empty()) return;
  quantileComesBack(samples, "quorvel_ping_round_trip_seconds");
}

}  // namespace
}  // namespace quorvel
