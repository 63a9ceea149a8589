// The metrics files of bench and ping as a monitoring system takes them: promtool accepts
// them, and a Prometheus server scraping node_exporter's textfile collector on loopback reads
// back every value the files hold. Debian's prometheus and prometheus-node-exporter packages
// (scripts/install-deps.sh installs them); the tests say so and skip when they are missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <cmath>
#include <memory>

#include "app/exit_codes.h"
#include "cli/cli_fixture.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;
using testing::CommandResult;
using testing::HttpTestServer;

// One sample of a metrics file: "name{labels} value".
struct Sample {
  QString selector;  // name and labels, as PromQL reads them too
  QString value;
};

std::vector<Sample> samplesOf(const QByteArray& text) {
  static const QRegularExpression line(
      QStringLiteral(R"(^([a-zA-Z_:][a-zA-Z0-9_:]*(?:\{.*\})?) (\S+)$)"));
  std::vector<Sample> samples;
  for (const QByteArray& l : text.split('\n')) {
    if (l.isEmpty() || l.startsWith('#')) continue;
    const QRegularExpressionMatch m = line.match(QString::fromUtf8(l));
    EXPECT_TRUE(m.hasMatch()) << l.constData();
    if (m.hasMatch()) samples.push_back({m.captured(1), m.captured(2)});
  }
  return samples;
}

bool sameValue(const QString& a, const QString& b) {
  const double x = a.toDouble(), y = b.toDouble();
  return (std::isnan(x) && std::isnan(y)) || x == y;
}

// A server program of the test's own, ended with the test program even when that crashes.
std::unique_ptr<QProcess> startDaemon(const QString& program, const QStringList& args) {
  auto p = std::make_unique<QProcess>();
  p->setProcessChannelMode(QProcess::MergedChannels);
  p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  p->start(program, args);
  if (!p->waitForStarted(10000)) return nullptr;
  return p;
}

void stopDaemon(std::unique_ptr<QProcess>& p) {
  if (!p) return;
  p->terminate();
  if (!p->waitForFinished(10000)) {
    p->kill();
    p->waitForFinished(5000);
  }
  p.reset();
}

// Whether GET path on the loopback port answers 200, at most `seconds` from now.
bool answersWithin(int port, const char* path, int seconds, QProcess* server) {
  const QDeadlineTimer deadline(seconds * 1000);
  while (!deadline.hasExpired()) {
    if (server->state() != QProcess::Running) return false;
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1);
    client.set_read_timeout(2);
    const httplib::Result r = client.Get(path);
    if (r && r->status == 200) return true;
    QThread::msleep(100);
  }
  return false;
}

QString promtool() {
  return QStandardPaths::findExecutable(QStringLiteral("promtool"));
}

class Monitoring : public CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.server().Get("/index.htm", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html><img src=a.gif><img src=\"http://127.0.0.1:1/gone.gif\"></html>",
                      "text/html");
    });
    http_.server().Get("/a.gif", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(4000, 'a'), "image/gif");
    });
    http_.start();
  }
  QString url(const char* path) const { return QString::fromStdString(http_.url(path)); }

  // bench --metrics FILE over a page with an image and one that cannot be fetched, and a
  // page whose URL needs escaping in a label; its JSON report.
  QJsonObject runBench(const QString& metricsFile) {
    const CommandResult r = runProgram({"bench", "--no-log", "--json", "--metrics", metricsFile,
                                        url("/index.htm"), url("/a.gif?name=\"quoted\"")});
    EXPECT_EQ(r.exitCode, kExitMeasureFailed) << r.err.toStdString();  // gone.gif fails
    return QJsonDocument::fromJson(r.out).object();
  }

  // Whether this build has the ping command yet; if not, why.
  bool pingCommand(QString* why, QStringList* countOption) {
    const CommandResult help = runProgram({"ping", "--help"}, 20000);
    if (help.exitCode != kExitOk) {
      *why = QStringLiteral(
                 "quorvel ping does not exist in this build (\"quorvel ping --help\" "
                 "said: %1)")
                 .arg(QString::fromUtf8(help.err.trimmed()));
      return false;
    }
    if (help.out.contains("--count")) *countOption = {"--count", "3"};
    return true;
  }

  // ping --metrics FILE 127.0.0.1; false with the reason when ICMP cannot be used here.
  bool runPing(const QString& metricsFile, QString* why) {
    QStringList count;
    if (!pingCommand(why, &count)) return false;
    const CommandResult r = runProgram(
        QStringList{"ping", "--metrics", metricsFile} + count + QStringList{"127.0.0.1"}, 120000);
    if (!QFile::exists(metricsFile)) {
      *why = QStringLiteral("quorvel ping wrote no metrics (exit status %1: %2)")
                 .arg(r.exitCode)
                 .arg(QString::fromUtf8(r.err.trimmed()));
      EXPECT_EQ(r.exitCode, kExitCannotStart) << "a ping that ran must write its metrics";
      return false;
    }
    return true;
  }

  HttpTestServer http_;
};

