#include "bench/browser_loader.h"

#include <algorithm>

#include "bench/curl_internet.h"
#include "bench/run_view.h"
#include "bench/viewport_choice.h"
#include "core/app_state.h"
#include "core/error_numbers.h"
#include "core/limit_setting.h"
#include "core/settings.h"

namespace quorvel {

BrowserLoad CurlBrowserLoader::load(const QString& pageUrl, const std::function<bool()>& pump) {
  BrowserLoadOptions options = options_;
  options.pump = pump;
  return LoadLikeABrowser(pageUrl, options);
}

BrowserLoadOptions RunBrowserLoadOptions(const QString& settingsPath, const QString& proxy) {
  BrowserLoadOptions options;
  options.proxy = proxy.toUtf8();
  options.transferLimit = RequestLimitSetting(settingsPath);
  options.idleTimeout = CurlInternetOptions{}.idleTimeout;
  options.viewport = ViewportSetting(settingsPath);
  return options;
}

bool BrowserLoadSetting(const QString& settingsPath) {
  return ReadSetting(settingsPath, QStringLiteral("URLInfo"), QStringLiteral("BrowserLoad"))
             .value.trimmed() == QLatin1String("1");
}

bool StoreBrowserLoadSetting(const QString& settingsPath, bool on) {
  return WriteSetting(settingsPath, QStringLiteral("URLInfo"), QStringLiteral("BrowserLoad"),
                      on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool RunView::browserLoadOn() const {
  return BrowserLoadSetting(appState().settingsPath);
}

int LoadedFileError(const LoadedFile& file) {
  if (file.error != 0) return file.error;
  if (file.status == 404 || file.status == 410) return err::kNotFoundPage;
  if (file.status >= 400) return int(file.status);
  if (file.status == 0) return err::kInvalidServerResponse;
  return 0;
}

RequestDetails LoadedFileDetails(const LoadedFile& file) {
  // A phase that did not take place is -1 in a run's reports.
  const auto phase = [](std::int64_t micros) { return micros > 0 ? micros : -1; };
  RequestDetails d;
  d.known = true;
  d.blockedMicros = std::max<std::int64_t>(0, file.blocked);
  d.dnsMicros = phase(file.dns);
  d.connectMicros = phase(file.connect);
  d.tlsMicros = phase(file.tls);
  d.sendMicros = 0;
  d.waitMicros = std::max<std::int64_t>(0, file.wait);
  d.receiveMicros = std::max<std::int64_t>(0, file.receive);
  d.redirectMicros = std::max<std::int64_t>(0, file.redirect);
  d.decodedBytes = file.decodedBytes;
  d.status = int(file.status);
  if (!file.httpVersion.isEmpty()) d.httpVersion = QStringLiteral("HTTP/") + file.httpVersion;
  d.effectiveUrl = QString::fromUtf8(file.url);
  return d;
}

}  // namespace quorvel
