#include "core/text_util.h"

namespace quorvel {

namespace {
bool isDigit(QChar c) {
  return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
bool isBlankChar(QChar c) {
  return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
}  // namespace

double leadingNumber(QStringView text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && isBlankChar(text[i])) ++i;
  const qsizetype start = i;
  if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
  qsizetype digits = 0;
  while (i < n && isDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == QLatin1Char('.')) {
    ++i;
    while (i < n && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  // An exponent counts only when digits follow it.
  if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
    qsizetype j = i + 1;
    if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) ++j;
    if (j < n && isDigit(text[j])) {
      while (j < n && isDigit(text[j])) ++j;
      i = j;
    }
  }
  bool ok = false;
  const double v = text.mid(start, i - start).toString().toDouble(&ok);
  return ok ? v : 0.0;
}

bool IsBlank(QStringView text) {
  for (QChar c : text)
    if (c != QLatin1Char(' ')) return false;
  return true;
}

namespace {

// The length of the valid UTF-8 sequence at bytes[i], or 0 when none starts there.
qsizetype utf8Length(QByteArrayView bytes, qsizetype i) {
  const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char b = at(i);
  qsizetype n = 0;
  unsigned char low = 0x80, high = 0xBF;  // what the second byte may be
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > bytes.size() || at(i + 1) < low || at(i + 1) > high) return 0;
  for (qsizetype k = 2; k < n; ++k)
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  return n;
}

}  // namespace

QString FromUtf8KeepingBytes(QByteArrayView bytes) {
  if (bytes.isValidUtf8()) return QString::fromUtf8(bytes);
  QString out;
  out.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.append(QChar(b));
      ++i;
      continue;
    }
    const qsizetype n = utf8Length(bytes, i);
    if (n == 0) {
      out.append(QChar(char16_t(0xDC00 + b)));
      ++i;
      continue;
    }
    out.append(QString::fromUtf8(bytes.sliced(i, n)));
    i += n;
  }
  return out;
}

}  // namespace quorvel
