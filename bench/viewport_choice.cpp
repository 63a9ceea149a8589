#include "bench/viewport_choice.h"

#include "core/settings.h"

namespace quorvel {

namespace {

std::optional<int> parseSide(const QString& text) {
  bool ok = false;
  const int side = text.trimmed().toInt(&ok);
  if (!ok || side < kMinViewportSide || side > kMaxViewportSide) return std::nullopt;
  return side;
}

QString urlInfo(const QString& settingsPath, const char* key) {
  return ReadSetting(settingsPath, QStringLiteral("URLInfo"), QString::fromLatin1(key)).value;
}

}  // namespace

std::optional<ViewportSize> ParseViewportSize(const QString& text) {
  const QString t = text.trimmed();
  const qsizetype x = t.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive);
  if (x < 0) return std::nullopt;
  const std::optional<int> width = parseSide(t.left(x)), height = parseSide(t.mid(x + 1));
  if (!width || !height) return std::nullopt;
  return ViewportSize{*width, *height};
}

std::optional<double> ParseDevicePixelRatio(const QString& text) {
  bool ok = false;
  const double ratio = text.trimmed().toDouble(&ok);
  // Written this way round, a NaN is out of bounds too.
  if (!ok || !(ratio >= kMinDevicePixelRatio && ratio <= kMaxDevicePixelRatio)) return std::nullopt;
  return ratio;
}

Viewport ViewportSetting(const QString& settingsPath) {
  Viewport v;
  v.width = parseSide(urlInfo(settingsPath, "ViewportWidth")).value_or(v.width);
  v.height = parseSide(urlInfo(settingsPath, "ViewportHeight")).value_or(v.height);
  v.devicePixelRatio =
      ParseDevicePixelRatio(urlInfo(settingsPath, "DevicePixelRatio")).value_or(v.devicePixelRatio);
  return v;
}

}  // namespace quorvel
