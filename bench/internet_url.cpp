#include "bench/internet_url.h"

namespace quorvel {

QString CompleteURL(const QString& url) {
  if (url.contains(QLatin1String("//"))) return url;
  if (url.left(4).toLower() == QLatin1String("ftp.")) return QStringLiteral("ftp://") + url;
  return QStringLiteral("http://") + url;
}

namespace {

void appendByte(QByteArray& out, unsigned char u) {
  static const char kHex[] = "0123456789ABCDEF";
  if (u > 0x20 && u < 0x7F) {
    out.append(char(u));
    return;
  }
  out.append('%');
  out.append(kHex[u >> 4]);
  out.append(kHex[u & 0xF]);
}

void appendEncoded(QByteArray& out, QStringView text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      for (const char b : text.mid(i, 2).toUtf8()) appendByte(out, static_cast<unsigned char>(b));
      ++i;
    } else if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
      appendByte(out, static_cast<unsigned char>(c.unicode() - 0xDC00));  // a byte kept as is
    } else {
      // (A lone surrogate of any other kind is no character: U+FFFD.)
      for (const char b : (c.isSurrogate() ? QString(QChar(0xFFFD)) : QString(c)).toUtf8())
        appendByte(out, static_cast<unsigned char>(b));
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
