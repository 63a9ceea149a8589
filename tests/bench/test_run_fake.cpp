// Benchmark runs against a fake Internet session: what is fetched, counted, shown and logged.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "app/settings.h"
#include "bench/log_lines.h"
#include "run_test_fixture.h"

namespace quorvel {
namespace {

using testing::FakeClock;
using testing::FakeInternet;
using testing::FakeRunView;
using testing::kRunDate;

const QString k36 = QString(36, QLatin1Char(' '));

class FakeRun : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    env_.clockMicros = [this] { return clock_.micros(); };
    // Status lines and logging happen outside the measured intervals: moving the clock there
    // must not change any time.
    view_.onStatus = [this](const QString&) { clock_.advanceMs(1000); };
  }
  void run() { RunBenchmark(view_, net_, env_); }
  void answer(const QString& url, const QByteArray& body, std::uint32_t openMs = 10,
              std::uint32_t readMs = 20) {
    FakeInternet::Answer a;
    a.body = body;
    a.openMs = openMs;
    a.readMs = readMs;
    net_.answers[url] = a;
  }
  QString fileLine(qint64 bytes, const QString& secs, const QString& url) const {
    return kRunDate + QStringLiteral(" %1 bytes %2 secs ").arg(bytes, 6).arg(secs, 5) + url;
  }

  FakeClock clock_;
  FakeRunView view_;
  FakeInternet net_{&clock_};
};

TEST_F(FakeRun, PageWithImagesEmbedsAndSounds) {
  view_.url = QStringLiteral("http://127.0.0.1/d/p.htm");
  const QByteArray page =
      "<html><IMG SRC=\"b.gif\"><img src=/a.gif><img src='b.gif'><embed src=\"s.mid\">"
      "<bgsound src=\"http://other/x.wav?x=1\"><!-- <img src=\"c.gif\"> -->"
      "<img src=\"javascript:f('x')\"><img src=\"http://h3//p//q.gif\"></html>";
  answer("http://127.0.0.1/d/p.htm", page, 400, 850);
  answer("127.0.0.1/d/a.gif", QByteArray(100, 'a'), 1000, 350);
  answer("127.0.0.1/d/b.gif", QByteArray(200, 'b'));
  answer("127.0.0.1/d/s.mid", QByteArray(300, 's'));
  answer("h3/p/q.gif", QByteArray(1234567, 'q'), 3, 4);
  // other/x.wav has no answer: the fake refuses the connection (12029).
  run();

  EXPECT_EQ(net_.agent, QStringLiteral("Quorvel"));
  EXPECT_EQ(net_.proxy, QString());
  EXPECT_EQ(net_.opened,
            (QStringList{"http://127.0.0.1/d/p.htm", "127.0.0.1/d/a.gif", "127.0.0.1/d/b.gif",
                         "127.0.0.1/d/s.mid", "h3/p/q.gif", "other/x.wav"}));
  // Only the page's body is kept; resources are counted and dropped.
  EXPECT_EQ(net_.readKeptBody, (std::vector<bool>{true, false, false, false, false}));
  EXPECT_EQ(net_.closeInternetCalls, 1);

  const qint64 total = page.size() + 100 + 200 + 300 + 1234567;
  const QString p = QStringLiteral("http://127.0.0.1/d/p.htm");
  EXPECT_EQ(
      logLines("QuorvelLog.txt"),
      (QStringList{
          fileLine(page.size(), "1.2", p), fileLine(100, "1.4", "127.0.0.1/d/a.gif"),
          fileLine(200, "0.0", "127.0.0.1/d/b.gif"), fileLine(300, "0.0", "127.0.0.1/d/s.mid"),
          kRunDate + " 234567 bytes   0.0 secs h3/p/q.gif",
          k36 + "The attempt to connect to the server failed.", " ",
          kRunDate + " URL Summary for 127.0.0.1:", QString(25, ' ') + "Total Files   =          5",
          QString(25, ' ') + "Total Bytes   = " +
              QStringLiteral("%1").arg(formatMask(static_cast<double>(total), "#,##0"), 10),
          QString(25, ' ') + "Total Seconds =          3",
          QString(25, ' ') + "Total Errors  =          1", " "}));
  const qint64 ms = 1250 + 1350 + 30 + 30 + 7;
  RunTotals t;
  t.bytes = total;
  t.micros = ms * 1000;
  t.validUrls = 1;
  t.files = 5;
  t.errors = 1;
  EXPECT_EQ(logLines("QVSum.log"), QStringList{SummaryLine(kRunDate, t)});
  EXPECT_EQ(
      logLines("QVSum.log")[0].mid(14),
      QStringLiteral(" 3705.7 Kbps   2.7 PageAvg%1 Bytes    3 Secs   1 URLS    5 Files   1 Errs")
          .arg(total, 8));
  EXPECT_FALSE(QFile::exists(path("QVURL.log")));
  EXPECT_TRUE(printed_.isEmpty());  // only unattended runs print

  // The window: status steps, totals after every file, the wait cursor around the run.
  EXPECT_EQ(view_.statuses.first(), QStringLiteral("Initializing..."));
  EXPECT_EQ(view_.statuses.mid(1, 4),
            (QStringList{"Connecting to 127.0.0.1", "Retrieving http://127.0.0.1/d/p.htm",
                         "Connecting to 127.0.0.1", "Retrieving 127.0.0.1/d/a.gif"}));
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Done"));
  EXPECT_EQ(view_.busyCalls, (std::vector<bool>{true, false}));
  ASSERT_EQ(view_.totals.size(), 7u);  // blanked at the start, then one per file
  EXPECT_EQ(view_.totals[0].validUrls, QString());
  EXPECT_EQ(view_.totals[1].validUrls, QStringLiteral("1"));
  EXPECT_EQ(view_.totals[1].totalSecs, QStringLiteral("1.3"));  // 1,250 ms, halves away from zero
  EXPECT_EQ(view_.totals[6].totalErrors, QStringLiteral("1"));
  EXPECT_EQ(view_.totals[6].totalBytes, formatMask(static_cast<double>(total), "###,###,##0"));
  EXPECT_EQ(view_.closeCalls, 0);
  EXPECT_TRUE(view_.messages.empty());

  // With images and sounds off only the page is fetched.
  view_.images = view_.sounds = false;
  net_.opened.clear();
  run();
  EXPECT_EQ(net_.opened, QStringList{"http://127.0.0.1/d/p.htm"});
  // Only images on: the embed and the sound are passed over.
  view_.images = true;
  net_.opened.clear();
  run();
  EXPECT_EQ(net_.opened, (QStringList{"http://127.0.0.1/d/p.htm", "127.0.0.1/d/a.gif",
                                      "127.0.0.1/d/b.gif", "h3/p/q.gif"}));
}

