#include "core/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "core/app_state.h"
#include "core/settings.h"

namespace quorvel {

namespace {
const QString kSection = QStringLiteral("WindowPlace");

// Room for the frame a window manager puts around a window (its title bar and borders), which
// is not known before the window is shown.
constexpr int kFrameAcross = 8;
constexpr int kFrameDown = 32;
}  // namespace

std::optional<QRect> storedWindowPlace(const QString& window) {
  const QStringList parts =
      ReadSetting(appState().settingsPath, kSection, window).value.split(QLatin1Char(','));
  if (parts.size() != 4) return std::nullopt;
  int v[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = parts[i].trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
  }
  if (v[2] <= 0 || v[3] <= 0) return std::nullopt;
  return QRect(v[0], v[1], v[2], v[3]);
}

QRect insideScreen(const QRect& place, const QRect& screen) {
  const int width = std::min(place.width(), screen.width());
  const int height = std::min(place.height(), screen.height());
  const int left = std::clamp(place.left(), screen.left(), screen.left() + screen.width() - width);
  const int top = std::clamp(place.top(), screen.top(), screen.top() + screen.height() - height);
  return QRect(left, top, width, height);
}

void restoreWindowPlace(QWidget* window) {
  const std::optional<QRect> stored = storedWindowPlace(window->objectName());
  if (!stored) return;
  QRect place = *stored;
  const bool fixed = window->minimumSize() == window->maximumSize();
  if (fixed)
    place.setSize(window->size());
  else
    place.setSize(place.size().expandedTo(window->minimumSize()));
  const QScreen* screen = QGuiApplication::screenAt(place.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen)
    place =
        insideScreen(place, screen->availableGeometry().adjusted(0, 0, -kFrameAcross, -kFrameDown));
  window->setGeometry(place);
}

void saveWindowPlace(const QWidget* window) {
  // Never shown, or shown to nobody (an unattended run): nothing to keep.
  if (!window->windowHandle() || appState().autoMode) return;
  const QRect r = window->geometry();
  WriteSetting(
      appState().settingsPath, kSection, window->objectName(),
      QStringLiteral("%1,%2,%3,%4").arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height()));
}

}  // namespace quorvel
