#include "bench/log_lines.h"

#include <algorithm>

#include "core/number_format.h"
#include "core/tick.h"
#include "core/error_numbers.h"
#include "bench/internet.h"

namespace quorvel {

namespace {

QString blanks(int n) {
  return QString(n, QLatin1Char(' '));
}

QString field(double value, const char* mask, int width) {
  return padLeft(formatMask(value, mask), width);
}

double seconds(std::int64_t micros) {
  return static_cast<double>(micros) / 1e6;
}

QString totalLine(const char* label, double value, const char* mask) {
  return blanks(25) + QLatin1String(label) + field(value, mask, 10);
}

bool breaksALine(QChar c) {
  return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
         c == QChar::ParagraphSeparator;
}

}  // namespace

QString LogLineText(QStringView line) {
  if (std::none_of(line.begin(), line.end(), breaksALine)) return line.toString();
  static const char kHex[] = "0123456789ABCDEF";
  QString out;
  out.reserve(line.size() + 16);
  for (const QChar c : line) {
    if (!breaksALine(c)) {
      out.append(c);
      continue;
    }
    // A character up to U+00FF stands for the byte of a page; the separators go as UTF-8.
    const QByteArray bytes =
        c.unicode() <= 0xFF ? QByteArray(1, char(c.unicode())) : QString(c).toUtf8();
    for (const char b : bytes) {
      const auto u = static_cast<unsigned char>(b);
      out.append(QLatin1Char('%'));
      out.append(QLatin1Char(kHex[u >> 4]));
      out.append(QLatin1Char(kHex[u & 0xF]));
    }
  }
  return out;
}

QString ReportDate(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  if (!d.isValid() || !t.isValid()) return when.toString(QStringLiteral("MM-dd-yy HH:mm"));
  const int year = ((d.year() % 100) + 100) % 100;
  const int parts[5] = {d.month(), d.day(), year, t.hour(), t.minute()};
  const char seps[5] = {'-', '-', ' ', ':', '\0'};
  QString out;
  out.reserve(14);
  for (int i = 0; i < 5; ++i) {
    out += QLatin1Char(char('0' + parts[i] / 10));
    out += QLatin1Char(char('0' + parts[i] % 10));
    if (seps[i]) out += QLatin1Char(seps[i]);
  }
  return out;
}

QString FileErrorText(int error) {
  if (error == err::kNotFoundPage) return QStringLiteral("Link not found on server");
  if (error >= 12000) return InternetErrorText(error).trimmed();
  return QStringLiteral("Quorvel error ") + QString::number(error);
}

QString ReplaceExtension(const QString& name, const QString& extension) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return name + QLatin1Char('.') + extension;
  return name.left(dot + 1) + extension;
}

QStringList FileLogLines(const QString& date, const QString& url, std::int64_t bytes,
                         std::int64_t micros, int error) {
  if (error >= 12000) return {blanks(36) + InternetErrorText(error)};
  const QString counts = date + QLatin1Char(' ') + field(static_cast<double>(bytes), "#####0", 6) +
                         QStringLiteral(" bytes ") + field(dec1(seconds(micros)), "##0.0", 5) +
                         QStringLiteral(" secs");
  if (error == 0) return {counts + QLatin1Char(' ') + url};
  const QString why = error == err::kNotFoundPage
                          ? FileErrorText(error)
                          : QStringLiteral("Quorvel error ") + QString::number(error);
  return {counts + QStringLiteral(" ERROR on ") + url, blanks(36) + why};
}

QString UrlLogLine(const QString& date, const UrlTotals& totals, const QString& host) {
  return date + field(static_cast<double>(totals.files), "##0", 4) + QStringLiteral(" Files") +
         field(static_cast<double>(totals.bytes), "#####0", 7) + QStringLiteral(" Bytes") +
         field(seconds(totals.micros), "##0", 4) + QStringLiteral(" Secs ") + host;
}

QStringList UrlSummaryLines(const QString& date, const QString& hostOrUrl, const UrlTotals& totals,
                            bool isFrame) {
  const QString header =
      isFrame ? date + QStringLiteral(" Frame Summary for ") + hostOrUrl + QLatin1Char(':')
              : date + QStringLiteral(" URL Summary for ") + hostOrUrl + QLatin1Char(':');
  return {QStringLiteral(" "),
          header,
          totalLine("Total Files   = ", static_cast<double>(totals.files), "#,##0"),
          totalLine("Total Bytes   = ", static_cast<double>(totals.bytes), "#,##0"),
          totalLine("Total Seconds = ", seconds(totals.micros), "#,##0"),
          totalLine("Total Errors  = ", static_cast<double>(totals.errors), "#,##0"),
          QStringLiteral(" ")};
}

float SummaryKbps(const RunTotals& totals) {
  if (totals.micros <= 0) return 0.0f;
  return static_cast<float>(
      dec1(static_cast<double>(totals.bytes) * 8.0 / microsToMs(totals.micros)));
}

float SummaryPageAvg(const RunTotals& totals) {
  if (totals.validUrls <= 0) return 0.0f;
  return static_cast<float>(dec1(seconds(totals.micros) / static_cast<double>(totals.validUrls)));
}

QString SummaryLine(const QString& date, const RunTotals& totals) {
  // The throughput keeps every digit: on a link of 100,000 Kbps or more the field grows rather
  // than lose its leading digit, and the statistics find the fields after it by " Kbps".
  const QString kbps = formatMask(SummaryKbps(totals), "###0.0");
  return padLeft(date, 14) + padLeft(kbps, std::max(7, int(kbps.size()))) +
         QStringLiteral(" Kbps") + field(SummaryPageAvg(totals), "##0.0", 6) +
         QStringLiteral(" PageAvg") + field(static_cast<double>(totals.bytes), "######0", 8) +
         QStringLiteral(" Bytes") + field(seconds(totals.micros), "###0", 5) +
         QStringLiteral(" Secs") + field(static_cast<double>(totals.validUrls), "##0", 4) +
         QStringLiteral(" URLS") + field(static_cast<double>(totals.files), "###0", 5) +
         QStringLiteral(" Files") + field(static_cast<double>(totals.errors), "##0", 4) +
         QStringLiteral(" Errs");
}

QStringList RunSummaryLines(const QString& date, const RunTotals& totals) {
  return {date + QStringLiteral(" Run Summary:"),
          totalLine("Total URLs    = ", static_cast<double>(totals.validUrls), "##0"),
          totalLine("Total Files   = ", static_cast<double>(totals.files), "#,##0"),
          totalLine("Total Bytes   = ", static_cast<double>(totals.bytes), "#,##0"),
          totalLine("Total Seconds = ", seconds(totals.micros), "#,##0"),
          totalLine("Total Errors  = ", static_cast<double>(totals.errors), "#,##0"),
          QString(51, QLatin1Char('-')),
          QStringLiteral(" ")};
}

QString DebugTimedLine(const QString& timeOfDay, const QString& text) {
  const qsizetype zone = (timeOfDay.size() / 14 + 1) * 14;
  return timeOfDay + blanks(static_cast<int>(zone - timeOfDay.size())) + text;
}

}  // namespace quorvel
