// quorvel bench: the same run as the window's, and its figures in every form it writes; the HAR
// file checked by a real validator (the npm package har-validator, which
// scripts/install-npm.sh installs into QUORVEL_NPM_DIR).
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include "app/frm_quorvel.h"
#include "cli/cli_fixture.h"
#include "cli/har_validator.h"
#include "core/exit_codes.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::jsonOf;

const std::string kIndex =
    "<html><frameset><frame src=\"menu.htm\"></frameset><img src=a.gif><img src=\"/b.gif\">"
    "<embed src=s.mid><img src=/missing.gif></html>";
const std::string kMenu = "<html><img src=a.gif></html>";
// One pass over the index: the page, its files in order of their names, its frame's page and
// the frame's files.
const QStringList kPass{"/index.htm", "/a.gif",    "/b.gif", "/missing.gif",
                        "/s.mid",     "/menu.htm", "/a.gif"};
// The missing image (404) is a failed file: its bytes are not counted.
const qint64 kPassBytes = qint64(kIndex.size()) + 1000 + 2000 + 300 + qint64(kMenu.size()) + 1000;

class BenchCommand : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.page("/index.htm", kIndex);
    http_.page("/menu.htm", kMenu);
    http_.page("/a.gif", std::string(1000, 'a'), "image/gif");
    http_.page("/b.gif", std::string(2000, 'b'), "image/gif");
    http_.page("/s.mid", std::string(300, 's'), "audio/midi");
    http_.page("/missing.gif", "gone", "text/plain", 404);
    http_.page("/broken.htm", "<img src=\"http://127.0.0.1:1/gone.gif\">");
    http_.page("/forbidden.htm", "<title>403 Forbidden</title>", "text/html", 403);
    http_.start();
  }
  QString url(const char* path) const { return http_.url(path); }
  QStringList seen() { return http_.targets(); }

  testing::HttpTestServer http_;
};

// The value after a label of the text report, "Valid URLs:      1" -> "1".
QString line(const QByteArray& text, const char* label) {
  for (const QByteArray& l : text.split('\n'))
    if (l.startsWith(label)) return QString::fromUtf8(l.mid(17));
  return {};
}

TEST_F(BenchCommand, TextJsonLogsAndTheWindowAgree) {
  {  // The window first, as a user runs it, then the command on the same page.
    frmQuorvel w;
    w.show();
    testing::type(&w, "cboURLToUse", url("/index.htm"));
    testing::click(&w, "cmdGo");
    const Ended text = run({"bench", "--no-log", url("/index.htm")});
    ASSERT_EQ(text.code, kExitMeasureFailed) << text.err.toStdString();  // the missing image
    for (const auto& [label, box] : {std::pair{"Valid URLs:", "txtValidURLs"},
                                     {"Total Errors:", "txtTotalErrors"},
                                     {"Total Bytes:", "txtTotalBytes"}})
      EXPECT_EQ(line(text.out, label), testing::shown(&w, box)) << label;
  }
  EXPECT_FALSE(QFile::exists(path("QVSum.log")));  // --no-log, and the window logs only when asked

  const Ended r = run({"bench", "--json", "-n", "2", url("/index.htm")});
  ASSERT_EQ(r.code, kExitMeasureFailed) << r.err.toStdString();
  const QJsonObject doc = jsonOf(r.out), totals = doc["totals"].toObject();
  EXPECT_EQ(doc["status"].toString(), "Done");
  EXPECT_EQ(totals["valid_urls"].toInt(), 2);
  EXPECT_EQ(totals["files"].toInt(), 2 * 6);
  EXPECT_EQ(totals["errors"].toInt(), 2);
  EXPECT_EQ(totals["bytes"].toInteger(), 2 * kPassBytes);
  EXPECT_EQ(totals["shown"].toObject()["total_bytes"].toString(),
            QLocale(QLocale::English).toString(2 * kPassBytes));
  // Every request the server saw is there, with its phases, in order.
  QStringList targets;
  qint64 bytes = 0;
  for (const QJsonValue& v : doc["requests"].toArray()) {
    const QJsonObject o = v.toObject(), http = o["http"].toObject();
    targets << QUrl(http["effective_url"].toString()).path();
    const bool missing = targets.last() == "/missing.gif";
    if (!missing) bytes += o["bytes"].toInteger();
    EXPECT_EQ(http["status"].toInt(), missing ? 404 : 200);
    EXPECT_EQ(o["error"].toInt(), missing ? 991 : 0);
    EXPECT_GE(o["phases_microseconds"].toObject()["wait"].toDouble(), 0);
  }
  EXPECT_EQ(targets, kPass + kPass);
  EXPECT_EQ(seen().mid(seen().size() - 14), kPass + kPass);
  EXPECT_EQ(bytes, totals["bytes"].toInteger());
  // The summary line the run logged holds the same throughput, and is the one reported.
  const QStringList sum = logLines("QVSum.log");
  ASSERT_EQ(sum.size(), 1);
  EXPECT_EQ(sum[0].mid(14), doc["summary_line"].toString().mid(14));
  EXPECT_EQ(logLines("QuorvelLog.txt").filter(" bytes ").size(), 14);
}