TEST_F(FakeRun, FramesOfTheFirstEntryFailingFramesAndImages) {
  view_.useFile = true;
  view_.iterations = QStringLiteral("2 passes");
  writeFile("URLS.DAT", "; my pages\r\nhttp://h/f/index.htm\r\n\r\n  h/other.htm  \r\n");
  answer("http://h/f/index.htm",
         "<frameset><frame src=\"left.htm\"><FRAME  SRC=/right.htm>"
         "<frame src=\"http://h2/top.htm\"><frame src=\"left.htm\"><frame\nsrc=no.htm>"
         "<img src=\"i.gif\"></frameset>");
  answer("h/f/i.gif", "GIF89a");
  answer("h/f/right.htm", "<TITLE>Not Found</TITLE>");  // 991 on a frame: counted nowhere
  answer("h2/top.htm", "<p>top</p>");
  answer("h/other.htm", "<frame src=\"x.htm\"><img src=\"/missing.gif\">");  // not entry 1
  // h/f/left.htm and h/missing.gif are refused (12029).
  run();

  const QStringList pass{"http://h/f/index.htm", "h/f/i.gif",   "h/f/left.htm", "h/f/right.htm",
                         "h2/top.htm",           "h/other.htm", "h/missing.gif"};
  EXPECT_EQ(net_.opened, pass + pass);  // each frame once per pass

  const QStringList sum = logLines("QVSum.log");
  ASSERT_EQ(sum.size(), 1);
  // Per pass: valid index and other; files index, i.gif, top, other; one failing image.
  EXPECT_EQ(sum[0].mid(64), QStringLiteral("   4 URLS    8 Files   2 Errs"));

  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_TRUE(log.contains(kRunDate + " Frame Summary for h/f/left.htm:"));
  EXPECT_TRUE(log.contains(kRunDate + " Frame Summary for h2/top.htm:"));
  EXPECT_TRUE(log.contains(kRunDate + " URL Summary for h:"));
  EXPECT_TRUE(log.contains(kRunDate + "     24 bytes   0.0 secs ERROR on h/f/right.htm"));
  EXPECT_TRUE(log.contains(k36 + "Link not found on server"));
  // The failing frame's block shows no error; the failing image's entry shows one.
  const qsizetype left = log.indexOf(kRunDate + " Frame Summary for h/f/left.htm:");
  EXPECT_EQ(log[left + 4], QString(25, ' ') + "Total Errors  =          0");
  const qsizetype other = log.lastIndexOf(kRunDate + " URL Summary for h:");  // h/other.htm
  EXPECT_EQ(log[other + 1], QString(25, ' ') + "Total Files   =          1");
  EXPECT_EQ(log[other + 4], QString(25, ' ') + "Total Errors  =          1");

  // Images and sounds off: the frames of entry 1 are still fetched.
  view_.images = view_.sounds = false;
  view_.iterations = QStringLiteral("1");
  net_.opened.clear();
  run();
  EXPECT_EQ(net_.opened, (QStringList{"http://h/f/index.htm", "h/f/left.htm", "h/f/right.htm",
                                      "h2/top.htm", "h/other.htm"}));
}

