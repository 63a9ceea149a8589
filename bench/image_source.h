// The one file a browser fetches for an image that offers several (srcset, sizes, and the
// <source> elements of a <picture>), chosen as the HTML standard selects an image source and as
// Chromium picks among the candidates: the smallest whose pixel density is at least the
// screen's device pixel ratio, else the densest.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

#include "bench/media_query.h"

namespace quorvel {

// One candidate of a srcset: its address (as written) and at most one of its descriptors.
struct SrcsetCandidate {
  QByteArray url;
  std::optional<int> width;       // "640w"
  std::optional<double> density;  // "2x"; neither: 1x
};

// A srcset attribute parsed as the standard's algorithm does: candidates split at whitespace
// and commas, descriptors read with their parentheses; a candidate with an invalid or
// conflicting descriptor is dropped.
QList<SrcsetCandidate> ParseSrcset(QByteArrayView srcset);

// The width in CSS pixels that a "sizes" attribute gives the image on the screen: its first
// entry whose media condition matches (an entry without one matches), 100vw when none does or
// the attribute is absent. An "auto" entry is passed over: it sizes only lazy images, by their
// layout.
double SourceSize(QByteArrayView sizes, const Viewport& viewport);

// A <picture>'s <source> (its attributes as decoded; none when absent).
struct PictureSource {
  std::optional<QByteArray> srcset, sizes, media, type;
};

// An <img>'s attributes that decide its file.
struct ImageAttributes {
  std::optional<QByteArray> src, srcset, sizes;
};

// Whether a browser decodes images of a MIME type ("image/webp"; parameters ignored).
bool ImageTypeSupported(QByteArrayView type);

// The address a browser fetches for an <img> (with the <source> elements of its <picture>
// before it, in order), as written; none when it fetches nothing.
std::optional<QByteArray> ChooseImageSource(const ImageAttributes& img,
                                            const QList<PictureSource>& sources,
                                            const Viewport& viewport);

}  // namespace quorvel
