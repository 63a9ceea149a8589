#include "core/on_screen.h"

#include <QGuiApplication>
#include <QWidget>

namespace quorvel {

bool seenOnScreen(const QWidget* window) {
  static const bool headless = [] {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
  }();
  return !headless && window->isVisible() && !window->isMinimized();
}

}  // namespace quorvel
