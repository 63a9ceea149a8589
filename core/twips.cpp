#include "core/twips.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "core/value_box.h"

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

namespace {

// The controls a window placed itself: its direct children, and those of a frame or group
// box without a layout; never the parts of a compound widget.
QList<QWidget*> placedControls(const QWidget* container) {
  QList<QWidget*> out;
  for (QWidget* w : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isWindow()) continue;
    out << w;
    const bool frame =
        w->metaObject()->className() == QByteArray("QFrame") || qobject_cast<QGroupBox*>(w);
    if (frame && !w->layout()) out << placedControls(w);
  }
  return out;
}

double ratio(int needed, int given) {
  return given > 0 && needed > given ? static_cast<double>(needed) / given : 1.0;
}

bool sameLine(const QRect& a, const QRect& b) {
  return a.top() <= b.bottom() && b.top() <= a.bottom();
}

// A caption may grow into the free space beside it: a right-aligned one to its left, up to
// the control before it; any other to its right, up to the control after it (or the edge).
bool growsLeft(const QWidget* w) {
  const auto* l = qobject_cast<const QLabel*>(w);
  return l && (l->alignment() & Qt::AlignRight);
}

int roomAcross(const QWidget* w, const QList<QWidget*>& line) {
  const QRect r = w->geometry();
  if (growsLeft(w)) {
    int from = 0;
    for (const QWidget* o : line) {
      const QRect g = o->geometry();
      if (o == w || g.left() >= r.left() || !sameLine(g, r)) continue;
      from = std::max(from, std::max(g.right() + 1, g.left() + o->sizeHint().width()));
    }
    return r.right() + 1 - from;
  }
  int to = w->parentWidget()->width();
  for (const QWidget* o : line) {
    const QRect g = o->geometry();
    if (o != w && g.left() > r.left() && sameLine(g, r)) to = std::min(to, g.left());
  }
  return to - r.left();
}

double controlScale(const QWidget* w, const QList<QWidget*>& placed) {
  const bool caption =
      qobject_cast<const QCheckBox*>(w) ||
      (qobject_cast<const QLabel*>(w) && !static_cast<const QLabel*>(w)->wordWrap());
  if (caption) {
    const auto* l = qobject_cast<const QLabel*>(w);
    if (l && (l->text().isEmpty() || !l->pixmap().isNull())) return 1.0;
    return std::max(ratio(w->sizeHint().width(), roomAcross(w, placed)),
                    ratio(w->fontMetrics().height(), w->height()));
  }
  if (const auto* l = qobject_cast<const QLabel*>(w)) {  // a wrapped text grows across and down
    double s = 1.0;
    while (s < 4.0 && l->heightForWidth(static_cast<int>(l->width() * s)) > l->height() * s)
      s += 0.05;
    return s;
  }
  if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
    // The text and a little room on either side (a style's minimum button width is no need).
    const int text =
        b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&')));
    return std::max(ratio(text + 12, w->width()),
                    ratio(w->fontMetrics().height() + 4, w->height()));
  }
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
    double s = ratio(e->fontMetrics().height() + 4, e->height());
    if (!e->placeholderText().isEmpty())
      s = std::max(s, ratio(boxWidthFor(e, e->placeholderText()), e->width()));
    return s;
  }
  if (qobject_cast<const QComboBox*>(w)) return ratio(w->fontMetrics().height() + 4, w->height());
  return 1.0;
}

}  // namespace

double neededScale(const QWidget* container) {
  double scale = 1.0;
  const QList<QWidget*> placed = placedControls(container);
  for (const QWidget* w : placed) scale = std::max(scale, controlScale(w, placed));
  return scale;
}

void fitCaptions(const QWidget* container) {
  const QList<QWidget*> placed = placedControls(container);
  for (QWidget* w : placed) {
    const bool caption = qobject_cast<QCheckBox*>(w) || qobject_cast<QLabel*>(w);
    const int needed = w->sizeHint().width();
    if (!caption || needed <= w->width()) continue;
    if (const auto* l = qobject_cast<QLabel*>(w); l && (l->wordWrap() || l->text().isEmpty()))
      continue;
    QRect r = w->geometry();
    const int width = std::min(needed, std::max(r.width(), roomAcross(w, placed)));
    if (growsLeft(w))
      r.setLeft(r.right() + 1 - width);
    else
      r.setWidth(width);
    w->setGeometry(r);
  }
}

void scalePlaced(QWidget* container, double scale) {
  if (scale <= 1.0) return;
  const auto at = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
  for (QWidget* w : placedControls(container)) {
    const QRect r = w->geometry();
    const int left = at(r.left()), top = at(r.top());
    w->setGeometry(left, top, at(r.left() + r.width()) - left, at(r.top() + r.height()) - top);
  }
}

double growToFit(QWidget* window) {
  const double scale = neededScale(window);
  if (scale <= 1.0) {
    fitCaptions(window);
    return 1.0;
  }
  const QSize size(static_cast<int>(std::lround(window->width() * scale)),
                   static_cast<int>(std::lround(window->height() * scale)));
  scalePlaced(window, scale);
  if (window->minimumSize() == window->maximumSize())
    window->setFixedSize(size);
  else
    window->resize(size);
  fitCaptions(window);
  return scale;
}

}  // namespace quorvel
