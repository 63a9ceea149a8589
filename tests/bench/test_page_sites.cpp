// Pages modelled on today's sites (tests/bench/pages) run as a user runs them, with the real
// program: every address requested is one the page names, in the run's order, and the main
// log names the same files. On loopback addresses, and in a network namespace of our own whose
// hosts file gives each server a name.
#include <gtest/gtest.h>

#include <QMutex>

#include "common/test_support.h"
#include "loopback_servers.h"
#include "page_corpus.h"
#include "tools/netns_lab.h"

namespace quorvel {
namespace {

using testing::CorpusPage;
using testing::HttpTestServer;

// Where the requests of every server go, in order of arrival: "host[:port]/path?query".
class Requests {
 public:
  // Serves the corpus pages where they are served and anything else as a small image.
  void serve(HttpTestServer& s, const QList<CorpusPage>* pages) {
    s.server().Get(".*", [this, pages](const httplib::Request& req, httplib::Response& res) {
      const QString host = QString::fromStdString(req.get_header_value("Host"));
      {
        QMutexLocker lock(&mutex_);
        seen_ << host + QString::fromStdString(req.target);
      }
      for (const CorpusPage& p : *pages) {
        if (p.at == host + QString::fromStdString(req.path))
          return res.set_content(p.body.toStdString(), "text/html");
      }
      res.set_content("GIF89a", "image/gif");
    });
  }
  QStringList take() {
    QMutexLocker lock(&mutex_);
    return std::exchange(seen_, {});
  }

 private:
  QMutex mutex_;
  QStringList seen_;
};

class PageSites : public testing::AppFolderTest {
 protected:
  // Runs each listed page alone and checks what the servers saw and the log.
  void runEach(const QList<CorpusPage>& pages, const QStringList& wrapper = {}) {
    int checked = 0;
    for (const CorpusPage& page : pages) {
      if (page.name.isEmpty()) continue;
      SCOPED_TRACE(page.name.toStdString());
      QFile::remove(path("QuorvelLog.txt"));
      const testing::Ended e =
          testing::runQuorvel(dir_.path(), {"bench", "http://" + page.at}, 60000, true, wrapper);
      ASSERT_TRUE(e.finished);
      EXPECT_EQ(e.code, 0) << e.out.toStdString() << e.err.toStdString();
      const QStringList want = testing::ExpectedRequests(page);
      EXPECT_EQ(requests_.take(), want);
      QStringList logged;
      for (const QString& l : logLines("QuorvelLog.txt")) {
        if (!l.contains(" bytes ")) continue;
        const QString url = l.mid(l.indexOf(" secs ") + 6);
        logged << url.mid(url.indexOf("://") >= 0 ? url.indexOf("://") + 3 : 0);
      }
      EXPECT_EQ(logged, want);
      ++checked;
    }
    EXPECT_EQ(checked, 4);
  }

  Requests requests_;
};

TEST_F(PageSites, OnLoopbackEveryRequestIsOneThePageNames) {
  HttpTestServer site, cdn, img;
  QList<CorpusPage> pages;
  for (HttpTestServer* s : {&site, &cdn, &img}) requests_.serve(*s, &pages);
  site.start("127.0.0.1");
  cdn.start("127.0.0.2");
  img.start("127.0.0.3");
  pages = testing::CorpusPages(QStringLiteral("127.0.0.1:%1").arg(site.port()),
                               QStringLiteral("127.0.0.2:%1").arg(cdn.port()),
                               QStringLiteral("127.0.0.3:%1").arg(img.port()));
  runEach(pages);
}

TEST_F(PageSites, InANamespaceEveryServerIsReachedByItsName) {
  const QString why = testing::netnsUnavailableReason();
  if (!why.isEmpty()) GTEST_SKIP() << why.toStdString();
  testing::NetnsLab lab;
  ASSERT_TRUE(lab.addNamespace("W"));
  ASSERT_TRUE(
      lab.setHostsFile("W",
                       "127.0.0.1 localhost\n127.0.0.1 www.news.test\n127.0.0.2 cdn.news.test\n"
                       "127.0.0.3 img.example.test\n"));
  const QList<CorpusPage> pages =
      testing::CorpusPages("www.news.test", "cdn.news.test", "img.example.test");
  HttpTestServer server;
  requests_.serve(server, &pages);
  {
    testing::ScopedNetns inside(lab.name("W"));
    ASSERT_TRUE(inside.ok());
    server.start("0.0.0.0", 80);  // every address of the namespace: its loopback alone
  }
  ASSERT_EQ(server.port(), 80);
  runEach(pages, {"ip", "netns", "exec", lab.name("W")});
}

}  // namespace
}  // namespace quorvel
