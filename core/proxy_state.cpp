#include "core/proxy_state.h"

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text_util.h"

namespace quorvel {

void LoadProxyState() {
  AppState& s = appState();
  const QString proxy = QStringLiteral("Proxy");
  const double use = leadingNumber(ReadSetting(s.settingsPath, proxy, QStringLiteral("Use")).value);
  // A hand-edited value far outside the 16-bit range counts as "not 1".
  s.ProxyUse = (use >= -32768 && use <= 32767) ? static_cast<std::int16_t>(use) : 0;
  s.ProxyAddress = ReadSetting(s.settingsPath, proxy, QStringLiteral("Address")).value;
  s.ProxyPort = ReadSetting(s.settingsPath, proxy, QStringLiteral("Port")).value;
}

}  // namespace quorvel