TEST_F(FakeRun, NotFoundPages) {
  view_.useFile = true;
  writeFile("URLS.DAT", "h/a\nh/b\nh/c\n");
  answer("h/a", "<TiTlE>NOT FOUND</title> gone");
  answer("h/b", " <title>not found</title>");  // does not begin with it: a page like any other
  answer("h/c", "<title>not");
  run();
  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_EQ(log[0], fileLine(29, "0.0", "h/a").replace(" h/a", " ERROR on h/a"));
  EXPECT_EQ(log[1], k36 + "Link not found on server");
  EXPECT_EQ(log[2 + 2], QString(25, ' ') + "Total Files   =          0");
  EXPECT_EQ(log[2 + 3], QString(25, ' ') + "Total Bytes   =          0");
  EXPECT_EQ(log[2 + 5], QString(25, ' ') + "Total Errors  =          1");
  // Bytes and times of the failing page are not counted: 25 + 10 bytes in 60 ms.
  EXPECT_EQ(logLines("QVSum.log")[0].mid(14),
            "    4.7 Kbps   0.0 PageAvg      35 Bytes    0 Secs   2 URLS    2 Files   1 Errs");
  EXPECT_EQ(view_.totals.back().validUrls, "2");
  EXPECT_EQ(view_.totals.back().totalBytes, "35");
}

