#include "core/quiet_qt.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>

namespace quorvel {

namespace {

QtMessageHandler g_previous = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    if (g_previous)
      g_previous(type, context, message);
    else
      std::fprintf(stderr, "%s\n", qPrintable(message));
  }
}

}  // namespace

void InstallQuietQtMessages() {
  if (!qEnvironmentVariableIsEmpty("QT_LOGGING_RULES") ||
      !qEnvironmentVariableIsEmpty("QUORVEL_QT_MESSAGES"))
    return;
  g_previous = qInstallMessageHandler(quietHandler);
}

}  // namespace quorvel
