// The real program on a desktop of the test's own (Xvfb with openbox), driven with xdotool's
// keys as a person types them: what is typed after erasing the URL box runs and is stored
// exactly; the main window keeps its place and comes back inside the screen.
#include <QProcess>
#include <QTest>

#include "bench/loopback_servers.h"
#include "bench/waterfall_view.h"
#include "common/ftp_server.h"
#include "common/loopback_port.h"
#include "common/test_support.h"
#include "common/x_session.h"
#include "core/settings.h"

namespace quorvel {
namespace {

class Desktop : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    if (!x_.ok()) GTEST_SKIP() << "needs Xvfb, openbox and xdotool";
  }
  void TearDown() override {
    if (quorvel_.state() != QProcess::NotRunning) {
      quorvel_.kill();
      quorvel_.waitForFinished(10000);
    }
    AppFolderTest::TearDown();
  }
  QString setting(const char* section, const char* key) const {
    return ReadSetting(path("Quorvel.ini"), section, key).value;
  }
  // Starts the program and gives its main window the focus.
  QString start() {
    x_.startQuorvel(quorvel_, dir_.path());
    const QString id = x_.waitForWindow("^Quorvel$");
    if (!id.isEmpty()) x_.xdotool({"windowactivate", "--sync", id});
    QTest::qWait(300);
    return id;
  }
  bool closeAndWait(const QString& id) {
    x_.xdotool({"windowactivate", "--sync", id});
    x_.keys({"alt+F4"});
    return quorvel_.waitForFinished(20000);
  }
  testing::XSession x_;
  QProcess quorvel_;
};

TEST_F(Desktop, ErasedThenTypedUrlRunsAndIsStoredExactly) {
  testing::HttpTestServer server;
  for (const char* page : {"/main.htm", "/news.htm", "/typed.htm"})
    server.page(page, std::string("<html>") + page + "</html>");
  server.start();
  writeFile("Quorvel.ini",
            ("[URLInfo]\nURL1=" + server.url("/main.htm") + "\nURL2=" + server.url("/news.htm") +
             "\nLogResults=1\nGetImages=0\nGetSounds=0\nUseURLFile=0\n")
                .toUtf8());
  const QString id = start();
  ASSERT_FALSE(id.isEmpty());
  // To the URL box with Tab (after the five check boxes and the iterations, in reading order),
  // then erase it all and type the new URL over what the erasing brings up, and press Enter.
  x_.keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "ctrl+a", "BackSpace"});
  x_.type(server.url("/typed.htm"));
  x_.keys({"Return"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return server.targets().contains("/typed.htm"); }, 20000))
      << server.targets().join(' ').toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return readFile("QVSum.log").size() > 0; }, 20000));
  EXPECT_EQ(setting("URLInfo", "URL1"), server.url("/typed.htm"));
  EXPECT_EQ(setting("URLInfo", "URL2"), server.url("/news.htm"));  // main.htm was erased
  EXPECT_EQ(server.targets(), QStringList{"/typed.htm"});
  EXPECT_TRUE(closeAndWait(id));
}

TEST_F(Desktop, TheMainWindowKeepsItsPlaceInsideTheScreen) {
  QString id = start();
  ASSERT_FALSE(id.isEmpty());
  const QRect laidOut = x_.geometry(id);
  x_.xdotool({"windowsize", "--sync", id, QString::number(laidOut.width() + 150),
              QString::number(laidOut.height() + 40)});
  x_.xdotool({"windowmove", "--sync", id, "200", "150"});
  QTest::qWait(300);
  const QRect moved = x_.geometry(id);
  EXPECT_EQ(moved.size(), laidOut.size() + QSize(150, 40));
  ASSERT_TRUE(closeAndWait(id));
  const QStringList kept = setting("WindowPlace", "frmQuorvel").split(',');
  ASSERT_EQ(kept.size(), 4) << kept.join(',').toStdString();
  EXPECT_EQ(QSize(kept[2].toInt(), kept[3].toInt()), moved.size());
  EXPECT_NEAR(kept[0].toInt(), moved.x(), 12);
  EXPECT_NEAR(kept[1].toInt(), moved.y(), 40);

  // Back where it was left; then, from a place beyond this screen, inside it.
  id = start();
  ASSERT_FALSE(id.isEmpty());
  EXPECT_EQ(x_.geometry(id).size(), moved.size());
  EXPECT_NEAR(x_.geometry(id).x(), moved.x(), 12);
  ASSERT_TRUE(closeAndWait(id));
  WriteSetting(path("Quorvel.ini"), "WindowPlace", "frmQuorvel", "3000,2500,700,400");
  id = start();
  ASSERT_FALSE(id.isEmpty());
  QRect back = x_.geometry(id);
  QTest::qWait(600);
  back = x_.geometry(id);
  EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(back))
      << back.x() << "," << back.y() << " " << back.width() << "x" << back.height();
  EXPECT_TRUE(closeAndWait(id));
}