TEST_F(FakeRun, CancelInTheMiddleOfAPage) {
  view_.useFile = true;
  appState().autoMode = true;
  writeFile("URLS.DAT", "h/one.htm\nh/two.htm\n");
  answer("h/one.htm", "<img src=a.gif><img src=b.gif>");
  answer("h/a.gif", "aa");
  answer("h/b.gif", "bb");
  answer("h/two.htm", "two");
  appState().CancelRequested = true;  // left over: the run clears it when it starts
  net_.onRead = [](const QString& url) {
    if (url == "h/a.gif") appState().CancelRequested = true;  // the click comes during the read
  };
  run();
  // The read in progress finishes; nothing after it is fetched.
  EXPECT_EQ(net_.opened, (QStringList{"h/one.htm", "h/a.gif"}));
  EXPECT_EQ(net_.read, (QStringList{"h/one.htm", "h/a.gif"}));
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Cancelled"));
  EXPECT_EQ(logLines("QuorvelLog.txt"),
            (QStringList{fileLine(30, "0.0", "h/one.htm")}));  // no line for a.gif, no block
  EXPECT_TRUE(QFile::exists(path("QVSum.log")));
  EXPECT_TRUE(logLines("QVSum.log").isEmpty());
  EXPECT_TRUE(logLines("QVURL.log").isEmpty());
  EXPECT_TRUE(printed_.isEmpty());
  EXPECT_EQ(net_.closeInternetCalls, 1);
  EXPECT_EQ(view_.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(view_.closeCalls, 1);

  // A click while events are processed before a page's open: that one open still completes.
  net_.opened.clear();
  net_.read.clear();
  net_.onRead = nullptr;
  view_.onProcessEvents = [] { appState().CancelRequested = true; };
  run();
  EXPECT_EQ(net_.opened, QStringList{"h/one.htm"});
  EXPECT_TRUE(net_.read.isEmpty());
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Cancelled"));
  EXPECT_TRUE(logLines("QVSum.log").isEmpty());
}

TEST_F(FakeRun, RunsThatFetchNothingStillWriteTheirSummary) {
  const QString zero =
      kRunDate + "    0.0 Kbps   0.0 PageAvg       0 Bytes    0 Secs   0 URLS    0 Files   0 Errs";
  view_.url = QStringLiteral("h/a");
  for (const char* it : {"0", "none", "-3", "0.4"}) {
    view_.iterations = QString::fromLatin1(it);
    run();
  }
  EXPECT_TRUE(net_.opened.isEmpty());
  EXPECT_EQ(logLines("QVSum.log"), (QStringList{zero, zero, zero, zero}));

  view_.useFile = true;
  view_.iterations = QStringLiteral("32767");  // the most a run does; the list is empty
  writeFile("URLS.DAT", "; only a comment\r\n   \r\n;http://h/\r\n");
  run();
  EXPECT_TRUE(net_.opened.isEmpty());
  EXPECT_EQ(logLines("QVSum.log").size(), 5);
  EXPECT_EQ(logLines("QuorvelLog.txt"), QStringList{});
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(FakeRun, CountsBeyondSixteenBitsAreRefused) {
  view_.url = QStringLiteral("h/a");
  answer("h/a", "a");
  view_.iterations = QStringLiteral("32768");
  run();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].title, QStringLiteral("Oops"));
  EXPECT_EQ(view_.messages[0].text,
            QStringLiteral("Too many iterations! A run does at most 32,767."));
  EXPECT_EQ(view_.messages[0].icon, MsgIcon::Information);
  view_.iterations = QStringLiteral("32767.5");  // rounds to 32,768
  run();
  EXPECT_EQ(view_.messages.size(), 2u);
  EXPECT_TRUE(net_.opened.isEmpty());
  EXPECT_FALSE(QFile::exists(path("QVSum.log")));
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Done"));
  EXPECT_EQ(net_.closeInternetCalls, 2);

  view_.useFile = true;
  view_.iterations = QStringLiteral("1");
  QByteArray many;
  for (int i = 0; i <= 32767; ++i) many += "h/p" + QByteArray::number(i) + "\n";
  writeFile("URLS.DAT", many);
  run();
  ASSERT_EQ(view_.messages.size(), 3u);
  EXPECT_EQ(view_.messages[2].text,
            QStringLiteral("URLS.DAT lists 32,768 URLs; a run takes at most 32,767."));
  EXPECT_TRUE(net_.opened.isEmpty());
  EXPECT_FALSE(QFile::exists(path("QVSum.log")));
}

// One line of URLS.DAT is one URL, however long; a line beyond what a URL may take (a hostile
// file of one endless line) is refused with a message instead of filling the memory.
TEST_F(FakeRun, LongUrlListLinesAreOneUrlEach) {
  view_.useFile = true;
  view_.logging = false;
  const QString longUrl = "http://127.0.0.1/" + QString(200 * 1024, u'q');
  writeFile("URLS.DAT", "h/first\r" + longUrl.toLatin1() + "\r\nh/last\n");
  run();
  EXPECT_EQ(net_.opened, (QStringList{"h/first", longUrl, "h/last"}));

  net_.opened.clear();
  writeFile("URLS.DAT", "h/first\n" + QByteArray(1024 * 1024 + 1, 'x') + "\nh/last\n");
  run();
  EXPECT_TRUE(net_.opened.isEmpty());
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].text,
            QStringLiteral("Line 2 of URLS.DAT is longer than 1,048,576 characters!"));
}

