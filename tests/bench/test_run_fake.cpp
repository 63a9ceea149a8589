// Benchmark runs against a fake Internet session: what is fetched, counted, shown and logged.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "bench/log_lines.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "run_fakes.h"

namespace quorvel {
namespace {

using testing::kRunDate;

const QString k36(36, u' '), k25(25, u' ');

class FakeRun : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    // Status lines and logging lie outside the measured intervals: a clock that moves there
    // must change no time.
    view_.onStatus = [this](const QString&) { net_.now += 1'000'000; };
  }
  void answer(const QString& url, const QByteArray& body, std::uint32_t openMs = 10,
              std::uint32_t readMs = 20) {
    net_.answer(url, body, openMs, readMs);
  }
  static QString fileLine(qint64 bytes, const QString& secs, const QString& url) {
    return kRunDate + QStringLiteral(" %1 bytes %2 secs ").arg(bytes, 6).arg(secs, 5) + url;
  }
};

TEST_F(FakeRun, PageWithImagesEmbedsAndSounds) {
  view_.url = "http://127.0.0.1/d/p.htm";
  const QByteArray page =
      "<html><IMG SRC=\"b.gif\"><img src=/a.gif><img src='b.gif'><embed src=\"s.mid\">"
      "<bgsound src=\"http://other/x.wav?x=1\"><!-- <img src=\"c.gif\"> -->"
      "<img src=\"javascript:f('x')\"><img src=\"http://h3//p//q.gif\"></html>";
  answer("http://127.0.0.1/d/p.htm", page, 400, 850);
  answer("127.0.0.1/a.gif", QByteArray(100, 'a'), 1000, 350);
  answer("127.0.0.1/d/b.gif", QByteArray(200, 'b'));
  answer("127.0.0.1/d/s.mid", QByteArray(300, 's'));
  answer("http://h3//p//q.gif", QByteArray(1234567, 'q'), 3, 4);
  run();  // other/x.wav is refused

  EXPECT_EQ(net_.agent + "|" + net_.proxy, "Quorvel|");
  // Each resource once, in order of its name (root-relative from the server's root, the query
  // kept, "//" in a path kept, with its scheme); only the page's body is kept.
  EXPECT_EQ(net_.opened,
            QStringList({"http://127.0.0.1/d/p.htm", "127.0.0.1/a.gif", "127.0.0.1/d/b.gif",
                         "127.0.0.1/d/s.mid", "http://h3//p//q.gif", "other/x.wav?x=1"}));
  EXPECT_EQ(net_.readKeptBody, (std::vector<bool>{true, false, false, false, false}));
  EXPECT_EQ(net_.closeInternetCalls, 1);
  const qint64 total = page.size() + 100 + 200 + 300 + 1234567;
  EXPECT_EQ(
      logLines("QuorvelLog.txt"),
      QStringList({fileLine(page.size(), "1.2", view_.url), fileLine(100, "1.4", "127.0.0.1/a.gif"),
                   fileLine(200, "0.0", "127.0.0.1/d/b.gif"),
                   fileLine(300, "0.0", "127.0.0.1/d/s.mid"),
                   kRunDate + " 234567 bytes   0.0 secs http://h3//p//q.gif",
                   k36 + "The attempt to connect to the server failed.", " ",
                   kRunDate + " URL Summary for 127.0.0.1:", k25 + "Total Files   =          5",
                   k25 + "Total Bytes   =  " + formatMask(double(total), "#,##0"),
                   k25 + "Total Seconds =          3", k25 + "Total Errors  =          1", " "}));
  EXPECT_EQ(logLines("QVSum.log"),
            QStringList{kRunDate + QStringLiteral(" 3705.7 Kbps   2.7 PageAvg%1 Bytes    3 Secs   "
                                                  "1 URLS    5 Files   1 Errs")
                                       .arg(total, 8)});
  EXPECT_FALSE(QFile::exists(path("QVURL.log")));
  EXPECT_TRUE(printed_.isEmpty());  // only unattended runs print

  // The window: status steps, totals blanked and then after every file, the wait cursor.
  EXPECT_EQ(view_.statuses.mid(0, 3), QStringList({"Initializing...", "Connecting to 127.0.0.1",
                                                   "Retrieving http://127.0.0.1/d/p.htm"}));
  EXPECT_EQ(view_.statuses.last(), "Done");
  EXPECT_EQ(view_.busyCalls, (std::vector<bool>{true, false}));
  ASSERT_EQ(view_.totals.size(), 7u);
  EXPECT_EQ(view_.totals[0].validUrls, "");
  EXPECT_EQ(view_.totals[1].totalSecs, "1.3");  // 1,250 ms, halves away from zero
  EXPECT_EQ(view_.totals[6].totalErrors, "1");
  EXPECT_EQ(view_.closeCalls, 0);
  EXPECT_TRUE(view_.messages.empty());

  // Images off, sounds on, then both off.
  for (const auto& [images, sounds, fetched] :
       {std::tuple{false, true, QStringList{"127.0.0.1/d/s.mid", "other/x.wav?x=1"}},
        std::tuple{true, false,
                   QStringList{"127.0.0.1/a.gif", "127.0.0.1/d/b.gif", "http://h3//p//q.gif"}},
        std::tuple{false, false, QStringList{}}}) {
    view_.images = images;
    view_.sounds = sounds;
    net_.opened.clear();
    run();
    EXPECT_EQ(net_.opened, QStringList{view_.url} + fetched);
  }
}

