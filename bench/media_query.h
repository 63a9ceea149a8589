// Media queries and CSS lengths evaluated for a declared screen, as a browser evaluates them for
// the <source media> and "sizes" of a page's images.
#pragma once

#include <QByteArrayView>
#include <QList>
#include <optional>

#include "bench/css_tokenizer.h"

namespace quorvel {

// The screen a page is loaded for: its viewport in CSS pixels and its device pixel ratio. The
// rest of what media queries ask is a desktop's: a screen in colour, a fine pointer that
// hovers, light colours, motion allowed.
struct Viewport {
  int width = 1366;
  int height = 768;
  double devicePixelRatio = 1;
};

// Whether a media query list (a <source>'s or <link>'s "media") matches the screen: an empty
// list matches; a query that cannot be parsed, or that asks about what is not known, does not.
bool MediaMatches(QByteArrayView mediaQueryList, const Viewport& viewport);
// The same for its tokens (whitespace tokens left out), as an @media rule's prelude gives them.
bool MediaListMatches(const QList<CssToken>& tokens, const Viewport& viewport);

// Whether the tokens of a <media-condition> (whitespace tokens left out) match.
bool MediaConditionMatches(const QList<CssToken>& tokens, const Viewport& viewport);

// A length in CSS pixels: a dimension (px, em, rem, ex, ch, vw, vh, vmin, vmax, in, cm, mm, q,
// pt, pc), a unitless 0, or calc(), min(), max() or clamp() of them; none otherwise (a
// percentage among them).
std::optional<double> LengthInPixels(const QList<CssToken>& tokens, const Viewport& viewport);

// The tokens of a text without its whitespace and comments.
QList<CssToken> SignificantTokens(QByteArrayView css);

}  // namespace quorvel
