#include "core/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace quorvel {

int twipsToPixels(const QWidget* w, int twips) {
  const QScreen* screen = w ? w->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

void placeTwips(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(twipsToPixels(w, left), twipsToPixels(w, top), twipsToPixels(w, width),
                 twipsToPixels(w, height));
}

void resizeTwips(QWidget* w, int width, int height) {
  w->resize(twipsToPixels(w, width), twipsToPixels(w, height));
}

}  // namespace quorvel
