// Runs that load each page as a browser loads it, over a fake loader: what is counted, logged
// and reported, and where the choice comes from.
#include <gtest/gtest.h>

#include "bench/browser_loader.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "run_fakes.h"

namespace quorvel {
namespace {

using testing::kRunDate;

LoadedFile file(const char* url, long status, std::int64_t start, std::int64_t end,
                std::int64_t bytes, bool page = false, int depth = 0, int error = 0) {
  LoadedFile f;
  f.url = url;
  f.page = page;
  f.depth = depth;
  f.status = status;
  f.error = error;
  f.start = start;
  f.end = end;
  f.wireBytes = bytes;
  f.decodedBytes = bytes * 2;
  f.httpVersion = "1.1";
  f.wait = (end - start) / 2;
  f.receive = end - start - f.wait;
  return f;
}

// Answers every page with the same files; counts the loads.
class FakeLoader final : public BrowserLoader {
 public:
  BrowserLoad answer;
  QStringList loaded;
  bool cancelOnPump = false;
  BrowserLoad load(const QString& pageUrl, const std::function<bool()>& pump) override {
    loaded << pageUrl;
    BrowserLoad l = answer;
    if (cancelOnPump) l.cancelled = !pump();
    return l;
  }
};

class BrowserRun : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    env_.browserLoader = &loader_;
    view_.url = "http://h/p.htm";
    // The page, its stylesheet and script side by side, an image after, a missing font, a
    // frame that fails and a file that never got an answer: the load ends at 900 ms.
    loader_.answer.files = {file("http://h/p.htm", 200, 0, 100'000, 1000, true),
                            file("http://h/s.css", 200, 100'000, 300'000, 2000),
                            file("http://h/a.js", 200, 100'000, 400'000, 3000),
                            file("http://h/i.png", 200, 300'000, 900'000, 4000),
                            file("http://h/f.woff2", 404, 300'000, 350'000, 50),
                            file("http://h/fr.htm", 500, 100'000, 200'000, 10, true, 1),
                            file("http://h/x.gif", 0, 100'000, 150'000, 0, false, 0, 12029)};
    loader_.answer.loadTime = 900'000;
    env_.onRequest = [this](const RequestRecord& r) { records_.push_back(r); };
  }
  static QString fileLine(qint64 bytes, const QString& secs, const QString& url) {
    return kRunDate + QStringLiteral(" %1 bytes %2 secs ").arg(bytes, 6).arg(secs, 5) + url;
  }
  void setMode(const char* value) {
    ASSERT_TRUE(WriteSetting(appState().settingsPath, QStringLiteral("URLInfo"),
                             QStringLiteral("BrowserLoad"), QString::fromLatin1(value)));
  }
  FakeLoader loader_;
  std::vector<RequestRecord> records_;
};

TEST_F(BrowserRun, EachFileItsOwnLineThePageItsLoadTime) {
  setMode("1");
  view_.iterations = "2";
  run();
  EXPECT_EQ(loader_.loaded, QStringList({"http://h/p.htm", "http://h/p.htm"}));
  EXPECT_TRUE(net_.opened.isEmpty());  // nothing through the page-at-a-time session
  const QStringList log = logLines("QuorvelLog.txt");
  ASSERT_GE(log.size(), 7);
  EXPECT_EQ(log[0], fileLine(1000, "0.1", "http://h/p.htm"));
  EXPECT_EQ(log[3], fileLine(4000, "0.6", "http://h/i.png"));
  EXPECT_EQ(log[4], kRunDate + "     50 bytes   0.0 secs ERROR on http://h/f.woff2");
  // Per pass: 4 files, 10,000 bytes; the missing font and the file without an answer are
  // errors, the failed frame is not (as in a run of pages); 0.9 s, not the 1.4 s of the files:
  // 20,000 bytes x 8 / 1.8 s.
  EXPECT_EQ(logLines("QVSum.log"),
            QStringList{kRunDate + "   88.9 Kbps   0.9 PageAvg   20000 Bytes    2 Secs   2 URLS "
                                   "   8 Files   4 Errs"});
  ASSERT_EQ(records_.size(), 14u);
  EXPECT_EQ(records_[0].kind, RequestRecord::Kind::Page);
  EXPECT_EQ(records_[0].pageLoadMicros, 900'000);
  EXPECT_EQ(records_[5].kind, RequestRecord::Kind::Frame);
  EXPECT_EQ(records_[1].pageLoadMicros, -1);
  EXPECT_EQ(records_[4].error, 991);
  EXPECT_EQ(records_[5].error, 500);
  EXPECT_EQ(records_[3].details.httpVersion, "HTTP/1.1");
}

TEST_F(BrowserRun, DebugLogSaysTheModeAndListsTheFiles) {
  setMode("1");
  appState().debug1 = true;
  run();
  appState().debug1 = false;
  const QStringList log = logLines("Debug.log");
  ASSERT_FALSE(log.isEmpty());
  EXPECT_EQ(log[0], "*** mode browser");
  EXPECT_TRUE(log.contains("http://h/fr.htm"));
}

TEST_F(BrowserRun, TheRealLoaderKeepsTheRequestLimitAndTheProxy) {
  ASSERT_TRUE(WriteSetting(appState().settingsPath, "URLInfo", "RequestLimit", "2.5"));
  const BrowserLoadOptions o = RunBrowserLoadOptions(appState().settingsPath, "proxy.test:8080");
  EXPECT_EQ(o.transferLimit.count(), 2500);
  EXPECT_EQ(o.idleTimeout.count(), 60000);
  EXPECT_EQ(o.proxy, "proxy.test:8080");
}

TEST_F(BrowserRun, TheSettingChoosesTheMode) {
  const struct {
    const char* value;
    bool browser;
  } cases[] = {{"1", true}, {" 1 ", true}, {"0", false}, {"", false}, {"yes", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    setMode(c.value);
    loader_.loaded.clear();
    net_.opened.clear();
    net_.answer("http://h/p.htm", "<html></html>");
    run();
    EXPECT_EQ(loader_.loaded.size(), c.browser ? 1 : 0);
    EXPECT_EQ(net_.opened.size(), c.browser ? 0 : 1);
  }
}

TEST_F(BrowserRun, CancelDuringALoadEndsTheRun) {
  setMode("1");
  view_.useFile = true;
  writeFile("URLS.DAT", "http://h/a.htm\r\nhttp://h/b.htm\r\n");
  loader_.cancelOnPump = true;
  view_.onProcessEvents = [] { appState().CancelRequested = true; };
  run();
  EXPECT_EQ(loader_.loaded, QStringList{"http://h/a.htm"});
  EXPECT_TRUE(logLines("QVSum.log").isEmpty());
  EXPECT_EQ(view_.statuses.last(), "Cancelled");
}

}  // namespace
}  // namespace quorvel
