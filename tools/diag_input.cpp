#include "tools/diag_input.h"

#include <QRegularExpression>
#include <cmath>

namespace quorvel {

std::optional<double> numericText(const QString& text) {
  static const QRegularExpression number(
      QStringLiteral("^[ \\t]*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?[ \\t]*$"));
  if (!number.match(text).hasMatch()) return std::nullopt;
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok && !std::isinf(v)) return std::nullopt;
  return v;  // an exponent too large gives +-infinity, held to range by the caller
}

long long roundHalfEven(double value, long long lo, long long hi) {
  if (std::isnan(value)) return lo;
  if (value <= static_cast<double>(lo)) return lo;
  if (value >= static_cast<double>(hi)) return hi;
  const double r = std::nearbyint(value);  // the default rounding mode: halves to even
  const auto v = static_cast<long long>(r);
  return v < lo ? lo : (v > hi ? hi : v);
}

QString hostPart(const QString& url) {
  QString s = url;
  const qsizetype slashes = s.indexOf(QLatin1String("//"));
  if (slashes >= 0) s = s.mid(slashes + 2);
  const qsizetype slash = s.indexOf(QLatin1Char('/'));
  if (slash >= 0) s = s.left(slash);
  const qsizetype at = s.lastIndexOf(QLatin1Char('@'));
  if (at >= 0) s = s.mid(at + 1);
  if (s.startsWith(QLatin1Char('['))) {
    const qsizetype close = s.indexOf(QLatin1Char(']'));
    if (close > 0) return s.mid(1, close - 1);
  }
  if (s.count(QLatin1Char(':')) == 1) s = s.left(s.indexOf(QLatin1Char(':')));
  return s;
}

bool hasPort(const QString& address) {
  static const QRegularExpression withPort(
      QStringLiteral("^\\s*(\\[[^\\]]*\\]|[^:\\[\\]]*):\\d*\\s*$"));
  return withPort.match(address).hasMatch();
}

QStringList addressListFromSources(const QStringList& urlSources) {
  QStringList list;
  if (urlSources.isEmpty()) {
    list.append(QString());
    return list;
  }
  list.append(hostPart(urlSources.front()));
  for (qsizetype i = 1; i < urlSources.size(); ++i) {
    const QString host = hostPart(urlSources[i]);
    if (!list.contains(host, Qt::CaseInsensitive)) list.append(host);
  }
  return list;
}

std::vector<double> dialogUnitsToPixels(const std::vector<int>& stops, double averageCharWidth) {
  std::vector<double> px;
  px.reserve(stops.size());
  for (int s : stops) px.push_back(s * averageCharWidth / 4.0);
  return px;
}

}  // namespace quorvel
