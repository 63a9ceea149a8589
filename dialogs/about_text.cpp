#include "dialogs/about_text.h"

namespace quorvel {

QString versionText(int major, int minor, int revision) {
  QString text = QStringLiteral("Version %1.%2").arg(major).arg(minor);
  if (revision > 0) text += QLatin1Char('.') + QString::number(revision);
  return text;
}

QString aboutTitle(const QString& productName, const QString& description) {
  if (productName == description) return productName;
  return productName + QStringLiteral(" - ") + description;
}

}  // namespace quorvel