TEST_F(FakeRun, FramesOfTheFirstEntryFailingFramesAndImages) {
  view_.useFile = true;
  view_.iterations = "2 passes";
  writeFile("URLS.DAT", "; my pages\r\nhttp://h/f/index.htm\r\n\r\n  h/other.htm  \r\n");
  answer("http://h/f/index.htm",
         "<frameset><frame src=\"left.htm\"><FRAME  SRC=/right.htm>"
         "<frame src=\"http://h2/top.htm\"><frame src=\"left.htm\"><frame\nsrc=no.htm>"
         "<img src=\"i.gif\"></frameset>");
  answer("h/f/i.gif", "GIF89a");
  answer("h/right.htm", "<TITLE>Not Found</TITLE>");  // not found on a frame: counted nowhere
  answer("h2/top.htm", "<p>top</p>");
  answer("h/other.htm", "<frame src=\"x.htm\"><img src=\"/missing.gif\">");  // not entry 1
  run();  // h/f/left.htm and h/missing.gif are refused

  // "/right.htm" from the server's root; a line break ends a tag's name as a blank does.
  const QStringList pass{"http://h/f/index.htm", "h/f/i.gif",  "h/f/left.htm", "h/right.htm",
                         "h2/top.htm",           "h/f/no.htm", "h/other.htm",  "h/missing.gif"};
  EXPECT_EQ(net_.opened, pass + pass);  // each frame once a pass
  // A pass: valid index and other; files index, i.gif, top, other; one failing image.
  EXPECT_EQ(logLines("QVSum.log").value(0).mid(64), "   4 URLS    8 Files   2 Errs");
  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_TRUE(log.contains(kRunDate + " Frame Summary for h2/top.htm:"));
  EXPECT_TRUE(log.contains(kRunDate + "     24 bytes   0.0 secs ERROR on h/right.htm"));
  // The failing frame's block shows no error; the failing image's entry shows one.
  const qsizetype left = log.indexOf(kRunDate + " Frame Summary for h/f/left.htm:");
  ASSERT_GE(left, 0);
  EXPECT_EQ(log[left + 4], k25 + "Total Errors  =          0");
  const qsizetype other = log.lastIndexOf(kRunDate + " URL Summary for h:");
  EXPECT_EQ(log[other + 1], k25 + "Total Files   =          1");
  EXPECT_EQ(log[other + 4], k25 + "Total Errors  =          1");

  // Images and sounds off: the frames of entry 1 are still fetched.
  view_.images = view_.sounds = false;
  view_.iterations = "1";
  net_.opened.clear();
  run();
  EXPECT_EQ(net_.opened, QStringList({"http://h/f/index.htm", "h/f/left.htm", "h/right.htm",
                                      "h2/top.htm", "h/f/no.htm", "h/other.htm"}));

  // A hostile page cannot grow the list beyond what a run takes.
  QByteArray frames;
  for (int i = 0; i < 40000; ++i) frames += "<frame src=f" + QByteArray::number(i) + ">";
  view_.useFile = view_.logging = false;
  view_.url = "h/p";
  answer("h/p", frames);
  net_.opened.clear();
  run();
  ASSERT_EQ(net_.opened.size(), 32767);  // the page and its first 32,766 frames
  EXPECT_EQ(net_.opened.last(), "h/f32765");
  EXPECT_EQ(view_.totals.back().totalErrors, "0");  // failing frames count nowhere
}