TEST_F(BenchCommand, CsvHarAndMetricsOfOneRun) {
  const Ended r = run({"bench", "--csv", "--har", path("run.har"), "--metrics", path("bench.prom"),
                       url("/menu.htm"), url("/broken.htm"), url("/forbidden.htm")});
  EXPECT_EQ(r.code, kExitMeasureFailed);  // the image on port 1 fails, the last page is refused
  const QList<QByteArray> rows = r.out.trimmed().split('\n');
  ASSERT_EQ(rows.size(), 1 + 5);
  // The refused page: its status as its error number, and as its HTTP status.
  EXPECT_TRUE(rows[5].contains(",page,") && rows[5].contains(",403,Quorvel error 403,403,"))
      << rows[5].constData();
  EXPECT_TRUE(rows[0].startsWith("started,iteration,entry,kind,page,url,bytes,seconds,error,"));
  EXPECT_TRUE(rows[4].contains(",resource,") && rows[4].contains(",12029,")) << rows[4].constData();
  // (What the HAR holds is checked whole, and by the validator, below.)
  // The image on port 1 made no request: it is named among the failures, not an entry.
  const QJsonObject har = jsonOf(readFile("run.har"))["log"].toObject();
  const QJsonArray entries = har["entries"].toArray(), failures = har["_failures"].toArray();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_EQ(entries[2].toObject()["pageref"].toString(), "page_1_2");
  EXPECT_EQ(entries[3].toObject()["response"].toObject()["status"].toInt(), 403);
  ASSERT_EQ(failures.size(), 1);
  EXPECT_EQ(failures[0].toObject()["url"].toString(), "127.0.0.1:1/gone.gif");  // as listed
  EXPECT_EQ(failures[0].toObject()["pageref"].toString(), "page_1_2");
  if (testing::harValidatorMissing().isEmpty()) {
    EXPECT_EQ(testing::harVerdict(path("run.har")), "valid");
  }
  const QByteArray metrics = readFile("bench.prom");
  for (const QByteArray& sample :
       {"quorvel_bench_success{url=\"" + url("/menu.htm").toUtf8() + "\"} 1\n",
        "quorvel_bench_success{url=\"" + url("/broken.htm").toUtf8() + "\"} 0\n",
        "quorvel_bench_success{url=\"" + url("/forbidden.htm").toUtf8() + "\"} 0\n",
        "quorvel_http_status_code{url=\"" + url("/forbidden.htm").toUtf8() + "\"} 403\n",
        QByteArray("quorvel_bench_failed_files 2\n")})
    EXPECT_TRUE(metrics.contains(sample)) << sample.constData();
}

