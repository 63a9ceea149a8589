#include "core/app_icon.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace quorvel {

QPixmap appIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer svg(QStringLiteral(":/quorvel.svg"));
  QPainter painter(&pixmap);
  svg.render(&painter);
  return pixmap;
}

QIcon appIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addPixmap(appIconPixmap(size));
  return icon;
}

}  // namespace quorvel