TEST_F(FakeRun, NotFoundPagesAreErrorsAndTheirBytesCountNowhere) {
  view_.useFile = true;
  writeFile("URLS.DAT", "h/a\rh/b\r\nh/c\n");  // one URL a line, whatever its end
  answer("h/a", "<TiTlE>NOT FOUND</title> gone");
  answer("h/b", " <title>not found</title>");  // does not begin with it: a page like any other
  answer("h/c", "<title>not");
  run();
  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_EQ(log.mid(0, 2), QStringList({kRunDate + "     29 bytes   0.0 secs ERROR on h/a",
                                        k36 + "Link not found on server"}));
  EXPECT_EQ(log.mid(4, 4),
            QStringList({k25 + "Total Files   =          0", k25 + "Total Bytes   =          0",
                         k25 + "Total Seconds =          0", k25 + "Total Errors  =          1"}));
  // 25 + 10 bytes in 60 ms.
  EXPECT_EQ(logLines("QVSum.log").value(0).mid(14),
            "    4.7 Kbps   0.0 PageAvg      35 Bytes    0 Secs   2 URLS    2 Files   1 Errs");
}

TEST_F(FakeRun, CancelEndsTheRunAtTheNextPoint) {
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
  // The read in progress finishes and counts nowhere; nothing after it is fetched.
  EXPECT_EQ(net_.read, QStringList({"h/one.htm", "h/a.gif"}));
  EXPECT_EQ(net_.opened, net_.read);
  EXPECT_EQ(view_.statuses.last(), "Cancelled");
  EXPECT_EQ(logLines("QuorvelLog.txt"), QStringList{fileLine(30, "0.0", "h/one.htm")});
  EXPECT_TRUE(logLines("QVSum.log").isEmpty() && logLines("QVURL.log").isEmpty());
  EXPECT_TRUE(printed_.isEmpty());
  EXPECT_EQ(net_.closeInternetCalls, 1);
  EXPECT_EQ(view_.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(view_.closeCalls, 1);

  // A click while events are processed before a page's open: that open still goes out.
  net_.opened.clear();
  net_.read.clear();
  net_.onRead = nullptr;
  view_.onProcessEvents = [] { appState().CancelRequested = true; };
  run();
  EXPECT_EQ(net_.opened, QStringList{"h/one.htm"});
  EXPECT_TRUE(net_.read.isEmpty());
  EXPECT_EQ(view_.statuses.last(), "Cancelled");
}

// Runs that fetch nothing: refused with a message, or with nothing to do (which still writes a
// summary of zeros).
TEST_F(FakeRun, RunsThatFetchNothing) {
  const QString zeros =
      kRunDate + "    0.0 Kbps   0.0 PageAvg       0 Bytes    0 Secs   0 URLS    0 Files   0 Errs";
  QByteArray many;
  for (int i = 0; i <= 32767; ++i) many += "h/p" + QByteArray::number(i) + "\n";
  struct Case {
    QString iterations;
    QByteArray urlFile;  // null: the URL box "h/a"; "-": no URLS.DAT
    int openError;
    QString said;  // null: nothing said, a summary of zeros
  };
  const Case cases[] = {
      {"none", {}, 0, {}},
      {"0.4", {}, 0, {}},
      {"32767", "; only a comment\r\n   \r\n;http://h/\r\n", 0, {}},
      {"32768", {}, 0, "Too many iterations! A run does at most 32,767."},
      {"32767.5", {}, 0, "Too many iterations! A run does at most 32,767."},
      {"1", many, 0, "URLS.DAT lists 32,768 URLs; a run takes at most 32,767."},
      {"1", "h/first\n" + QByteArray(1024 * 1024 + 1, 'x') + "\nh/last\n", 0,
       "Line 2 of URLS.DAT is longer than 1,048,576 characters!"},
      {"1", "-", 0, "Could not locate URLS.DAT file!"},
      {"1", "   \n", 0, {}},
      {"1", {}, 12004, "Internet access error code 12004: \r\nAn internal error has occurred."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.iterations + " " + c.urlFile.left(20)).toStdString());
    QDir(dir_.path()).removeRecursively();
    QDir().mkpath(dir_.path());
    view_.messages.clear();
    view_.iterations = c.iterations;
    view_.useFile = !c.urlFile.isNull();
    if (view_.useFile && c.urlFile != "-") writeFile("URLS.DAT", c.urlFile);
    view_.url = "h/a";
    net_.openInternetError = c.openError;
    run();
    EXPECT_TRUE(net_.opened.isEmpty());
    EXPECT_EQ(view_.statuses.last(), "Done");
    if (c.said.isNull()) {
      EXPECT_TRUE(view_.messages.empty());
      EXPECT_EQ(logLines("QVSum.log"), QStringList{zeros});
      continue;
    }
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0].title + ": " + view_.messages[0].text, "Oops: " + c.said);
    EXPECT_EQ(view_.messages[0].icon, MsgIcon::Information);
    QStringList files = QDir(dir_.path()).entryList(QDir::Files);
    files.removeAll("URLS.DAT");
    files.removeAll("Quorvel.ini");
    EXPECT_EQ(files, QStringList{}) << "no log opened";
  }
  EXPECT_EQ(net_.closeInternetCalls, int(std::size(cases)));
  view_.useFile = false;
  view_.url = "   ";
  net_.openInternetError = 0;
  view_.setUrlListCalls = 0;
  run();
  EXPECT_EQ(view_.messages.back().text, "No URL specified!");
  EXPECT_EQ(view_.setUrlListCalls, 0);  // the run ended before the URL list was built
  // An unattended run that cannot start ends the program all the same.
  appState().autoMode = true;
  run();
  EXPECT_EQ(view_.closeCalls, 1);
}