// promtool check metrics: silence and exit status 0 mean no problem at all (lint included).
void expectPromtoolAccepts(const QString& file) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setStandardInputFile(file);
  p.start(promtool(), {"check", "metrics"});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
  EXPECT_TRUE(p.readAll().trimmed().isEmpty());
}

TEST_F(Monitoring, PromtoolAcceptsTheBenchMetrics) {
  if (promtool().isEmpty())
    GTEST_SKIP() << "promtool is not installed (Debian's prometheus package; "
                    "scripts/install-deps.sh installs it)";
  runBench(path("bench.prom"));
  ASSERT_TRUE(QFile::exists(path("bench.prom")));
  expectPromtoolAccepts(path("bench.prom"));
}

TEST_F(Monitoring, PromtoolAcceptsThePingMetrics) {
  if (promtool().isEmpty())
    GTEST_SKIP() << "promtool is not installed (Debian's prometheus package; "
                    "scripts/install-deps.sh installs it)";
  QString why;
  if (!runPing(path("ping.prom"), &why)) GTEST_SKIP() << why.toStdString();
  expectPromtoolAccepts(path("ping.prom"));
}

// node_exporter with its textfile collector on a folder of the test's own, and a Prometheus
// server that scrapes it every second; both on loopback, started once for the suite.
class PrometheusEndToEnd : public Monitoring {
 protected:
  static void SetUpTestSuite() {
    const QString exporter = QStandardPaths::findExecutable("prometheus-node-exporter");
    const QString prometheus = QStandardPaths::findExecutable("prometheus");
    if (exporter.isEmpty() || prometheus.isEmpty()) {
      skipReason_ =
          "prometheus and prometheus-node-exporter are not installed (Debian's "
          "packages; scripts/install-deps.sh installs them)";
      return;
    }
    work_ = std::make_unique<QTemporaryDir>();
    QDir(work_->path()).mkdir("textfiles");
    for (int attempt = 0; attempt < 3 && !ready_; ++attempt) {
      exporterPort_ = testing::UnusedLoopbackPort();
      prometheusPort_ = testing::UnusedLoopbackPort();
      exporter_ = startDaemon(
          exporter, {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(exporterPort_),
                     "--collector.disable-defaults", "--collector.textfile",
                     "--collector.textfile.directory=" + textFiles()});
      QFile config(work_->filePath("prometheus.yml"));
      if (!config.open(QIODevice::WriteOnly)) break;
      config.write(QStringLiteral("global:\n"
                                  "  scrape_interval: 1s\n"
                                  "  scrape_timeout: 1s\n"
                                  "scrape_configs:\n"
                                  "  - job_name: quorvel\n"
                                  "    static_configs:\n"
                                  "      - targets: ['127.0.0.1:%1']\n")
                       .arg(exporterPort_)
                       .toUtf8());
      config.close();
      prometheus_ = startDaemon(
          prometheus,
          {"--config.file=" + config.fileName(), "--storage.tsdb.path=" + work_->filePath("data"),
           QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort_),
           "--log.level=warn"});
      ready_ = exporter_ && prometheus_ &&
               answersWithin(exporterPort_, "/metrics", 20, exporter_.get()) &&
               answersWithin(prometheusPort_, "/-/ready", 60, prometheus_.get());
      if (!ready_) {
        if (exporter_) log_ += exporter_->readAll();
        if (prometheus_) log_ += prometheus_->readAll();
        stopDaemon(exporter_);
        stopDaemon(prometheus_);
      }
    }
  }
  static void TearDownTestSuite() {
    stopDaemon(prometheus_);
    stopDaemon(exporter_);
    work_.reset();
  }
  void SetUp() override {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    ASSERT_TRUE(ready_) << "node_exporter and prometheus did not start: " << log_.toStdString();
    Monitoring::SetUp();
  }

  static QString textFiles() { return work_->filePath("textfiles"); }

  // The instant query's results: labels without __name__, and the value's text.
  static std::vector<std::pair<QJsonObject, QString>> query(const QString& promql) {
    httplib::Client client("127.0.0.1", prometheusPort_);
    client.set_read_timeout(10);
    const std::string target =
        "/api/v1/query?query=" + QUrl::toPercentEncoding(promql).toStdString();
    const httplib::Result r = client.Get(target);
    std::vector<std::pair<QJsonObject, QString>> out;
    if (!r || r->status != 200) return out;
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object();
    for (const QJsonValue& v : doc["data"].toObject()["result"].toArray()) {
      QJsonObject labels = v.toObject()["metric"].toObject();
      labels.remove("__name__");
      out.emplace_back(labels, v.toObject()["value"].toArray()[1].toString());
    }
    return out;
  }

  // The query's results once there are some, waiting for the scrapes at most 60 seconds.
  static std::vector<std::pair<QJsonObject, QString>> awaitQuery(const QString& promql) {
    const QDeadlineTimer deadline(60000);
    std::vector<std::pair<QJsonObject, QString>> results;
    while (results.empty() && !deadline.hasExpired()) {
      results = query(promql);
      if (results.empty()) QThread::msleep(250);
    }
    return results;
  }

  // Every sample of the file comes back from Prometheus with its value, from the job.
  void expectEverySampleReadBack(const QString& file) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::vector<Sample> samples = samplesOf(f.readAll());
    ASSERT_FALSE(samples.empty());
    ASSERT_FALSE(awaitQuery(samples.front().selector).empty()) << "never scraped";
    for (const Sample& s : samples) {
      SCOPED_TRACE(s.selector.toStdString());
      const auto results = query(s.selector);
      ASSERT_EQ(results.size(), 1u);
      EXPECT_EQ(results[0].first["job"].toString(), "quorvel");
      EXPECT_TRUE(sameValue(results[0].second, s.value))
          << results[0].second.toStdString() << " != " << s.value.toStdString();
    }
    const auto errors = query("node_textfile_scrape_error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "0");
  }

  static inline std::string skipReason_;
  static inline std::unique_ptr<QTemporaryDir> work_;
  static inline std::unique_ptr<QProcess> exporter_, prometheus_;
  static inline int exporterPort_ = 0, prometheusPort_ = 0;
  static inline bool ready_ = false;
  static inline QByteArray log_;
};