TEST_F(FakeRun, AHostilePageCannotGrowTheListBeyondWhatARunTakes) {
  view_.logging = false;
  view_.images = view_.sounds = false;
  view_.url = QStringLiteral("h/p");
  QByteArray page;
  for (int i = 0; i < 40000; ++i) page += "<frame src=f" + QByteArray::number(i) + ">";
  answer("h/p", page);
  run();
  ASSERT_EQ(net_.opened.size(), 32767);  // the page and the first 32,766 frames
  EXPECT_EQ(net_.opened[1], QStringLiteral("h/f0"));
  EXPECT_EQ(net_.opened.last(), QStringLiteral("h/f32765"));
  EXPECT_EQ(view_.totals.back().validUrls, QStringLiteral("1"));
  EXPECT_EQ(view_.totals.back().totalErrors, QStringLiteral("0"));  // failing frames count nowhere
}

TEST_F(FakeRun, PreparationFailures) {
  appState().autoMode = true;
  view_.useFile = true;
  run();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].title, QStringLiteral("Oops"));
  EXPECT_EQ(view_.messages[0].text, QStringLiteral("Could not locate URLS.DAT file!"));
  EXPECT_EQ(view_.messages[0].icon, MsgIcon::Information);
  EXPECT_EQ(view_.statuses, (QStringList{"Initializing...", "Done"}));
  EXPECT_EQ(view_.closeCalls, 1);  // an unattended run ends the program all the same

  view_.useFile = false;
  view_.url = QStringLiteral("   ");
  run();
  EXPECT_EQ(view_.messages[1].text, QStringLiteral("No URL specified!"));
  EXPECT_EQ(view_.setUrlListCalls, 0);

  view_.url = QStringLiteral("h/a");
  net_.openInternetError = 12004;
  run();
  EXPECT_EQ(
      view_.messages[2].text,
      QStringLiteral("Internet access error code 12004: \r\nAn internal error has occurred."));
  EXPECT_EQ(view_.messages[2].icon, MsgIcon::Information);
  EXPECT_EQ(view_.setUrlListCalls, 0);  // the run ended before the URL list was built
  EXPECT_TRUE(net_.opened.isEmpty());
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{});  // no log opened
  EXPECT_EQ(view_.closeCalls, 3);
  EXPECT_EQ(net_.closeInternetCalls, 3);
}

TEST_F(FakeRun, UrlHistoryAndProxy) {
  AppState& s = appState();
  s.ProxyUse = 1;
  s.ProxyAddress = QStringLiteral("127.0.0.1");
  s.ProxyPort = QStringLiteral("3128");
  for (int k = 1; k <= 10; ++k) s.urlHistory[k] = QStringLiteral("http://u%1/").arg(k);
  s.urlHistory[2].clear();
  view_.url = QStringLiteral("HTTP://U4/");
  answer("HTTP://U4/", "x");
  run();
  EXPECT_EQ(net_.proxy, QStringLiteral("127.0.0.1:3128"));
  const QStringList want{"HTTP://U4/", "http://u1/", "",           "http://u3/", "http://u5/",
                         "http://u6/", "http://u7/", "http://u8/", "http://u9/", "http://u10/"};
  for (int k = 1; k <= 10; ++k) {
    EXPECT_EQ(s.urlHistory[k], want[k - 1]);
    EXPECT_EQ(ReadSetting(s.settingsPath, "URLInfo", QStringLiteral("URL%1").arg(k)).value,
              want[k - 1]);
  }
  EXPECT_TRUE(readFile("Quorvel.ini").contains("URL3="));  // empty entries are written too
  QStringList listed = want;
  listed.removeAll(QString());
  EXPECT_EQ(view_.listEntries, listed);
  EXPECT_EQ(view_.listEdit, QStringLiteral("HTTP://U4/"));

  // A URL not in the history pushes entry 10 out.
  s.ProxyUse = 0;
  view_.url = QStringLiteral("h/new");
  run();
  EXPECT_EQ(net_.proxy, QString());
  EXPECT_EQ(s.urlHistory[1], QStringLiteral("h/new"));
  EXPECT_EQ(s.urlHistory[2], QStringLiteral("HTTP://U4/"));
  EXPECT_EQ(s.urlHistory[10], QStringLiteral("http://u9/"));
}

