// The pages of tests/bench/pages (see its README), their server names filled in, and the
// requests a run makes for each.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quorvel::testing {

struct CorpusPage {
  QString name;          // "news"; empty for a frame page of extra/
  QString at;            // where it is served: "host[:port]/path"
  QByteArray body;       // its first line (where it is served) left out
  QStringList expected;  // its .expect lines
};

// Every page and frame page, with {{site}}, {{cdn}} and {{img}} replaced by the three names.
QList<CorpusPage> CorpusPages(const QString& site, const QString& cdn, const QString& img);

// The requests a run of `page` alone makes, as "host[:port]/path?query", in the run's order:
// the page, its files sorted as the run names them, then each frame and its files.
QStringList ExpectedRequests(const CorpusPage& page);

}  // namespace quorvel::testing
