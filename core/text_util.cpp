#include "core/text_util.h"

namespace quorvel {

namespace {
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool isBlankChar(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
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

}  // namespace quorvel
