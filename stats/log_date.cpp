#include "stats/log_date.h"

#include <QRegularExpression>

namespace quorvel {

namespace {
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
int twoDigits(char a, char b) {
  return (a - '0') * 10 + (b - '0');
}
}  // namespace

int expandTwoDigitYear(int yy) {
  if (yy < 0 || yy > 99) return yy;
  return yy < 70 ? 2000 + yy : 1900 + yy;
}

std::optional<QDate> parseLogDate(QByteArrayView d) {
  if (d.size() < 8) return std::nullopt;
  if (d[2] != '-' || d[5] != '-') return std::nullopt;
  for (int i : {0, 1, 3, 4, 6, 7})
    if (!isDigit(d[i])) return std::nullopt;
  const int month = twoDigits(d[0], d[1]);
  const int day = twoDigits(d[3], d[4]);
  const int year = expandTwoDigitYear(twoDigits(d[6], d[7]));
  const QDate date(year, month, day);  // invalid for 02-30, 13-01, 00-00 ...
  if (!date.isValid()) return std::nullopt;
  return date;
}

std::optional<QDate> parseUserDate(const QString& text) {
  static const QRegularExpression mdy(
      QStringLiteral("^(\\d{1,2})([/.-])(\\d{1,2})\\2(\\d{2}|\\d{4})$"));
  static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
  const QString t = text.trimmed();
  int year = 0, month = 0, day = 0;
  if (const auto m = mdy.match(t); m.hasMatch()) {
    month = m.capturedView(1).toInt();
    day = m.capturedView(3).toInt();
    const QStringView y = m.capturedView(4);
    year = y.size() == 2 ? expandTwoDigitYear(y.toInt()) : y.toInt();
  } else if (const auto i = iso.match(t); i.hasMatch()) {
    year = i.capturedView(1).toInt();
    month = i.capturedView(2).toInt();
    day = i.capturedView(3).toInt();
  } else {
    return std::nullopt;
  }
  if (year < 1) return std::nullopt;
  const QDate date(year, month, day);
  if (!date.isValid()) return std::nullopt;
  return date;
}

DateLimitCheck checkDateLimit(const QString& text, const QDate& today, QDate* date) {
  if (text.trimmed().isEmpty()) return DateLimitCheck::Empty;
  const std::optional<QDate> d = parseUserDate(text);
  if (!d) return DateLimitCheck::Invalid;
  if (date) *date = *d;
  if (*d > today) return DateLimitCheck::Future;
  return DateLimitCheck::Valid;
}

QString dateLimitMessage(DateLimitCheck check) {
  switch (check) {
    case DateLimitCheck::Empty:
    case DateLimitCheck::Valid:
      break;
    case DateLimitCheck::Invalid:
      return QStringLiteral("Invalid date!");
    case DateLimitCheck::Future:
      return QStringLiteral("Date can not be in the future!");
  }
  return {};
}

}  // namespace quorvel
