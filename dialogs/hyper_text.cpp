#include "dialogs/hyper_text.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include "core/message_box.h"
#include "dialogs/link_target.h"
#include "dialogs/url_opener.h"

namespace quorvel {

HyperText::HyperText(QObject* parent) : QObject(parent) {}

void HyperText::CreateHyper(QLabel* obj) {
  if (mlblTarget) mlblTarget->removeEventFilter(this);
  mlblTarget = obj;
  if (!obj) return;
  QFont font = obj->font();
  font.setUnderline(true);
  obj->setFont(font);
  obj->setCursor(Qt::PointingHandCursor);
  obj->setFocusPolicy(Qt::StrongFocus);
  obj->installEventFilter(this);
  showColor();
}

void HyperText::showColor() {
  if (!mlblTarget) return;
  const QPalette& window = mlblTarget->window()->palette();
  const bool dark = window.color(QPalette::Window).lightness() < 128;
  if (dark)
    setLabelColor(window.color(visited_ ? QPalette::LinkVisited : QPalette::Link));
  else
    setLabelColor(visited_ ? visitedColor_ : linkColor_);
}

void HyperText::setLabelColor(const QColor& color) {
  if (!mlblTarget) return;
  QPalette palette = mlblTarget->palette();
  palette.setColor(QPalette::WindowText, color);
  mlblTarget->setPalette(palette);
}

void HyperText::onLabelClicked() {
  if (!mlblTarget) return;
  const QString target = linkTarget(mlblTarget->text());
  const bool mail = isMailTarget(target);
  openUrlWithDesktop(linkUrl(target), this, [this, mail](bool ok) { opened(ok, mail); });
}

void HyperText::opened(bool ok, bool mail) {
  if (!mlblTarget) return;
  if (ok) {
    visited_ = true;
    showColor();
    return;
  }
  showMessage(mlblTarget->window(), QStringLiteral("Error"),
              mail ? QStringLiteral("Could not start e-mail program!")
                   : QStringLiteral("Could not start browser!"),
              MsgIcon::Critical);
}

bool HyperText::eventFilter(QObject* watched, QEvent* event) {
  // The event type is tested first: while the label is being destroyed it still sends events
  // here, and looking at the guarded pointer then would treat a half-destroyed QWidget as a
  // QLabel.
  if (event->type() == QEvent::MouseButtonRelease && watched == mlblTarget) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        mlblTarget->rect().contains(mouse->position().toPoint())) {
      onLabelClicked();
      return true;
    }
  } else if (event->type() == QEvent::KeyPress && watched == mlblTarget) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      onLabelClicked();
      return true;
    }
  } else if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) &&
             watched == mlblTarget) {
    // The focus shows as a frame around the link.
    mlblTarget->setFrameShape(mlblTarget->hasFocus() ? QFrame::Box : QFrame::NoFrame);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvel

