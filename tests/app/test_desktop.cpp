// The real program on a desktop of the test's own (Xvfb with openbox), driven with xdotool's
// keys as a person types them: what is typed after erasing the URL box runs and is stored
// exactly; the main window keeps its place and comes back inside the screen.
#include <QProcess>
#include <QTest>

#include "bench/loopback_servers.h"
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

}  // namespace
}  // namespace quorvel
