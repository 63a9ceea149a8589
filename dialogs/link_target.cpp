#include "dialogs/link_target.h"

namespace quorvel {

namespace {
const QString kMailto = QStringLiteral("mailto:");
}

QString linkTarget(const QString& caption) {
  const QString text = caption.trimmed();
  if (text.contains(QLatin1Char('@')) && !text.startsWith(kMailto, Qt::CaseInsensitive))
    return kMailto + text;
  return text;
}

bool isMailTarget(const QString& target) {
  return target.contains(kMailto, Qt::CaseInsensitive);
}

QUrl linkUrl(const QString& target) {
  if (target.isEmpty()) return {};
  const bool hasScheme =
      target.startsWith(kMailto, Qt::CaseInsensitive) || target.contains(QStringLiteral("://"));
  QUrl url(hasScheme ? target : QStringLiteral("http://") + target, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) return {};
  if (!url.scheme().startsWith(QLatin1String("mailto"), Qt::CaseInsensitive) &&
      url.host().isEmpty())
    return {};
  return url;
}

}  // namespace quorvel
