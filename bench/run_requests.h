// The requests of the last run as the main window keeps them: each one's figures, and the
// failed ones with their error numbers and texts. What the run reports through its request
// observer; the window's lists (and a later view of the run in time) are drawn from it.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "bench/benchmark_run.h"

namespace quorvel {

class RunRequests {
 public:
  // A run of more requests keeps the first ones and counts the others (its failures are all
  // kept, without their phases).
  static constexpr qsizetype kMaxKept = 100'000;

  void clear();
  void add(const RequestRecord& request);

  const QList<RequestRecord>& requests() const { return requests_; }
  const QList<RequestRecord>& failures() const { return failures_; }
  qsizetype total() const { return total_; }

 private:
  QList<RequestRecord> requests_;
  QList<RequestRecord> failures_;
  qsizetype total_ = 0;
};

// The columns of the failure list and of the request list, and one row of each.
QStringList FailureColumns();
QStringList FailureRow(const RequestRecord& r);
QStringList RequestColumns();
QStringList RequestRow(const RequestRecord& r);

}  // namespace quorvel