// An Escape pressed while the FTP window downloads is not kept to close the window when the
// transfer ends. The file comes from a loopback server that sends 100,000 bytes a second.
TEST_F(Desktop, AnEscapeDuringAnFtpTransferIsNotKept) {
  testing::FtpServer ftp;
  ftp.addFile("pub/f.bin", QByteArray(250000, 'f'));
  ASSERT_TRUE(ftp.startScript(R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
ThrottledDTPHandler.write_limit = 100000
FTPHandler.authorizer = DummyAuthorizer()
FTPHandler.authorizer.add_anonymous(sys.argv[2])
FTPHandler.dtp_handler = ThrottledDTPHandler
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)")) << ftp.log().constData();
  writeFile("Quorvel.ini",
            QStringLiteral("[FTP]\nFile1=127.0.0.1:%1/pub/f.bin\n").arg(ftp.port()).toUtf8());
  const QString main = start();
  ASSERT_FALSE(main.isEmpty());
  x_.keys({"alt+t", "f"});
  const QString window = x_.waitForWindow("^Quorvel - FTP$");
  ASSERT_FALSE(window.isEmpty());
  x_.xdotool({"windowactivate", "--sync", window});
  x_.keys({"Return"});  // Run, with the recent file in the box
  QTest::qWait(1000);
  x_.keys({"Escape"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return readFile("Quorvel.ini").contains("File10="); }, 20000))
      << "the transfer did not succeed: " << readFile("Quorvel.ini").constData();
  QTest::qWait(800);
  EXPECT_FALSE(x_.xdotool({"search", "--onlyvisible", "--name", "^Quorvel - FTP$"}).isEmpty());
  x_.keys({"Escape"});  // now it closes
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return x_.xdotool({"search", "--onlyvisible", "--name", "^Quorvel - FTP$"}).isEmpty();
      },
      10000));
  EXPECT_TRUE(closeAndWait(main));
}

// Typed key by key in the FTP window, a file whose name begins another one of the list runs as
// typed (the list keeps what ran, exactly); and after a run with a failure, File > Last run's
// requests... opens the failure list.
TEST_F(Desktop, TypedFtpFileRunsAsTypedAndTheFailureListOpens) {
  testing::FtpServer ftp;
  ftp.addFile("pub/a", QByteArray(100, 'a'));
  ftp.addFile("pub/abc.bin", QByteArray(100, 'b'));
  ASSERT_TRUE(ftp.start()) << ftp.log().constData();
  const QString listed = QStringLiteral("127.0.0.1:%1/pub/abc.bin").arg(ftp.port());
  const QString typed = QStringLiteral("127.0.0.1:%1/pub/a").arg(ftp.port());
  writeFile("Quorvel.ini", ("[FTP]\nFile1=" + listed + "\n[URLInfo]\nURL1=127.0.0.1:" +
                            QString::number(testing::freeLoopbackPort()) +
                            "/gone.htm\nLogResults=0\nUseURLFile=0\n")
                               .toUtf8());
  const QString main = start();
  ASSERT_FALSE(main.isEmpty());
  x_.keys({"alt+t", "f"});
  const QString window = x_.waitForWindow("^Quorvel - FTP$");
  ASSERT_FALSE(window.isEmpty());
  x_.xdotool({"windowactivate", "--sync", window});
  x_.keys({"ctrl+a", "BackSpace"});
  x_.type(typed);
  x_.keys({"Return"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("FTP", "File1") == typed; }, 20000))
      << setting("FTP", "File1").toStdString();
  x_.keys({"Escape"});

  // A run of the URL in the box (nothing listens there), then the failure list.
  x_.xdotool({"windowactivate", "--sync", main});
  x_.keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Return"});
  QTest::qWait(1500);
  x_.keys({"alt+f", "r"});
  const QString failures = x_.waitForWindow("^Quorvel - Last Run$");
  EXPECT_FALSE(failures.isEmpty());
  x_.keys({"Escape"});
  EXPECT_TRUE(closeAndWait(main));
}

