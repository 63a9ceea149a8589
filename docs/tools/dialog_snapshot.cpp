// Shows the options dialog or the about box and saves a picture of it:
//   dialog_snapshot options|about out.png
// Run it under a real X server (Xvfb) for pictures as a user sees them.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "core/app_state.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_options.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: dialog_snapshot options|about out.png\n");
    return 2;
  }
  const QString which = QString::fromLocal8Bit(argv[1]);
  const QString out = QString::fromLocal8Bit(argv[2]);
  quorvel::resetAppState(QDir::tempPath());

  std::unique_ptr<QDialog> dlg;
  if (which == QLatin1String("options")) {
    quorvel::appState().ProxyUse = 1;
    quorvel::appState().ProxyAddress = QStringLiteral("proxy.local");
    quorvel::appState().ProxyPort = QStringLiteral("3128");
    dlg = std::make_unique<quorvel::frmOptions>();
  } else if (which == QLatin1String("about")) {
    dlg = std::make_unique<quorvel::frmAbout>();
  } else {
    std::fprintf(stderr, "dialog_snapshot: unknown dialog\n");
    return 2;
  }
  dlg->move(40, 40);
  dlg->show();
  int rc = 1;
  QTimer::singleShot(700, [&] {
    rc = dlg->grab().save(out, "PNG") ? 0 : 1;
    app.quit();
  });
  app.exec();
  return rc;
}
