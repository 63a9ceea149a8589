#include "core/table_text.h"

#include <QRegularExpression>

namespace quorvel {

namespace {

QString cellText(QString cell) {
  for (QChar& c : cell)
    if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
      c = QLatin1Char(' ');
  static const QRegularExpression number(QStringLiteral("^[+-]?[0-9][0-9,]*(\\.[0-9]+)?%?$"));
  const bool formulaLike = !cell.isEmpty() && QStringLiteral("=+-@").contains(cell.front()) &&
                           !number.match(cell).hasMatch();
  return formulaLike ? QLatin1Char('\'') + cell : cell;
}

}  // namespace

QString TabSeparated(const QList<QStringList>& rows) {
  QString out;
  for (const QStringList& row : rows) {
    QStringList cells;
    cells.reserve(row.size());
    for (const QString& c : row) cells << cellText(c);
    out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return out;
}

}  // namespace quorvel
