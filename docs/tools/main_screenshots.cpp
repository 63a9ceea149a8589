// The main window at a 12 pt font: while a run goes on (its place in the list and a long
// request's bytes in the status bar), after it, and the last run's failures. Not a test: run
// under Xvfb, e.g.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/docs/tools/main_screenshots docs/screenshots
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/frm_quorvel.h"
#include "bench/frm_run_requests.h"
#include "bench/loopback_servers.h"
#include "common/loopback_port.h"
#include "core/app_state.h"

using quorvel::testing::HttpTestServer;
using quorvel::testing::RawTestServer;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s out-folder\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QFont font = QApplication::font();
  font.setPointSize(12);
  QApplication::setFont(font);

  // A site with a missing image, a page the server does not have, and a long page.
  const quint16 closed = quorvel::testing::freeLoopbackPort();
  HttpTestServer site;
  site.page("/index.htm", "<html><img src=\"logo.gif\"><img src=\"http://127.0.0.1:" +
                              std::to_string(closed) + "/banner.gif\"></html>");
  site.page("/logo.gif", std::string(2400, 'g'), "image/gif");
  site.page("/news.htm", "<html>" + std::string(9000, 'n') + "</html>");
  site.page("/old.htm", "<title>Not Found</title>");
  site.start();
  RawTestServer slow([](int s, const std::string&) {
    RawTestServer::sendAll(s,
                           "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                           "Content-Length: 400000\r\n\r\n");
    for (int i = 0; i < 40; ++i) {
      RawTestServer::sendAll(s, std::string(10000, 'x'));
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  });

  QTemporaryDir home;
  qputenv("QUORVEL_HOME", home.path().toLocal8Bit());
  quorvel::resetAppState(home.path());
  QFile urls(home.path() + "/URLS.DAT");
  if (!urls.open(QIODevice::WriteOnly)) return 1;
  urls.write((site.url("/index.htm") + "\r\n" + site.url("/news.htm") + "\r\n" +
              slow.url("/archive.htm") + "\r\n" + site.url("/old.htm") + "\r\n")
                 .toUtf8());
  urls.close();
  QFile ini(home.path() + "/Quorvel.ini");
  if (!ini.open(QIODevice::WriteOnly)) return 1;
  ini.write("[URLInfo]\nURLFile=URLS.DAT\nUseURLFile=1\nGetImages=1\nGetSounds=0\nLogResults=0\n");
  ini.close();

  quorvel::frmQuorvel w;
  w.move(40, 40);
  w.show();
  int rc = 0;
  const auto save = [&](QWidget& shown, const QString& name) {
    if (!shown.grab().save(out + '/' + name, "PNG")) rc = 1;
  };
  QTimer::singleShot(500, &w, [&] {
    // Taken from inside the run, while the long page comes in.
    QTimer::singleShot(1800, &w, [&] { save(w, QStringLiteral("main-window-run-progress.png")); });
    w.onGoClicked();
    QApplication::processEvents();
    save(w, QStringLiteral("main-window-12pt.png"));
    quorvel::frmRunRequests failures(w.lastRun(), &w);
    failures.move(80, 80);
    failures.show();
    QTimer::singleShot(300, &w, [&] {
      save(failures, QStringLiteral("failure-list.png"));
      app.quit();
    });
    QEventLoop wait;
    QTimer::singleShot(600, &wait, &QEventLoop::quit);
    wait.exec();
  });
  app.exec();
  return rc;
}
