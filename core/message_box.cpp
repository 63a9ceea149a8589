#include "core/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "core/app_state.h"

namespace quorvel {

namespace {
MessageSink& sink() {
  static MessageSink s;
  return s;
}

bool& actionAnswer() {
  static bool choose = false;
  return choose;
}

bool nobodyToAnswer() {
  if (appState().autoMode) return true;
  const QString platform = QGuiApplication::platformName();
  return platform.isEmpty() || platform == QLatin1String("offscreen") ||
         platform == QLatin1String("minimal");
}
}  // namespace

void setMessageSink(MessageSink s) {
  sink() = std::move(s);
  if (!sink()) actionAnswer() = false;
}

void setActionAnswer(bool choose) { actionAnswer() = choose; }

namespace {

// Where nobody answers: the sink, or standard error. False when a box is to be shown.
bool passedOn(const MessageRecord& rec) {
  if (sink()) {
    sink()(rec);
    return true;
  }
  if (!nobodyToAnswer()) return false;
  const QByteArray line =
      (QStringLiteral("Quorvel: ") + (rec.title.isEmpty() ? QString() : rec.title + QStringLiteral(": ")) +
       QString(rec.text).replace(QLatin1String("\r\n"), QLatin1String(" ")))
          .toLocal8Bit();
  std::fprintf(stderr, "%s\n", line.constData());
  std::fflush(stderr);
  return true;
}

void prepare(QMessageBox& box, const MessageRecord& rec) {
  box.setWindowTitle(rec.title.isEmpty() ? QStringLiteral("Quorvel") : rec.title);
  box.setText(rec.text);
  switch (rec.icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
}

}  // namespace

bool askMessage(QWidget* parent, const QString& title, const QString& text, MsgIcon icon,
                const QString& action) {
  const MessageRecord rec{title, text, icon, action};
  if (passedOn(rec)) return sink() && actionAnswer();
  QMessageBox box(parent);
  prepare(box, rec);
  QPushButton* act = box.addButton(action, QMessageBox::ActionRole);
  box.addButton(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  return box.clickedButton() == act;
}

void showMessage(QWidget* parent, const QString& title, const QString& text, MsgIcon icon) {
  const MessageRecord rec{title, text, icon, {}};
  if (passedOn(rec)) return;
  QMessageBox box(parent);
  prepare(box, rec);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace quorvel
