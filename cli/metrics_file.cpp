#include "cli/metrics_file.h"

#include <charconv>
#include <cmath>

namespace quorvel::cli {

namespace {

QByteArray number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return QByteArray(buf, qsizetype(r.ptr - buf));
}

}  // namespace

QString EscapeLabelValue(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (QChar c : value) {
    if (c == QLatin1Char('\\'))
      out += QStringLiteral("\\\\");
    else if (c == QLatin1Char('"'))
      out += QStringLiteral("\\\"");
    else if (c == QLatin1Char('\n'))
      out += QStringLiteral("\\n");
    else
      out += c;
  }
  return out;
}

void MetricsText::family(const QString& name, const QString& help, const QString& type) {
  QString h = help;
  h.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  text_ += "# HELP " + name.toUtf8() + ' ' + h.toUtf8() + '\n';
  text_ += "# TYPE " + name.toUtf8() + ' ' + type.toUtf8() + '\n';
}

void MetricsText::sample(const QString& name, const Labels& labels, double value) {
  text_ += name.toUtf8();
  if (!labels.isEmpty()) {
    text_ += '{';
    for (qsizetype i = 0; i < labels.size(); ++i) {
      if (i > 0) text_ += ',';
      text_ += labels[i].first.toUtf8() + "=\"" + EscapeLabelValue(labels[i].second).toUtf8() + '"';
    }
    text_ += '}';
  }
  text_ += ' ' + number(value) + '\n';
}

void MetricsText::histogram(const QString& name, const Labels& labels,
                            const std::vector<double>& bounds, const std::vector<double>& values) {
  const QString bucket = name + QStringLiteral("_bucket");
  for (double bound : bounds) {
    double below = 0;
    for (double v : values) below += v <= bound ? 1 : 0;
    // As readers write it back ("0.0005", "1", "2.5"), so a query for the bucket finds it.
    QString le = QString::number(bound, 'f', 9);
    while (le.contains(QLatin1Char('.')) && (le.endsWith(QLatin1Char('0')) || le.endsWith('.')))
      le.chop(1);
    sample(bucket, labels + Labels{{"le", le}}, below);
  }
  sample(bucket, labels + Labels{{"le", QStringLiteral("+Inf")}}, double(values.size()));
  double sum = 0;
  for (double v : values) sum += v;
  sample(name + QStringLiteral("_sum"), labels, sum);
  sample(name + QStringLiteral("_count"), labels, double(values.size()));
}

}  // namespace quorvel::cli