TEST_F(FakeRun, UrlHistoryAndProxy) {
  AppState& s = appState();
  s.ProxyUse = 1;
  s.ProxyAddress = "127.0.0.1";
  s.ProxyPort = "3128";
  for (int k = 1; k <= 10; ++k) s.urlHistory[k] = QStringLiteral("http://u%1/").arg(k);
  s.urlHistory[2].clear();
  view_.url = "HTTP://U4/";  // found without regard to case: moved to the top
  run();
  EXPECT_EQ(net_.proxy, "127.0.0.1:3128");
  const QStringList want{"HTTP://U4/", "http://u1/", "",           "http://u3/", "http://u5/",
                         "http://u6/", "http://u7/", "http://u8/", "http://u9/", "http://u10/"};
  for (int k = 1; k <= 10; ++k) {
    EXPECT_EQ(s.urlHistory[k], want[k - 1]);
    EXPECT_EQ(ReadSetting(s.settingsPath, "URLInfo", QStringLiteral("URL%1").arg(k)).value,
              want[k - 1]);
  }
  EXPECT_TRUE(readFile("Quorvel.ini").contains("URL3="));  // empty entries are written too
  EXPECT_EQ(view_.listEntries, QStringList(want).filter("/"));
  EXPECT_EQ(view_.listEdit, "HTTP://U4/");
  // A URL not in the history pushes entry 10 out.
  s.ProxyUse = 0;
  view_.url = "h/new";
  run();
  EXPECT_EQ(net_.proxy, "");
  EXPECT_EQ(s.urlHistory[1] + " " + s.urlHistory[2] + " " + s.urlHistory[10],
            "h/new HTTP://U4/ http://u9/");
}

