// The further files a browser would load with a page: its images, embedded objects and
// background sounds, and the pages of its frames, as the URLs the run fetches.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "bench/web_url.h"

namespace quorvel {

struct PageLinks {
  QStringList resources;  // each once (compared case-sensitively), sorted by character codes
  QStringList frames;     // in page order
};

// What the run looks for on a page.
struct LinkKinds {
  bool images = false;  // <img src>
  bool sounds = false;  // <embed src>, <bgsound src>
  bool frames = false;  // <frame src>
};

// The links of a page read as a browser reads them (html_tokenizer.h): the "src" of the tags
// asked for, resolved (web_url.h) against the page's first <base href>, or else against
// `pageUrl`, the page's address after redirects. What a browser would not fetch (data:,
// javascript:, empty references, ...) is not there; every URL is in the run's form (LinkText).
PageLinks ReadPageLinks(const QByteArray& html, const QString& pageUrl, LinkKinds kinds);

// What the references of a page lead from: its first <base href> (resolved against the page's
// address `page`), or `page` itself when it has none or one a browser cannot use.
WebUrl DocumentBase(const QByteArray& html, const WebUrl& page);

// The server of a resource or frame URL found on a page: before its first "/" (after its
// scheme, when it has one).
QString LinkHost(const QString& link);

}  // namespace quorvel
