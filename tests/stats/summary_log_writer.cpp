#include "summary_log_writer.h"

#include "core/number_format.h"

namespace quorvel::testing {

QByteArray summaryLine(const QDate& date, int hour, int minute, double kbps, double pageAvg) {
  const QString stamp = date.toString(QStringLiteral("MM-dd-yy")) + QLatin1Char(' ') +
                        QStringLiteral("%1:%2")
                            .arg(hour, 2, 10, QLatin1Char('0'))
                            .arg(minute, 2, 10, QLatin1Char('0'));
  const QString line = stamp + padLeft(formatMask(kbps, "###0.0"), 7) + QStringLiteral(" Kbps") +
                       padLeft(formatMask(pageAvg, "##0.0"), 6) + QStringLiteral(" PageAvg") +
                       padLeft(QStringLiteral("50000"), 8) + QStringLiteral(" Bytes") +
                       padLeft(QStringLiteral("4"), 5) + QStringLiteral(" Secs") +
                       padLeft(QStringLiteral("1"), 4) + QStringLiteral(" URLS") +
                       padLeft(QStringLiteral("3"), 5) + QStringLiteral(" Files") +
                       padLeft(QStringLiteral("0"), 4) + QStringLiteral(" Errs");
  return line.toLatin1();
}

}  // namespace quorvel::testing