TEST_F(FakeRun, UnattendedRunLogsAndPrints) {
  appState().autoMode = true;
  view_.useFile = true;
  writeFile("URLS.DAT", "http://127.0.0.1:8080/index.htm\nftp.h/x\n");
  answer("http://127.0.0.1:8080/index.htm", QByteArray(50000, 'x'), 1500, 2500);
  answer("ftp.h/x", "", 0, 0);
  run();
  const QString line =
      kRunDate + "  100.0 Kbps   2.0 PageAvg   50000 Bytes    4 Secs   2 URLS    2 Files   0 Errs";
  EXPECT_EQ(logLines("QVSum.log"), QStringList{line});
  EXPECT_EQ(printed_, QStringList{line});
  EXPECT_EQ(logLines("QVURL.log"),
            (QStringList{kRunDate + "   1 Files  50000 Bytes   4 Secs 127.0.0.1:8080",
                         kRunDate + "   1 Files      0 Bytes   0 Secs ftp.h"}));
  const QStringList log = logLines("QuorvelLog.txt");
  ASSERT_GE(log.size(), 8);
  EXPECT_EQ(
      log.mid(log.size() - 8),
      (QStringList{kRunDate + " Run Summary:", QString(25, ' ') + "Total URLs    =          2",
                   QString(25, ' ') + "Total Files   =          2",
                   QString(25, ' ') + "Total Bytes   =     50,000",
                   QString(25, ' ') + "Total Seconds =          4",
                   QString(25, ' ') + "Total Errors  =          0", QString(51, '-'), " "}));
  EXPECT_EQ(view_.closeCalls, 1);
}

TEST_F(FakeRun, LogsThatCannotBeRotatedOrOpened) {
  view_.url = QStringLiteral("h/a");
  answer("h/a", "a");
  writeFile("QuorvelLog.txt", QByteArray(500001, 'x'));
  ASSERT_TRUE(QDir(dir_.path()).mkdir("QuorvelLog.bak"));  // the copy cannot go there
  ASSERT_TRUE(QDir(dir_.path()).mkdir("QVSum.log"));       // the summary log cannot be opened
  run();
  ASSERT_EQ(view_.messages.size(), 1u);  // one message for the run
  EXPECT_EQ(view_.messages[0].title, QStringLiteral("Oops"));
  EXPECT_EQ(view_.messages[0].text,
            "QuorvelLog.txt could not be copied to QuorvelLog.bak (it is not a regular file); new "
            "results are added to QuorvelLog.txt.\nQVSum.log could not be opened for writing (it "
            "is not a regular file).");
  // The run goes on, and the old log keeps its contents with the new lines after them.
  EXPECT_EQ(net_.opened, QStringList{"h/a"});
  const QByteArray log = readFile("QuorvelLog.txt");
  EXPECT_TRUE(log.startsWith(QByteArray(500001, 'x')));
  EXPECT_TRUE(log.endsWith(" secs h/a\r\n \r\n" + kRunDate.toLatin1() + " URL Summary for h:\r\n" +
                           QByteArray(25, ' ') + "Total Files   =          1\r\n" +
                           QByteArray(25, ' ') + "Total Bytes   =          1\r\n" +
                           QByteArray(25, ' ') + "Total Seconds =          0\r\n" +
                           QByteArray(25, ' ') + "Total Errors  =          0\r\n \r\n"));
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Done"));
}

