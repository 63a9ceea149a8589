// quorvel bench: the same run as the window's, and its figures in every form it writes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <mutex>

#include "app/app_state.h"
#include "app/frm_quorvel.h"
#include "cli/cli_fixture.h"
#include "app/exit_codes.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;
using testing::HttpTestServer;

class BenchCommand : public CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.server().set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_ << QString::fromStdString(req.target);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto page = [this](const char* path, std::string body) {
      http_.server().Get(path, [body](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "text/html");
      });
    };
    page("/index.htm", "<html><img src=a.gif><img src=\"/b.gif\"><embed src=s.mid></html>");
    page("/a.gif", std::string(1000, 'a'));
    page("/b.gif", std::string(2000, 'b'));
    page("/s.mid", std::string(300, 's'));
    page("/broken.htm", "<img src=\"http://127.0.0.1:1/gone.gif\">");
    http_.start();
  }
  QString url(const char* path) { return QString::fromStdString(http_.url(path)); }
  QStringList seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  QStringList logLines(const QString& name) {
    QStringList l = QString::fromUtf8(readFile(name)).split(QStringLiteral("\r\n"));
    if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
    return l;
  }

  HttpTestServer http_;
  std::mutex mutex_;
  QStringList seen_;
};

QString line(const QByteArray& text, const char* label) {
  for (const QByteArray& l : text.split('\n'))
    if (l.startsWith(label)) return QString::fromUtf8(l.mid(17));
  return {};
}

TEST_F(BenchCommand, TextJsonLogsAndTheWindowAgree) {
  // The window first, as a user runs it, then the command on the same pages.
  {
    frmQuorvel w;
    w.show();
    QLineEdit* edit = w.findChild<QComboBox*>("cboURLToUse")->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, url("/index.htm"));
    QTest::mouseClick(w.findChild<QPushButton*>("cmdGo"), Qt::LeftButton);
    const testing::CommandResult text = run({"bench", "--no-log", url("/index.htm")});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    for (const auto& [label, box] :
         {std::pair{"Valid URLs:", "txtValidURLs"}, std::pair{"Total Errors:", "txtTotalErrors"},
          std::pair{"Total Bytes:", "txtTotalBytes"}})
      EXPECT_EQ(line(text.out, label), w.findChild<QLineEdit*>(box)->text()) << label;
  }
  EXPECT_FALSE(QFile::exists(path("QVSum.log")));  // --no-log, and the window logs only when asked

  const testing::CommandResult r = run({"bench", "--json", "-n", "2", url("/index.htm")});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
  const QJsonObject totals = doc["totals"].toObject();
  EXPECT_EQ(doc["status"].toString(), "Done");
  EXPECT_EQ(totals["valid_urls"].toInt(), 2);
  EXPECT_EQ(totals["files"].toInt(), 8);
  EXPECT_EQ(totals["bytes"].toInt(), 2 * (63 + 1000 + 2000 + 300));
  EXPECT_EQ(totals["shown"].toObject()["total_bytes"].toString(), "6,726");
  // Every request the server saw is there, with its phases, in order.
  const QJsonArray requests = doc["requests"].toArray();
  QStringList targets;
  qint64 bytes = 0;
  for (const QJsonValue& v : requests) {
    const QJsonObject o = v.toObject();
    targets << QUrl(o["http"].toObject()["effective_url"].toString()).path();
    bytes += o["bytes"].toInteger();
    EXPECT_EQ(o["http"].toObject()["status"].toInt(), 200);
    EXPECT_GE(o["phases_microseconds"].toObject()["wait"].toDouble(), 0);
  }
  const QStringList each{"/index.htm", "/a.gif", "/b.gif", "/s.mid"};
  EXPECT_EQ(targets, each + each);
  EXPECT_EQ(seen().mid(seen().size() - 8), each + each);
  EXPECT_EQ(bytes, totals["bytes"].toInteger());
  // The summary line the run logged holds the same throughput, and is the one reported.
  const QStringList sum = logLines("QVSum.log");
  ASSERT_EQ(sum.size(), 1);
  EXPECT_EQ(sum[0].mid(14), doc["summary_line"].toString().mid(14));
  EXPECT_EQ(logLines("QuorvelLog.txt").filter(" bytes ").size(), 8);
}

TEST_F(BenchCommand, CsvHarAndMetricsOfOneRun) {
  const QString har = path("run.har"), prom = path("bench.prom");
  const testing::CommandResult r = run(
      {"bench", "--csv", "--har", har, "--metrics", prom, url("/index.htm"), url("/broken.htm")});
  EXPECT_EQ(r.exitCode, kExitMeasureFailed);  // the image on port 1 fails
  const QList<QByteArray> rows = r.out.trimmed().split('\n');
  ASSERT_EQ(rows.size(), 1 + 6);
  EXPECT_TRUE(rows[0].startsWith("started,iteration,entry,kind,page,url,bytes,seconds,error,"));
  EXPECT_TRUE(rows[6].contains(",resource,") && rows[6].contains(",12029,")) << rows[6].constData();

  const QJsonObject log = QJsonDocument::fromJson(readFile("run.har")).object()["log"].toObject();
  EXPECT_EQ(log["version"].toString(), "1.2");
  EXPECT_EQ(log["pages"].toArray().size(), 2);
  const QJsonArray entries = log["entries"].toArray();
  ASSERT_EQ(entries.size(), 6);
  EXPECT_EQ(entries[1].toObject()["request"].toObject()["url"].toString(), url("/a.gif"));
  EXPECT_EQ(entries[5].toObject()["pageref"].toString(), "page_1_2");

  const QByteArray metrics = readFile("bench.prom");
  EXPECT_TRUE(
      metrics.contains(("quorvel_bench_success{url=\"" + url("/index.htm") + "\"} 1\n").toUtf8()));
  EXPECT_TRUE(
      metrics.contains(("quorvel_bench_success{url=\"" + url("/broken.htm") + "\"} 0\n").toUtf8()));
  EXPECT_TRUE(metrics.contains("quorvel_bench_failed_files 1\n"));
}

TEST_F(BenchCommand, WhatCannotStartOrBeWritten) {
  testing::CommandResult r = run({"bench"});  // no URL and no URLS.DAT
  EXPECT_EQ(r.exitCode, kExitCannotStart);
  EXPECT_EQ(r.err, "quorvel: Could not locate URLS.DAT file!\n");

  writeFile("URLS.DAT", ("; pages\n" + url("/a.gif") + "\n").toUtf8());
  r = run({"bench", "--metrics", path("no/such/folder/x.prom")});
  EXPECT_EQ(r.exitCode, kExitNotWritten);
  EXPECT_TRUE(r.err.startsWith("quorvel: Could not write ")) << r.err.toStdString();
  EXPECT_EQ(line(r.out, "Valid URLs:"), "1");
}

}  // namespace
}  // namespace quorvel
