#include "dialogs/url_opener.h"

#include <QDesktopServices>

namespace quorvel {

namespace {
UrlOpener& opener() {
  static UrlOpener o;
  return o;
}
}  // namespace

bool openUrlWithDesktop(const QUrl& url) {
  if (!url.isValid()) return false;
  if (opener()) return opener()(url);
  return QDesktopServices::openUrl(url);
}

void setUrlOpener(UrlOpener o) {
  opener() = std::move(o);
}

}  // namespace quorvel
