#include "bench/image_source.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

constexpr bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A valid non-negative integer: digits only.
std::optional<int> nonNegativeInteger(QByteArrayView s) {
  if (s.isEmpty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), isDigit)) return std::nullopt;
  return s.toInt();
}

// A valid floating-point number: "-"? digits ("." digits)? or "." digits, then an exponent.
std::optional<double> floatingPoint(QByteArrayView s) {
  qsizetype k = 0;
  if (k < s.size() && s[k] == '-') ++k;
  const qsizetype intStart = k;
  while (k < s.size() && isDigit(s[k])) ++k;
  bool digits = k > intStart;
  if (k < s.size() && s[k] == '.') {
    const qsizetype fracStart = ++k;
    while (k < s.size() && isDigit(s[k])) ++k;
    if (k == fracStart) return std::nullopt;
    digits = true;
  }
  if (!digits) return std::nullopt;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    ++k;
    if (k < s.size() && (s[k] == '-' || s[k] == '+')) ++k;
    const qsizetype expStart = k;
    while (k < s.size() && isDigit(s[k])) ++k;
    if (k == expStart) return std::nullopt;
  }
  if (k != s.size()) return std::nullopt;
  bool ok = false;
  const double v = s.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

// The descriptors of one candidate, or none when one is invalid or they conflict.
std::optional<SrcsetCandidate> describe(QByteArray url, const QList<QByteArray>& descriptors) {
  SrcsetCandidate c{std::move(url), {}, {}};
  bool height = false;
  for (const QByteArray& d : descriptors) {
    const QByteArrayView number = QByteArrayView(d).chopped(1);
    switch (d.back()) {
      case 'w': {
        const std::optional<int> w = nonNegativeInteger(number);
        if (c.width || c.density || !w || *w == 0) return std::nullopt;
        c.width = w;
        break;
      }
      case 'x': {
        const std::optional<double> x = floatingPoint(number);
        if (c.width || c.density || height || !x || *x < 0) return std::nullopt;
        c.density = x;
        break;
      }
      case 'h': {
        const std::optional<int> h = nonNegativeInteger(number);
        if (height || c.density || !h || *h == 0) return std::nullopt;
        height = true;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  if (height && !c.width) return std::nullopt;
  return c;
}

// A candidate with the density it has on this screen.
struct Density {
  QByteArray url;
  double density;
};

}  // namespace

QList<SrcsetCandidate> ParseSrcset(QByteArrayView s) {
  QList<SrcsetCandidate> out;
  qsizetype k = 0;
  const qsizetype n = s.size();
  for (;;) {
    while (k < n && (isSpace(s[k]) || s[k] == ',')) ++k;
    if (k >= n) return out;
    const qsizetype urlStart = k;
    while (k < n && !isSpace(s[k])) ++k;
    QByteArray url = s.sliced(urlStart, k - urlStart).toByteArray();
    QList<QByteArray> descriptors;
    if (url.endsWith(',')) {
      while (url.endsWith(',')) url.chop(1);
    } else {
      // The descriptor tokenizer: up to a "," outside parentheses, or the end.
      while (k < n && isSpace(s[k])) ++k;
      QByteArray current;
      bool inParens = false;
      for (; k < n; ++k) {
        const char c = s[k];
        if (inParens) {
          current.append(c);
          if (c == ')') inParens = false;
        } else if (isSpace(c)) {
          if (!current.isEmpty()) descriptors << current;
          current.clear();
        } else if (c == ',') {
          ++k;
          break;
        } else {
          current.append(c);
          if (c == '(') inParens = true;
        }
      }
      if (!current.isEmpty()) descriptors << current;
    }
    if (std::optional<SrcsetCandidate> c = describe(std::move(url), descriptors)) out << *c;
  }
}

double SourceSize(QByteArrayView sizes, const Viewport& viewport) {
  const double fallback = viewport.width;
  const QList<CssToken> tokens = SignificantTokens(sizes);
  qsizetype start = 0;
  int depth = 0;
  for (qsizetype k = 0; k <= tokens.size(); ++k) {
    if (k < tokens.size()) {
      const CssTokenType t = tokens[k].type;
      if (t == CssTokenType::LeftParen || t == CssTokenType::Function ||
          t == CssTokenType::LeftSquare || t == CssTokenType::LeftCurly)
        ++depth;
      else if (t == CssTokenType::RightParen || t == CssTokenType::RightSquare ||
               t == CssTokenType::RightCurly)
        depth = std::max(0, depth - 1);
      if (depth > 0 || t != CssTokenType::Comma) continue;
    }
    const QList<CssToken> entry = tokens.mid(start, k - start);
    start = k + 1;
    if (entry.isEmpty()) continue;
    // The size is the last component value: a token, or a function up to its ")".
    qsizetype sizeStart = entry.size() - 1;
    if (entry.back().type == CssTokenType::RightParen) {
      int d = 0;
      for (qsizetype i = entry.size() - 1; i >= 0; --i) {
        const CssTokenType t = entry[i].type;
        if (t == CssTokenType::RightParen) ++d;
        if (t == CssTokenType::LeftParen || t == CssTokenType::Function) --d;
        if (d == 0) {
          sizeStart = i;
          break;
        }
      }
      if (d != 0 || entry[sizeStart].type != CssTokenType::Function) continue;
    }
    const QList<CssToken> size = entry.mid(sizeStart);
    const std::optional<double> px = LengthInPixels(size, viewport);
    if (!px || *px < 0) continue;
    const QList<CssToken> condition = entry.first(sizeStart);
    if (condition.isEmpty() || MediaConditionMatches(condition, viewport)) return *px;
  }
  return fallback;
}

bool ImageTypeSupported(QByteArrayView type) {
  QByteArrayView t = type;
  if (const qsizetype semicolon = t.indexOf(';'); semicolon >= 0) t = t.first(semicolon);
  const QByteArray mime = t.trimmed().toByteArray().toLower();
  static const char* const kTypes[] = {"image/avif",     "image/webp",   "image/png",
                                       "image/apng",     "image/jpeg",   "image/jpg",
                                       "image/pjpeg",    "image/gif",    "image/svg+xml",
                                       "image/bmp",      "image/x-icon", "image/vnd.microsoft.icon",
                                       "image/x-xbitmap"};
  return std::any_of(std::begin(kTypes), std::end(kTypes),
                     [&](const char* k) { return mime == k; });
}

std::optional<QByteArray> ChooseImageSource(const ImageAttributes& img,
                                            const QList<PictureSource>& sources,
                                            const Viewport& viewport) {
  // The first <source> whose srcset has candidates, whose media matches and whose type is
  // decoded; else the <img>'s own srcset, with its src as 1x when nothing else is 1x.
  QList<SrcsetCandidate> candidates;
  std::optional<QByteArray> sizes;
  bool fromSource = false;
  for (const PictureSource& source : sources) {
    if (!source.srcset) continue;
    const QList<SrcsetCandidate> set = ParseSrcset(*source.srcset);
    if (set.isEmpty()) continue;
    if (source.media && !MediaMatches(*source.media, viewport)) continue;
    if (source.type && !ImageTypeSupported(*source.type)) continue;
    candidates = set;
    sizes = source.sizes;
    fromSource = true;
    break;
  }
  if (!fromSource) {
    if (img.srcset) candidates = ParseSrcset(*img.srcset);
    sizes = img.sizes;
    const bool hasOneX = std::any_of(candidates.begin(), candidates.end(), [](const auto& c) {
      return !c.width && c.density.value_or(1) == 1;
    });
    const bool hasWidth =
        std::any_of(candidates.begin(), candidates.end(), [](const auto& c) { return c.width; });
    if (img.src && !img.src->isEmpty() && !hasOneX && !hasWidth)
      candidates << SrcsetCandidate{*img.src, {}, 1.0};
  }
  if (candidates.isEmpty()) return std::nullopt;

  QList<Density> densities;
  const bool anyWidth =
      std::any_of(candidates.begin(), candidates.end(), [](const auto& c) { return c.width; });
  const double sourceSize = anyWidth ? SourceSize(sizes.value_or(QByteArray()), viewport) : 0;
  for (const SrcsetCandidate& c : candidates) {
    double d = c.density.value_or(1);
    if (c.width) d = sourceSize > 0 ? *c.width / sourceSize : INFINITY;
    densities << Density{c.url, d};
  }
  std::stable_sort(densities.begin(), densities.end(),
                   [](const Density& a, const Density& b) { return a.density < b.density; });
  for (const Density& d : densities)
    if (d.density >= viewport.devicePixelRatio) return d.url;
  return densities.back().url;
}

}  // namespace quorvel
