// Results in the Prometheus text exposition format (version 0.0.4), for node_exporter's
// textfile collector: families of gauges with HELP and TYPE lines, label values escaped (the file
// is written by cli/output_files.h, replaced at once, never seen half written).
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <vector>

namespace quorvel::cli {

using Labels = QList<QPair<QString, QString>>;

class MetricsText {
 public:
  // Starts a family; its samples follow. Names follow the Prometheus rules
  // ([a-zA-Z_:][a-zA-Z0-9_:]*); units in the name, seconds and bytes.
  void family(const QString& name, const QString& help, const QString& type = "gauge");
  void sample(const QString& name, const Labels& labels, double value);
  // The samples of one histogram (after family(name, help, "histogram")): a cumulative
  // name_bucket per upper bound (label le) and +Inf, then name_sum and name_count.
  void histogram(const QString& name, const Labels& labels, const std::vector<double>& bounds,
                 const std::vector<double>& values);
  QByteArray text() const { return text_; }

 private:
  QByteArray text_;
};

// A label value with backslash, double quote and line feed escaped.
QString EscapeLabelValue(const QString& value);

}  // namespace quorvel::cli
