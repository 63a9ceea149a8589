#include "bench/url_history.h"

#include "core/settings.h"

namespace quorvel {

void MoveUrlToTop(std::array<QString, 11>& history, const QString& url) {
  int from = 10;  // entry 10 falls out when the URL is not in the history
  for (int k = 1; k <= 10; ++k) {
    if (history[k].compare(url, Qt::CaseInsensitive) == 0) {
      from = k;
      break;
    }
  }
  for (int j = from; j > 1; --j) history[j] = history[j - 1];
  history[1] = url;
}

void StoreUrlHistory(const QString& settingsPath, const std::array<QString, 11>& history) {
  for (int k = 1; k <= 10; ++k)
    WriteSetting(settingsPath, QStringLiteral("URLInfo"),
                 QStringLiteral("URL") + QString::number(k), history[k]);
}

QStringList UrlHistoryList(const std::array<QString, 11>& history) {
  QStringList list;
  for (int k = 1; k <= 10; ++k)
    if (!history[k].isEmpty()) list << history[k];
  return list;
}

}  // namespace quorvel