TEST_F(FakeRun, DebugLog) {
  appState().debug1 = true;
  appState().debug2 = true;
  view_.logging = false;
  view_.url = QStringLiteral("h/p");
  answer("h/p", "<img src=z.gif>\r\n<img src=a.gif>");
  answer("h/z.gif", "z");
  // h/a.gif is refused.
  run();
  EXPECT_FALSE(QFile::exists(path("QuorvelLog.txt")));  // logging off: no result log
  const QStringList lines = logLines("Debug.log");
  const QRegularExpression timed(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d      (\\*\\*\\* .*)$"));
  QStringList texts;
  for (const QString& l : lines) {
    const auto m = timed.match(l);
    texts << (m.hasMatch() ? QStringLiteral("T ") + m.captured(1) : l);
  }
  EXPECT_EQ(texts, (QStringList{"T *** start OpenURL for h/p", "T *** OpenURL returned 0",
                                "T *** start ReadURL for h/p", "T *** ReadURL returned 0",
                                "*** HTML for h/p", "<img src=z.gif>", "<img src=a.gif>",
                                "*** images for h/p", "h/a.gif", "h/z.gif",
                                "T *** start OpenURL for h/a.gif", "T *** OpenURL returned 12029",
                                "T *** start OpenURL for h/z.gif", "T *** OpenURL returned 0",
                                "T *** start ReadURL for h/z.gif", "T *** ReadURL returned 0"}));
  // A later run with a debug flag starts the file anew.
  appState().debug2 = false;
  run();
  EXPECT_EQ(logLines("Debug.log").first(), QStringLiteral("*** HTML for h/p"));
}

// Control characters in a page's references reach the logs percent-encoded, so a page cannot
// end a log line early or add lines of its own.
TEST_F(FakeRun, APageCannotForgeLogLines) {
  appState().autoMode = true;
  appState().debug1 = true;
  view_.url = QStringLiteral("http://h/p.htm");
  const QByteArray forged = "\r\n" + kRunDate.toLatin1() + "    999 bytes   0.1 secs forged/";
  answer("http://h/p.htm", "<img src=\"a" + forged + ".gif\"><frame src=\"http://evil\r\nhost/" +
                               QByteArray("f\0\t\x1b\x7f\x85\xc2.htm", 11) + "\">");
  const QString image = QStringLiteral("h/a") + QString::fromLatin1(forged) + ".gif";
  const QString frame =
      QString::fromLatin1(QByteArray("evil\r\nhost/f\0\t\x1b\x7f\x85\xc2.htm", 22));
  answer(image, "GIF");
  answer(frame, "<p>");
  run();
  ASSERT_EQ(net_.opened, (QStringList{"http://h/p.htm", image, frame}));

  const QString imageLogged = "h/a%0D%0A" + kRunDate + "    999 bytes   0.1 secs forged/.gif";
  const QString frameLogged = QString::fromUtf8("evil%0D%0Ahost/f%00%09%1B%7F%85\u00C2.htm");
  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_TRUE(log.contains(fileLine(3, "0.0", imageLogged))) << log.join('\n').toStdString();
  EXPECT_TRUE(log.contains(kRunDate + " Frame Summary for " + frameLogged + ":"));
  EXPECT_EQ(logLines("QVURL.log").last(),
            kRunDate + "   1 Files      3 Bytes   0 Secs evil%0D%0Ahost");
  const QStringList debug = logLines("Debug.log");
  const qsizetype images = debug.indexOf("*** images for http://h/p.htm");
  ASSERT_GE(images, 0);
  EXPECT_EQ(debug[images + 1], imageLogged);

  // Nothing else a page sent turned into a line: the main and URL logs hold no control
  // character at all, the debug log none outside the page's HTML it shows as received.
  const auto clean = [](const QStringList& lines) {
    for (const QString& l : lines)
      for (const QChar c : l)
        if (c.category() == QChar::Other_Control) return false;
    return true;
  };
  EXPECT_EQ(log.filter("bytes").size(), 3);
  EXPECT_TRUE(clean(log));
  EXPECT_TRUE(clean(logLines("QVURL.log")));
  EXPECT_TRUE(clean(debug.mid(images)));
}

TEST_F(FakeRun, TimesAndCountsBeyondThirtyTwoBits) {
  clock_.now = 0xFFFFFF00LL * 1000;  // well beyond 32 bits of milliseconds
  view_.url = QStringLiteral("h/p");
  answer("h/p", "<img src=big.iso>", 200, 100);
  FakeInternet::Answer big;
  big.bytesOverride = 3'000'000'000LL;
  big.openMs = 1000;
  big.readMs = 2'999'000;
  net_.answers["h/big.iso"] = big;
  run();
  EXPECT_EQ(view_.totals.back().totalBytes, QStringLiteral("3,000,000,017"));
  EXPECT_EQ(view_.totals.back().totalSecs, QStringLiteral("3,000.3"));
  EXPECT_EQ(view_.totals.back().throughput, QStringLiteral("7,999.2 Kbps"));
  EXPECT_EQ(logLines("QVSum.log")[0].mid(14),
            " 7999.2 Kbps3000.3 PageAvg00000017 Bytes 3000 Secs   1 URLS    2 Files   0 Errs");
}

}  // namespace
}  // namespace quorvel
