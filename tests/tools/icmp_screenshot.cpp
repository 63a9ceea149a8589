// Opens the ping or the trace-route window, runs it against 127.0.0.1 and saves a picture of
// the window: icmp_screenshot ping|tracert OUT.png. Run under a display (e.g. Xvfb).
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/app_state.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: icmp_screenshot ping|tracert OUT.png\n");
    return 2;
  }
  QTemporaryDir home;
  quorvel::resetAppState(home.path());
  const QStringList sources{QStringLiteral("http://127.0.0.1/"), QStringLiteral("localhost")};
  const QString which = QString::fromLocal8Bit(argv[1]);
  std::unique_ptr<QDialog> w;
  if (which == QLatin1String("ping")) {
    auto* p = new quorvel::frmPing(sources);
    w.reset(p);
    p->show();
    QTimer::singleShot(300, p, &quorvel::frmPing::onRunClicked);
  } else {
    auto* t = new quorvel::frmTraceRt(sources);
    w.reset(t);
    t->findChild<QCheckBox*>(QStringLiteral("chkResolve"))->setChecked(true);
    t->show();
    QTimer::singleShot(300, t, &quorvel::frmTraceRt::onRunClicked);
  }
  const QString out = QString::fromLocal8Bit(argv[2]);
  bool saved = false;
  QTimer::singleShot(2500, [&] {
    saved = w->grab().save(out);
    app.quit();
  });
  app.exec();
  return saved ? 0 : 1;
}
