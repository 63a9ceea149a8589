// Shows the FTP window after a download from a loopback server and saves a picture of it.
// Not a test: run under Xvfb, e.g.
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/docs/tools/ftp_screenshot out.png
#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "core/app_state.h"
#include "tools/frm_ftp.h"
#include "tools/ftp_curl.h"
#include "common/ftp_server.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
    return 2;
  }
  QTemporaryDir home;
  quorvel::resetAppState(home.path());

  quorvel::testing::FtpServer server;
  server.addFile(QStringLiteral("pub/sample/data-4MB.bin"), QByteArray(4 * 1024 * 1024, 'Q'));
  if (!server.start()) {
    std::fprintf(stderr, "the FTP server did not start: %s\n", server.log().constData());
    return 1;
  }

  quorvel::frmFTP w;
  w.setClient(std::make_unique<quorvel::CurlFtpClient>(quorvel::FtpTimeouts{5, 5}));
  w.move(40, 40);
  w.show();
  auto* combo = w.findChild<QComboBox*>(QStringLiteral("cboRemoteFile"));
  combo->setEditText(QStringLiteral("127.0.0.1:%1/pub/sample/data-4MB.bin").arg(server.port()));
  w.onRunClicked();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(25);
  }
  const QRect frame = w.frameGeometry();
  const QPixmap shot =
      w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