TEST_F(BenchCommand, WhatCannotStartOrBeWritten) {
  Ended r = run({"bench"});  // no URL and no URLS.DAT
  EXPECT_EQ(r.code, kExitCannotStart);
  EXPECT_EQ(r.err, "quorvel: Could not locate URLS.DAT file!\n");
  EXPECT_TRUE(r.out.isEmpty()) << "no totals of a run that did not start";
  writeFile("URLS.DAT", ("; pages\n" + url("/a.gif") + "\n").toUtf8());
  // A file that cannot be written is found before the run (tests/cli/test_outputs.cpp has
  // the rest).
  r = run({"bench", "--metrics", path("no/such/folder/x.prom")});
  EXPECT_EQ(r.code, kExitNotWritten);
  EXPECT_EQ(r.err, "quorvel: The --metrics file " + path("no/such/folder/x.prom").toUtf8() +
                       " cannot be written: No such file or directory.\n");
  EXPECT_TRUE(r.out.isEmpty());
  EXPECT_TRUE(seen().isEmpty());
}

// Addresses go out in one encoding: what is not ASCII as UTF-8, percent-encoded; bytes given
// that are no UTF-8 (an argument, a line of URLS.DAT) as they were given.
TEST_F(BenchCommand, AddressesAreSentInOneEncoding) {
  const QString python = QStandardPaths::findExecutable("python3");
  if (python.isEmpty()) GTEST_SKIP() << "python3 is not installed";
  // A shell passes an argument's bytes as they are: here the byte FF where "<FF>" stands.
  const QStringList givesRawBytes{python, "-c",
                                  "import os, sys\n"
                                  "a = [x.replace('<FF>', '\\udcff') for x in sys.argv[1:]]\n"
                                  "os.execv(a[0], a)"};
  const QString site = url("/");
  const Ended e = testing::runQuorvel(
      dir_.path(),
      {"bench", "--no-log",
       site + QString::fromUtf8("\xC3\xBCn\xC3\xAF\xE2\x82\xAC\xF0\x9F\x98\x80.htm"),
       site + "x<FF>.htm"},
      60000, false, givesRawBytes);
  ASSERT_TRUE(e.finished);
  writeFile("URLS.DAT", site.toUtf8() + "caf\xE9.htm\n");
  run({"bench", "--no-log"});
  EXPECT_EQ(seen(),
            QStringList({"/%C3%BCn%C3%AF%E2%82%AC%F0%9F%98%80.htm", "/x%FF.htm", "/caf%E9.htm"}));
}

TEST_F(BenchCommand, HarIsValidAndHoldsTheRequestsTheServerSaw) {
  if (const QString missing = testing::harValidatorMissing(); !missing.isEmpty())
    GTEST_SKIP() << missing.toStdString();
  const Ended r = runProgram({"bench", "--no-log", "-n", "2", "--har", path("run.har"),
                              url("/index.htm"), url("/menu.htm")});
  ASSERT_EQ(r.code, kExitMeasureFailed) << r.err.toStdString();  // the missing image
  EXPECT_EQ(testing::harVerdict(path("run.har")), "valid");

  const QJsonObject log = jsonOf(readFile("run.har"))["log"].toObject();
  QStringList pageIds, requests;
  for (const QJsonValue& p : log["pages"].toArray()) pageIds << p.toObject()["id"].toString();
  EXPECT_EQ(pageIds.size(), 4);  // two listed pages, two iterations
  // One entry a request, in the order the server got them, with what it answered.
  for (const QJsonValue& v : log["entries"].toArray()) {
    const QJsonObject e = v.toObject(), request = e["request"].toObject(),
                      response = e["response"].toObject();
    const QUrl u(request["url"].toString());
    requests << u.path();
    EXPECT_EQ(request["method"].toString(), "GET");
    EXPECT_TRUE(pageIds.contains(e["pageref"].toString()));
    EXPECT_EQ(u.port(), http_.port());
    EXPECT_EQ(e["serverIPAddress"].toString(), "127.0.0.1");
    EXPECT_EQ(response["status"].toInt(), u.path() == "/missing.gif" ? 404 : 200);
    EXPECT_TRUE(u.path() != "/b.gif" || response["bodySize"].toInt() == 2000);
    EXPECT_TRUE(u.path() != "/s.mid" ||
                response["content"].toObject()["mimeType"].toString() == "audio/midi");
  }
  const QStringList once = kPass + QStringList{"/menu.htm", "/a.gif"};
  EXPECT_EQ(seen(), once + once);
  EXPECT_EQ(requests, seen());

  // The validator does reject what is not HAR: an entry without its timings.
  QJsonObject broken = jsonOf(readFile("run.har")), brokenLog = broken["log"].toObject();
  QJsonArray entries = brokenLog["entries"].toArray();
  QJsonObject first = entries[0].toObject();
  first.remove("timings");
  entries[0] = first;
  brokenLog["entries"] = entries;
  broken["log"] = brokenLog;
  writeFile("broken.har", QJsonDocument(broken).toJson());
  const QString verdict = testing::harVerdict(path("broken.har"));
  EXPECT_TRUE(verdict.startsWith("exit 1:") && verdict.contains("timings"))
      << verdict.toStdString();
}

