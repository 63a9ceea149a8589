// The Last Run window's waterfall after a run that loads a page as a browser does over
// HTTP/1.1: more images than the six connections a host gets, so that most of them wait in the
// queue; one image on a port where nothing listens. At the default font and at 12 pt. As root,
// the server sits at the far end of a chain of network namespaces whose first link delays
// what the program sends by 15 ms, so that connecting takes a visible time; otherwise on
// loopback. Not a test: run under Xvfb, e.g.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/docs/tools/waterfall_screenshot docs/screenshots
#include <QApplication>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "app/frm_quorvel.h"
#include "bench/frm_run_requests.h"
#include "bench/loopback_servers.h"
#include "common/loopback_port.h"
#include "core/app_state.h"
#include "tools/netns_lab.h"

using quorvel::testing::HttpTestServer;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s out-folder\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);

  // The lab when it can be built: the server in D, the program in S.
  std::unique_ptr<quorvel::testing::NetnsLab> lab;
  QString why = quorvel::testing::netnsUnavailableReason();
  if (why.isEmpty()) {
    lab = std::make_unique<quorvel::testing::NetnsLab>();
    if (!lab->buildChain(&why) || !lab->shapeFirstLink({15, 0, 0, 1}, &why)) lab.reset();
  }
  if (!lab) std::fprintf(stderr, "on loopback: %s\n", why.toLocal8Bit().constData());
  const std::string host = lab ? "198.51.100.2" : "127.0.0.1";

  const quint16 closed = quorvel::testing::freeLoopbackPort();
  std::string html = "<html><head><link rel=stylesheet href=site.css></head><body>";
  for (int i = 1; i <= 14; ++i) html += "<img src=\"photo" + std::to_string(i) + ".jpg\">";
  html +=
      "<img src=\"http://" + host + ":" + std::to_string(closed) + "/banner.gif\"></body></html>";
  HttpTestServer site;
  // The server thinks a while before each answer, and images come in slowly.
  site.server().Get(R"(/photo\d+\.jpg)", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    res.set_chunked_content_provider("image/jpeg", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= 60'000) {
        sink.done();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const std::string piece(20'000, 'j');
      return sink.write(piece.data(), piece.size());
    });
  });
  site.server().Get("/index.htm", [html](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    res.set_content(html, "text/html");
  });
  site.page("/site.css", "body { margin: 0 }", "text/css");
  if (lab) {
    quorvel::testing::ScopedNetns inD(lab->name("D"));
    site.start(host);
  } else {
    site.start();
  }
  std::unique_ptr<quorvel::testing::ScopedNetns> inS;
  if (lab) inS = std::make_unique<quorvel::testing::ScopedNetns>(lab->name("S"));
  const QString page =
      QStringLiteral("http://%1:%2/index.htm").arg(QString::fromStdString(host)).arg(site.port());

  QTemporaryDir home;
  qputenv("QUORVEL_HOME", home.path().toLocal8Bit());
  quorvel::resetAppState(home.path());
  QFile ini(home.path() + "/Quorvel.ini");
  if (!ini.open(QIODevice::WriteOnly)) return 1;
  ini.write(("[URLInfo]\nURL1=" + page +
             "\nUseURLFile=0\nGetImages=1\nGetSounds=0\nLogResults=0\nBrowserLoad=1\n")
                .toUtf8());
  ini.close();

  quorvel::frmQuorvel w;
  w.move(40, 40);
  w.show();
  int rc = 0;
  const auto take = [&](int pointSize, const QString& name) {
    QFont font = QApplication::font();
    if (pointSize > 0) font.setPointSize(pointSize);
    QApplication::setFont(font);
    quorvel::frmRunRequests dlg(w.lastRun(), &w);
    dlg.findChild<QTabWidget*>(QStringLiteral("tabViews"))->setCurrentIndex(2);
    dlg.move(60, 60);
    dlg.show();
    QEventLoop wait;
    QTimer::singleShot(400, &wait, &QEventLoop::quit);
    wait.exec();
    if (!dlg.grab().save(out + '/' + name, "PNG")) rc = 1;
  };
  QTimer::singleShot(500, &w, [&] {
    w.onGoClicked();
    QApplication::processEvents();
    take(0, QStringLiteral("waterfall.png"));
    take(12, QStringLiteral("waterfall-12pt.png"));
    app.quit();
  });
  app.exec();
  return rc;
}
