// What a browser fetches when it loads a page: the page's stylesheets, scripts, images, fonts,
// icons, manifest, preloads, frames, embedded objects and media, found as a browser's parser
// finds them (html_tokenizer.h, css_tokenizer.h) and resolved as it resolves them (web_url.h).
//
// A browser at load:
// - fetches <link rel=stylesheet> (any media; not disabled ones, nor a type other than
//   text/css), <script src> (classic and module; not nomodule, nor a type that is no script),
//   the url()s of <style> blocks and style attributes (their @import, images and fonts);
// - fetches one file per <img> (srcset, sizes and <picture> sources chosen as image_source.h
//   chooses), <input type=image>, the background attribute of body and table cells, <video
//   poster>, the <image> of an inline <svg> (its href, else its xlink:href);
// - fetches <link rel=preload> (with a valid "as", a matching media and a type it can use; an
//   image preload's imagesrcset chosen as an image's), <link rel=modulepreload> and <link
//   rel=prefetch> (Chromium fetches it while the page loads), once: the element that uses the
//   file later takes the fetched one;
// - fetches the first <link rel=icon> (or /favicon.ico of the page's server when the page
//   declares none) and the first <link rel=manifest>; not apple-touch-icon;
// - fetches <iframe src> (not with srcdoc) and <frame src>, <embed src>, <object data>; the
//   file of an <audio> or <video> (its src, or its first <source> of a type it plays) unless
//   preload="none" without autoplay; not <bgsound>, which no current browser plays;
// - defers loading=lazy images and frames below the first viewport until a person scrolls:
//   those are counted, not fetched. Without a layout, an element's top is estimated as the sum
//   of the heights (the height attribute, else 150 CSS pixels) of the images, frames, videos
//   and objects before it; "below" is past the viewport's height and the 1250 pixels that
//   Chromium loads ahead.
// Requests that only the page's scripts would make (lazy loaders' data-src, data-srcset, ...,
// and whatever a script fetches) are out of reach: the lazy loaders' references are counted.
// Every file is listed once, where it is first named.
#pragma once

#include <QByteArray>
#include <QList>

#include "bench/media_query.h"
#include "bench/web_url.h"

namespace quorvel {

enum class RequisiteKind {
  Stylesheet,
  Script,
  Image,
  Font,
  Icon,  // a declared icon, or the server's /favicon.ico
  Manifest,
  Preload,   // <link rel=preload>, <link rel=modulepreload>, <link rel=prefetch>
  Frame,     // <frame>, <iframe>: a page with requisites of its own
  Embedded,  // <embed>, <object>
  Media,     // <audio>, <video>
};

struct Requisite {
  RequisiteKind kind = RequisiteKind::Image;
  QByteArray url;  // resolved: WebUrl::text()
  // What the file is fetched as (the Fetch standard's destination, as browsers send it in
  // Sec-Fetch-Dest): "style", "script", "image", "font", "iframe", "frame", "embed", "object",
  // "audio", "video", "manifest", or "" for a preload as "fetch".
  QByteArray destination;
  // The page's parser waits for it before DOMContentLoaded: a stylesheet of the page's own, a
  // script that is not async.
  bool blocking = false;
  bool module = false;  // a JavaScript module: what it imports is fetched before it runs
};

struct PageRequisites {
  QList<Requisite> files;
  int lazyBelow = 0;   // loading=lazy images and frames below the first viewport
  int scriptOnly = 0;  // elements whose file only a script would load (data-src, ...)
  int duplicates = 0;  // references to a file already listed
};

// The requisites of a page whose HTML is `html`, loaded from `page` (after redirects), for the
// screen `viewport`. The work is linear in the page's length.
PageRequisites ReadPageRequisites(const QByteArray& html, const WebUrl& page,
                                  const Viewport& viewport = {});

// The files a stylesheet fetched from `sheet` makes a browser fetch on the screen `viewport`:
// its @imports (Stylesheet), fonts and images (of an image-set(), the one for the screen's
// pixel ratio; none of an @media rule the screen does not match), resolved against the
// stylesheet's own address.
QList<Requisite> ReadStylesheetRequisites(const QByteArray& css, const WebUrl& sheet,
                                          const Viewport& viewport = {});

// A kind's name for lists and reports: "stylesheet", "script", "image", "font", "icon",
// "manifest", "preload", "frame", "embedded", "media".
const char* RequisiteKindName(RequisiteKind kind);

}  // namespace quorvel
