#include "core/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

#include "core/app_state.h"

namespace quorvel {

namespace {
MessageSink& sink() {
  static MessageSink s;
  return s;
}

bool nobodyToAnswer() {
  if (appState().autoMode) return true;
  const QString platform = QGuiApplication::platformName();
  return platform.isEmpty() || platform == QLatin1String("offscreen") ||
         platform == QLatin1String("minimal");
}
}  // namespace

void setMessageSink(MessageSink s) { sink() = std::move(s); }

void showMessage(QWidget* parent, const QString& title, const QString& text, MsgIcon icon) {
  MessageRecord rec{title, text, icon};
  if (sink()) {
    sink()(rec);
    return;
  }
  if (nobodyToAnswer()) {
    const QByteArray line = (QStringLiteral("Quorvel: ") + (title.isEmpty() ? QString() : title + QStringLiteral(": ")) +
                             QString(text).replace(QLatin1String("\r\n"), QLatin1String(" ")))
                                .toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
    return;
  }
  QMessageBox box(parent);
  box.setWindowTitle(title.isEmpty() ? QStringLiteral("Quorvel") : title);
  box.setText(text);
  switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace quorvel