TEST_F(PrometheusEndToEnd, BenchFiguresComeBackThroughTheQueryApi) {
  const QJsonObject report = runBench(textFiles() + "/bench.prom");
  expectEverySampleReadBack(textFiles() + "/bench.prom");

  // The figures are the run's: the same as its JSON report.
  const QJsonObject totals = report["totals"].toObject();
  const auto bytes = query("quorvel_bench_bytes");
  ASSERT_EQ(bytes.size(), 1u);
  EXPECT_EQ(bytes[0].second.toLongLong(), totals["bytes"].toInteger());
  const auto failed = query("quorvel_bench_failed_files");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].second, "1");
  const auto success = query("quorvel_bench_success");
  ASSERT_EQ(success.size(), 2u);
  for (const auto& [labels, value] : success)
    EXPECT_EQ(value, labels["url"].toString() == url("/index.htm") ? "0" : "1")
        << labels["url"].toString().toStdString();
}

TEST_F(PrometheusEndToEnd, PingFiguresComeBackThroughTheQueryApi) {
  QString why;
  if (!runPing(textFiles() + "/ping.prom", &why)) GTEST_SKIP() << why.toStdString();
  expectEverySampleReadBack(textFiles() + "/ping.prom");
}

}  // namespace
}  // namespace quorvel
