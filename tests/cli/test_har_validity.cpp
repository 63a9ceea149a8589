// The HAR file of "quorvel bench --har" checked by a real validator (the npm package
// har-validator, which scripts/install-npm.sh installs into QUORVEL_NPM_DIR), and its entries
// against the requests the server saw.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>
#include <mutex>

#include "app/exit_codes.h"
#include "cli/cli_fixture.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;
using testing::CommandResult;
using testing::HttpTestServer;

class HarValidity : public CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    node_ = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node_.isEmpty()) GTEST_SKIP() << "node is not installed (scripts/install-deps.sh)";
    if (!QFile::exists(QStringLiteral(QUORVEL_NPM_DIR "/node_modules/har-validator/package.json")))
      GTEST_SKIP() << "har-validator is not installed in " QUORVEL_NPM_DIR
                      " (scripts/install-npm.sh installs it)";
    http_.server().set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_ << QString::fromStdString(req.method + " " + req.target);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto file = [this](const char* path, std::string body, const char* type) {
      http_.server().Get(path, [body, type](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, type);
      });
    };
    file("/index.htm",
         "<html><frameset><frame src=\"menu.htm\"></frameset><img src=a.gif>"
         "<img src=/missing.gif><embed src=\"s.mid\"></html>",
         "text/html");
    file("/menu.htm", "<html><img src=a.gif></html>", "text/html");
    file("/a.gif", std::string(1500, 'a'), "image/gif");
    file("/s.mid", std::string(700, 's'), "audio/midi");
    file("/two.htm", "<html>two</html>", "text/html");
    http_.start();
  }
  QString url(const char* path) const { return QString::fromStdString(http_.url(path)); }
  QStringList seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

  // The validator's verdict: "valid", or its complaints.
  QString validate(const QString& harFile) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(node_, {QStringLiteral(QUORVEL_TEST_SOURCE_DIR "/validate_har.js"),
                    QStringLiteral(QUORVEL_NPM_DIR), harFile});
    if (!p.waitForFinished(60000)) return QStringLiteral("node did not finish");
    const QString out = QString::fromUtf8(p.readAll()).trimmed();
    return p.exitCode() == 0 ? out : QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(out);
  }

  QString node_;
  HttpTestServer http_;
  std::mutex mutex_;
  QStringList seen_;
};

TEST_F(HarValidity, BenchHarIsValidAndHoldsTheRequestsTheServerSaw) {
  const QString har = path("run.har");
  const CommandResult r = runProgram(
      {"bench", "--no-log", "-n", "2", "--har", har, url("/index.htm"), url("/two.htm")});
  ASSERT_TRUE(r.exitCode == kExitOk || r.exitCode == kExitMeasureFailed) << r.err.toStdString();
  EXPECT_EQ(validate(har), "valid");

  const QJsonObject log = QJsonDocument::fromJson(readFile("run.har")).object()["log"].toObject();
  QSet<QString> pageIds;
  for (const QJsonValue& p : log["pages"].toArray()) pageIds << p.toObject()["id"].toString();
  EXPECT_EQ(pageIds.size(), 4);  // two listed pages, two iterations
  // One entry per request, in the order the server got them, with what it answered.
  QStringList requests;
  for (const QJsonValue& v : log["entries"].toArray()) {
    const QJsonObject e = v.toObject();
    const QJsonObject request = e["request"].toObject(), response = e["response"].toObject();
    const QUrl u(request["url"].toString());
    const QString target = u.path() + (u.hasQuery() ? "?" + u.query() : QString());
    requests << request["method"].toString() + " " + target;
    EXPECT_TRUE(pageIds.contains(e["pageref"].toString()));
    EXPECT_EQ(u.port(), http_.port());
    EXPECT_EQ(response["status"].toInt(), target == "/missing.gif" ? 404 : 200)
        << target.toStdString();
    if (target == "/a.gif") {
      EXPECT_EQ(response["bodySize"].toInt(), 1500);
    }
    if (target == "/s.mid") {
      EXPECT_EQ(response["content"].toObject()["mimeType"].toString(), "audio/midi");
    }
    EXPECT_EQ(e["serverIPAddress"].toString(), "127.0.0.1");
  }
  // The page, its files, then its frame's page and its files.
  const QStringList once{"GET /index.htm", "GET /a.gif", "GET /missing.gif", "GET /s.mid",
                         "GET /menu.htm",  "GET /a.gif", "GET /two.htm"};
  EXPECT_EQ(seen(), once + once) << seen().join(", ").toStdString();
  EXPECT_EQ(requests, seen());

  // The validator does reject what is not HAR: an entry without its timings.
  QJsonObject broken = QJsonDocument::fromJson(readFile("run.har")).object();
  QJsonObject brokenLog = broken["log"].toObject();
  QJsonArray entries = brokenLog["entries"].toArray();
  QJsonObject first = entries[0].toObject();
  first.remove("timings");
  entries[0] = first;
  brokenLog["entries"] = entries;
  broken["log"] = brokenLog;
  writeFile("broken.har", QJsonDocument(broken).toJson());
  const QString verdict = validate(path("broken.har"));
  EXPECT_TRUE(verdict.startsWith("exit 1:") && verdict.contains("timings"))
      << verdict.toStdString();
}

}  // namespace
}  // namespace quorvel
