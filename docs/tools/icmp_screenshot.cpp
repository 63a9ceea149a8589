// Opens the ping or the trace-route window, runs it and saves a picture of the window:
//   icmp_screenshot ping|tracert OUT.png [HOST [ipv6|report]]
// HOST defaults to 127.0.0.1; "ipv6" checks "Use IPv6", "report" the trace's "Report" (five
// cycles). The trace resolves names. The window
// stays open $QUORVEL_SCREENSHOT_HOLD_MS ms after the picture (for a screen grab of its own).
// Run under a display (e.g. Xvfb).
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "core/app_state.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: icmp_screenshot ping|tracert OUT.png [HOST [ipv6|report]]\n");
    return 2;
  }
  QTemporaryDir home;
  quorvel::resetAppState(home.path());
  const QStringList sources =
      argc >= 4 ? QStringList{QString::fromLocal8Bit(argv[3])}
                : QStringList{QStringLiteral("http://127.0.0.1/"), QStringLiteral("localhost")};
  const bool ipv6 = argc == 5 && QByteArray(argv[4]) == "ipv6";
  const QString which = QString::fromLocal8Bit(argv[1]);
  std::unique_ptr<quorvel::EchoToolWindow> w;
  if (which == QLatin1String("ping")) {
    w = std::make_unique<quorvel::frmPing>(sources);
  } else {
    w = std::make_unique<quorvel::frmTraceRt>(sources);
    w->findChild<QCheckBox*>(QStringLiteral("chkResolve"))->setChecked(true);
    if (argc == 5 && QByteArray(argv[4]) == "report") {
      w->findChild<QCheckBox*>(QStringLiteral("chkReport"))->setChecked(true);
      w->findChild<QLineEdit*>(QStringLiteral("txtCycles"))->setText(QStringLiteral("5"));
    }
  }
  w->findChild<QCheckBox*>(QStringLiteral("chkUseIPv6"))->setChecked(ipv6);
  w->show();
  QTimer::singleShot(300, w.get(), &quorvel::EchoToolWindow::onRunClicked);

  const QString out = QString::fromLocal8Bit(argv[2]);
  const int hold = qEnvironmentVariableIntValue("QUORVEL_SCREENSHOT_HOLD_MS");
  bool saved = false;
  QTimer done;
  QObject::connect(&done, &QTimer::timeout, [&] {
    if (w->isRunning()) return;
    done.stop();
    QTimer::singleShot(300, [&] {
      saved = w->grab().save(out);
      std::fprintf(stderr, "icmp_screenshot: saved, window open for %d ms\n", hold);
      QTimer::singleShot(hold, &app, &QApplication::quit);
    });
  });
  QTimer::singleShot(600, [&] { done.start(100); });
  app.exec();
  return saved ? 0 : 1;
}
