#include "app/url_history.h"

#include "core/app_state.h"
#include "core/settings.h"

namespace quorvel {

QStringList HistoryListEntries(const UrlHistory& history) {
  QStringList list;
  for (int i = 1; i <= 10; ++i)
    if (!history[i].isEmpty()) list.append(history[i]);
  return list;
}

bool RemoveFromHistory(UrlHistory& history, const QString& url) {
  for (int i = 1; i <= 10; ++i) {
    if (history[i].compare(url, Qt::CaseInsensitive) != 0) continue;
    for (int j = i + 1; j <= 10; ++j) history[j - 1] = history[j];
    history[10].clear();
    return true;
  }
  return false;
}

void SaveHistory(const UrlHistory& history) {
  for (int i = 1; i <= 10; ++i)
    WriteSetting(appState().settingsPath, QStringLiteral("URLInfo"), QStringLiteral("URL%1").arg(i),
                 history[i]);
}

}  // namespace quorvel