// A page loaded as a browser does, run from the main window, then its waterfall in the Last
// Run window, reached by keys and clicked: a bar for every request, those that waited for one
// of the host's six connections queued, the page's load line through the rows.
TEST_F(Desktop, TheWaterfallOfABrowserLoad) {
  testing::HttpTestServer server;
  std::string html = "<html><body>";
  for (int i = 1; i <= 10; ++i) html += "<img src=\"p" + std::to_string(i) + ".png\">";
  server.page("/index.htm", html + "</body></html>");
  server.server().Get(R"(/p\d+\.png)", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    res.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= 30'000) {
        sink.done();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const std::string piece(10'000, 'p');
      return sink.write(piece.data(), piece.size());
    });
  });
  server.start();
  writeFile("Quorvel.ini", ("[URLInfo]\nURL1=" + server.url("/index.htm") +
                            "\nUseURLFile=0\nGetImages=1\nLogResults=0\nBrowserLoad=1\n")
                               .toUtf8());
  const QString main = start();
  ASSERT_FALSE(main.isEmpty());
  x_.keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Return"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return server.targets().size() >= 12; }, 20000))
      << server.targets().join(' ').toStdString();
  QTest::qWait(1000);
  x_.keys({"alt+f", "r"});
  const QString window = x_.waitForWindow("^Quorvel - Last Run$");
  ASSERT_FALSE(window.isEmpty());
  x_.xdotool({"windowactivate", "--sync", window});
  // From the failure list to the third tab, then a click on the list's last row.
  x_.keys({"ctrl+Tab", "ctrl+Tab"});
  QTest::qWait(400);
  const QImage before = x_.grab(window);
  ASSERT_FALSE(before.isNull());
  x_.xdotool({"mousemove", "--window", window, QString::number(before.width() / 4),
              QString::number(before.height() / 2), "click", "1"});
  QTest::qWait(400);
  const QImage shot = x_.grab(window);
  ASSERT_FALSE(shot.isNull());

  // The rows that show a bar of the colour (4 pixels across or more, on 5 lines or more: no
  // frame or rule), less the legend's swatch. The row that has the focus is a little tinted.
  const auto near = [](const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 16 && std::abs(a.green() - b.green()) <= 16 &&
           std::abs(a.blue() - b.blue()) <= 16;
  };
  const auto rowsWith = [&](const QColor& color) {
    int rows = 0, band = 0;
    for (int y = 0; y <= shot.height(); ++y) {
      int run = 0, longest = 0;
      for (int x = 0; y < shot.height() && x < shot.width(); ++x) {
        run = near(shot.pixelColor(x, y), color) ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      if (longest >= 4) {
        ++band;
        continue;
      }
      if (band >= 5) ++rows;
      band = 0;
    }
    return rows - 1;
  };
  // Ten images, each a while in coming; the page and the icon the server does not have come
  // at once. Eleven files for six connections: some waited for one.
  const int receiving = rowsWith(PhaseColor(Phase::Receive));
  EXPECT_GE(receiving, 10);
  EXPECT_LE(receiving, 12);
  EXPECT_GE(rowsWith(PhaseColor(Phase::Wait)), 10);
  EXPECT_GE(rowsWith(PhaseColor(Phase::Queued)), 4);
  // The load line runs down through the rows.
  int longestLine = 0;
  for (int x = 0; x < shot.width(); ++x) {
    int run = 0;
    for (int y = 0; y < shot.height(); ++y) {
      run = shot.pixelColor(x, y) == LoadColor() ? run + 1 : 0;
      longestLine = std::max(longestLine, run);
    }
  }
  EXPECT_GT(longestLine, 100);
  x_.keys({"Escape"});
  EXPECT_TRUE(closeAndWait(main));
}

}  // namespace
}  // namespace quorvel