TEST_F(FakeRun, DebugLog) {
  appState().debug1 = appState().debug2 = true;
  view_.logging = false;
  view_.url = "h/p";
  answer("h/p", "<img src=z.gif>\r\n<img src=a.gif>");
  answer("h/z.gif", "z");
  run();                                                // h/a.gif is refused
  EXPECT_FALSE(QFile::exists(path("QuorvelLog.txt")));  // logging off: no result log
  QStringList texts = logLines("Debug.log");
  texts.replaceInStrings(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d      \\*\\*\\* "), "T ");
  EXPECT_EQ(
      texts,
      QStringList({"T start OpenURL for h/p", "T OpenURL returned 0", "T start ReadURL for h/p",
                   "T ReadURL returned 0", "*** HTML for h/p", "<img src=z.gif>", "<img src=a.gif>",
                   "*** images for h/p", "h/a.gif", "h/z.gif", "T start OpenURL for h/a.gif",
                   "T OpenURL returned 12029", "T start OpenURL for h/z.gif",
                   "T OpenURL returned 0", "T start ReadURL for h/z.gif", "T ReadURL returned 0"}));
  // A later run with a debug flag starts the file anew.
  appState().debug2 = false;
  run();
  EXPECT_EQ(logLines("Debug.log").first(), "*** HTML for h/p");
}

// Control characters in a page's references never reach the logs: line breaks and tabs are
// no part of an address, other controls and blanks are percent-encoded, so a page cannot end a
// log line early or add lines of its own.
TEST_F(FakeRun, APageCannotForgeLogLines) {
  appState().autoMode = appState().debug1 = true;
  view_.url = "http://h/p.htm";
  const QByteArray forged = "\r\n" + kRunDate.toLatin1() + "    999 bytes   0.1 secs forged/";
  answer(view_.url, "<img src=\"a" + forged + ".gif\"><frame src=\"http://evil\r\nhost/" +
                        QByteArray("f\0\t\x1b\x7f\x85\xc2.htm", 11) + "\">");
  const QString image = "h/a" + QString(kRunDate).replace(" ", "%20") +
                        "%20%20%20%20999%20bytes%20%20%200.1%20secs%20forged/.gif";
  const QString frame = "evilhost/f%EF%BF%BD%1B%7F%85%C2.htm";  // NUL is U+FFFD in HTML
  answer(image, "GIF");
  answer(frame, "<p>");
  run();
  ASSERT_EQ(net_.opened, QStringList({view_.url, image, frame}));

  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_TRUE(log.contains(fileLine(3, "0.0", image))) << log.join('\n').toStdString();
  EXPECT_TRUE(log.contains(kRunDate + " Frame Summary for " + frame + ":"));
  EXPECT_EQ(logLines("QVURL.log").last(), kRunDate + "   1 Files      3 Bytes   0 Secs evilhost");
  const QStringList debug = logLines("Debug.log");
  const qsizetype images = debug.indexOf("*** images for http://h/p.htm");
  ASSERT_GE(images, 0);
  EXPECT_EQ(debug[images + 1], image);
  EXPECT_EQ(printed_, logLines("QVSum.log"));  // an unattended run prints its summary line
  // No line holds a control character (the debug log's copy of the page's HTML aside).
  EXPECT_EQ(log.filter("bytes").size(), 3);
  for (const QStringList& lines : {log, logLines("QVURL.log"), debug.mid(images)})
    for (const QString& l : lines)
      for (const QChar c : l) EXPECT_NE(c.category(), QChar::Other_Control) << l.toStdString();
}

TEST_F(FakeRun, TimesAndCountsBeyondThirtyTwoBits) {
  net_.now = 0xFFFFFF00LL * 1000;  // well beyond 32 bits of milliseconds
  view_.url = "h/p";
  answer("h/p", "<img src=big.iso>", 200, 100);
  net_.answers["h/big.iso"] = {{}, 1000, 2'999'000, 3'000'000'000LL};
  run();
  EXPECT_EQ(view_.totals.back().totalBytes + " " + view_.totals.back().totalSecs + " " +
                view_.totals.back().throughput,
            "3,000,000,017 3,000.3 7,999.2 Kbps");
  EXPECT_EQ(logLines("QVSum.log")[0].mid(14),
            " 7999.2 Kbps3000.3 PageAvg00000017 Bytes 3000 Secs   1 URLS    2 Files   0 Errs");
}

}  // namespace
}  // namespace quorvel
