// Prints what a browser fetches with a page, as the core finds it: one "kind<TAB>url" line per
// file, the page's own first, then a "# lazy-below N, script-only N, duplicates N" line.
// Stylesheets and frames on the page's server (any host name at the page's scheme and port: the
// comparison's lab serves one folder under several names) are read from `folder` (the server's
// document root) and followed as a browser follows them, to a depth of 5, and so are the
// modules a module script imports;
// scripts/requisites-compare.sh compares the list with headless Chromium's requests.
//
//   page_requisites <page url> <folder> [width height ratio]
#include <QFile>
#include <QSet>
#include <QString>
#include <cstdio>

#include "bench/module_imports.h"
#include "bench/page_requisites.h"

namespace {

using namespace quorvel;

constexpr int kMaxDepth = 5;

struct Walk {
  WebUrl root;
  QString folder;
  Viewport viewport;
  QSet<QByteArray> seen;
  int lazyBelow = 0, scriptOnly = 0;

  // The file of a URL on the page's server, if it is one.
  std::optional<QByteArray> read(const WebUrl& url) const {
    if (url.scheme != root.scheme || url.port != root.port) return std::nullopt;
    QFile file(folder + QString::fromUtf8(QByteArray::fromPercentEncoding(url.path)));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
  }

  void print(const char* kind, const QByteArray& url) {
    if (seen.contains(url)) return;
    seen.insert(url);
    std::printf("%s\t%s\n", kind, url.constData());
  }

  void stylesheet(const WebUrl& url, int depth) {
    const std::optional<QByteArray> css = read(url);
    if (!css || depth > kMaxDepth) return;
    for (const Requisite& r : ReadStylesheetRequisites(*css, url, viewport)) {
      const bool fresh = !seen.contains(r.url);
      print(RequisiteKindName(r.kind), r.url);
      if (fresh && r.kind == RequisiteKind::Stylesheet)
        stylesheet(*ParsePageUrl(QString::fromLatin1(r.url)), depth + 1);
    }
  }

  void module(const WebUrl& url) {
    const std::optional<QByteArray> js = read(url);
    if (!js) return;
    for (const QByteArray& specifier : ReadModuleImports(*js)) {
      const std::optional<WebUrl> next =
          IsAddressSpecifier(specifier) ? ResolveWebUrl(specifier, url) : std::nullopt;
      if (!next || seen.contains(next->text())) continue;
      print("script", next->text());
      module(*next);
    }
  }

  void page(const WebUrl& url, int depth) {
    const std::optional<QByteArray> html = read(url);
    if (!html || depth > kMaxDepth) return;
    const PageRequisites found = ReadPageRequisites(*html, url, viewport);
    lazyBelow += found.lazyBelow;
    scriptOnly += found.scriptOnly;
    for (const Requisite& r : found.files) {
      if (depth > 0 && r.kind == RequisiteKind::Icon) continue;  // a frame's icon is not shown
      const bool fresh = !seen.contains(r.url);
      print(RequisiteKindName(r.kind), r.url);
      if (!fresh) continue;
      const WebUrl next = *ParsePageUrl(QString::fromLatin1(r.url));
      if (r.kind == RequisiteKind::Stylesheet || r.destination == "style")
        stylesheet(next, depth);
      else if (r.kind == RequisiteKind::Frame)
        page(next, depth + 1);
      else if (r.module)
        module(next);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 6) {
    std::fprintf(stderr, "usage: page_requisites <page url> <folder> [width height ratio]\n");
    return 2;
  }
  const std::optional<WebUrl> url = ParsePageUrl(QString::fromLocal8Bit(argv[1]));
  if (!url) {
    std::fprintf(stderr, "page_requisites: not an http or https address: %s\n", argv[1]);
    return 2;
  }
  Walk walk{*url, QString::fromLocal8Bit(argv[2]), {}, {}, 0, 0};
  if (argc == 6)
    walk.viewport = {QByteArray(argv[3]).toInt(), QByteArray(argv[4]).toInt(),
                     QByteArray(argv[5]).toDouble()};
  walk.print("page", url->text());
  walk.page(*url, 0);
  std::printf("# lazy-below %d, script-only %d\n", walk.lazyBelow, walk.scriptOnly);
  return 0;
}
