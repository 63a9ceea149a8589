#include "bench/totals_text.h"

#include "core/number_format.h"
#include "core/tick.h"

namespace quorvel {

TotalsText MakeTotalsText(std::int64_t validUrls, std::int64_t totalErrors, std::int64_t totalBytes,
                          std::int64_t totalMicros) {
  TotalsText t;
  if (validUrls + totalMicros + totalErrors == 0) return t;

  t.validUrls = QString::number(validUrls);
  t.totalErrors = QString::number(totalErrors);
  t.totalBytes = formatMask(static_cast<double>(totalBytes), "###,###,##0");
  const double seconds = static_cast<double>(totalMicros) / 1e6;
  t.totalSecs = formatMask(seconds, "###,##0.0");
  if (totalMicros <= 0) {
    t.throughput = QStringLiteral("0 Kbps");
  } else {
    // Bytes * 8 per millisecond is kilobits (of 1,000 bits) per second.
    const double kbps = static_cast<double>(totalBytes) * 8.0 / microsToMs(totalMicros);
    t.throughput = formatMask(dec1(kbps), "###,##0.0") + QStringLiteral(" Kbps");
  }
  if (validUrls >= 1)
    t.avgPageLoad = formatMask(dec1(seconds / static_cast<double>(validUrls)), "#,##0.0") +
                    QStringLiteral(" secs");
  else
    t.avgPageLoad = QStringLiteral("0 secs");
  return t;
}

TotalsText MakeTotalsText(const RunTotals& totals) {
  return MakeTotalsText(totals.validUrls, totals.errors, totals.bytes, totals.micros);
}

QString ProgressText(const RunProgress& p) {
  if (p.page <= 0) return {};
  const auto count = [](std::int64_t n) { return formatMask(static_cast<double>(n), "#,##0"); };
  QString text = QStringLiteral("Page %1 of %2, iteration %3 of %4")
                     .arg(count(p.page), count(p.pages), count(p.iteration), count(p.iterations));
  if (p.filesDone >= 0)
    text += QStringLiteral(", %1 of %2 files").arg(count(p.filesDone), count(p.filesFound));
  if (p.bytes >= 0)
    text += QStringLiteral(", %1 bytes in %2 secs")
                .arg(count(p.bytes),
                     formatMask(static_cast<double>(p.elapsedMicros) / 1e6, "#,##0.0"));
  return text;
}

}  // namespace quorvel