TEST_F(BenchCommand, HarIsTrueToTheRequestsMade) {
  if (const QString missing = testing::harValidatorMissing(); !missing.isEmpty())
    GTEST_SKIP() << missing.toStdString();
  http_.server().Get("/from", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/to", 302);
    res.set_header("X-Name", "caf\xc3\xa9 \xe2\x82\xac");  // UTF-8, as sent
  });
  http_.page("/to", "<html>arrived</html>");
  const QString malformed = QString("http//127.0.0.1:%1/x.htm").arg(http_.port());
  const Ended r = runProgram({"bench", "--no-log", "--no-images", "--har", path("run.har"),
                              url("/from"), malformed, url("/menu.htm")});
  EXPECT_EQ(r.code, kExitMeasureFailed) << r.err.toStdString();  // the malformed URL
  EXPECT_EQ(testing::harVerdict(path("run.har")), "valid");
  EXPECT_EQ(seen(), (QStringList{"/from", "/to", "/menu.htm"}));

  const QJsonObject log = jsonOf(readFile("run.har"))["log"].toObject();
  const QJsonArray entries = log["entries"].toArray(), pages = log["pages"].toArray();
  ASSERT_EQ(entries.size(), 3);  // one a request the server saw, each redirect its own
  const std::tuple<const char*, int, const char*, const char*, int> expected[] = {
      // path, status, status text, redirect URL, body bytes
      {"/from", 302, "Found", "/to", 0},
      {"/to", 200, "OK", "", 20},
      {"/menu.htm", 200, "OK", "", int(kMenu.size())},
  };
  for (qsizetype i = 0; i < entries.size(); ++i) {
    const auto& [target, status, text, redirect, bytes] = expected[i];
    SCOPED_TRACE(target);
    const QJsonObject e = entries[i].toObject(), response = e["response"].toObject();
    EXPECT_EQ(QUrl(e["request"].toObject()["url"].toString()).path(), target);
    EXPECT_EQ(response["status"].toInt(), status);
    EXPECT_EQ(response["statusText"].toString(), text);
    EXPECT_EQ(response["redirectURL"].toString(), redirect);
    EXPECT_EQ(response["bodySize"].toInt(), bytes);
    EXPECT_EQ(e["pageref"].toString(), i < 2 ? "page_1_1" : "page_1_3");
  }
  bool named = false;
  for (const QJsonValue& h : entries[0].toObject()["response"].toObject()["headers"].toArray())
    named =
        named || (h.toObject()["name"] == "X-Name" && h.toObject()["value"] == "caf\u00e9 \u20ac");
  EXPECT_TRUE(named) << "header values read as UTF-8";
  // The request that never became one is named, not an entry.
  const QJsonArray failures = log["_failures"].toArray();
  ASSERT_EQ(failures.size(), 1);
  EXPECT_EQ(failures[0].toObject()["url"].toString(), malformed);
  EXPECT_TRUE(log["comment"].toString().contains("_failures"));
  // Each page's load time is its measured time: the redirect and the answer together.
  ASSERT_EQ(pages.size(), 3);
  const double onLoad = pages[0].toObject()["pageTimings"].toObject()["onLoad"].toDouble();
  EXPECT_GT(onLoad, 0);
  EXPECT_NEAR(onLoad,
              entries[0].toObject()["time"].toDouble() + entries[1].toObject()["time"].toDouble(),
              0.01);
  EXPECT_EQ(pages[1].toObject()["pageTimings"].toObject()["onLoad"].toDouble(), 0);
}

}  // namespace
}  // namespace quorvel
