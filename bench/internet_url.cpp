#include "bench/internet_url.h"

namespace quorvel {

QString CompleteURL(const QString& url) {
  if (url.contains(QLatin1String("//"))) return url;
  if (url.left(4).toLower() == QLatin1String("ftp.")) return QStringLiteral("ftp://") + url;
  return QStringLiteral("http://") + url;
}

namespace {

void appendEncoded(QByteArray& out, QStringView text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const QChar c : text) {
    QByteArray bytes;
    if (c.unicode() <= 0xFF) {
      bytes.append(char(c.unicode()));
    } else {
      bytes = QString(c).toUtf8();
    }
    for (const char b : bytes) {
      const auto u = static_cast<unsigned char>(b);
      if (u <= 0x20 || u >= 0x7F) {
        out.append('%');
        out.append(kHex[u >> 4]);
        out.append(kHex[u & 0xF]);
      } else {
        out.append(b);
      }
    }
  }
}

}  // namespace

QByteArray RequestURL(const QString& url) {
  // The server name runs from after "://" (or from the start) to the first "/", "?" or "#".
  const qsizetype scheme = url.indexOf(QLatin1String("://"));
  const qsizetype hostStart = scheme >= 0 ? scheme + 3 : 0;
  qsizetype hostEnd = hostStart;
  while (hostEnd < url.size() && url[hostEnd] != QLatin1Char('/') &&
         url[hostEnd] != QLatin1Char('?') && url[hostEnd] != QLatin1Char('#')) {
    ++hostEnd;
  }
  QByteArray out;
  out.reserve(url.size() + 16);
  appendEncoded(out, QStringView(url).left(hostStart));
  out.append(QStringView(url).mid(hostStart, hostEnd - hostStart).toUtf8());
  appendEncoded(out, QStringView(url).mid(hostEnd));
  return out;
}

}  // namespace quorvel
