#include <QApplication>
#include <QtGlobal>

#include "app/frm_quorvel.h"

int main(int argc, char** argv) {
  // With no display the program still runs (an unattended run from cron or a terminal).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));
  quorvel::frmQuorvel w;
  w.show();
  return QApplication::exec();
}
