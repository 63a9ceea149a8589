#include "bench/html_tokenizer.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace quorvel {

namespace {

struct NamedReference {
  const char* name;
  char32_t first;
  char32_t second;
};

constexpr NamedReference kNamedReferences[] = {
#include "bench/html_entities.inc"
};
constexpr qsizetype kLongestReference = 32;

constexpr bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
constexpr bool isAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool isAlnum(char c) {
  return isAlpha(c) || isDigit(c);
}
constexpr char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// `name` as written equals `lowerName` (given in lower case) without regard to ASCII case.
bool sameName(QByteArrayView name, std::string_view lowerName) {
  if (size_t(name.size()) != lowerName.size()) return false;
  for (qsizetype i = 0; i < name.size(); ++i)
    if (lower(name[i]) != lowerName[size_t(i)]) return false;
  return true;
}
bool sameName(QByteArrayView name, const QByteArray& lowerName) {
  return sameName(name, std::string_view(lowerName.constData(), size_t(lowerName.size())));
}
template <size_t N>
bool nameIn(QByteArrayView name, const std::string_view (&names)[N]) {
  return std::any_of(std::begin(names), std::end(names),
                     [&](std::string_view n) { return sameName(name, n); });
}

constexpr std::string_view kRcData[] = {"textarea", "title"};
constexpr std::string_view kRawText[] = {"iframe",   "noembed", "noframes",
                                         "noscript", "style",   "xmp"};
// The start tags that end <svg> and <math> content: HTML takes them back.
constexpr std::string_view kLeaveForeign[] = {
    "b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
    "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
    "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
    "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
    "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"};
// Foreign elements the reader follows: the roots, then the HTML islands of SVG and MathML.
enum Foreign : unsigned char {
  NotForeign,
  Svg,
  Math,
  SvgDesc,
  SvgForeignObject,
  SvgTitle,  // SVG's islands
  MathMi,
  MathMn,
  MathMo,
  MathMs,
  MathMtext  // MathML's
};
constexpr bool isIsland(unsigned char f) {
  return f >= SvgDesc;
}
constexpr bool isSvgIsland(unsigned char f) {
  return f >= SvgDesc && f <= SvgTitle;
}
Foreign foreignKind(QByteArrayView name) {
  static constexpr std::string_view kNames[] = {
      "svg", "math", "desc", "foreignobject", "title", "mi", "mn", "mo", "ms", "mtext"};
  for (size_t i = 0; i < std::size(kNames); ++i)
    if (sameName(name, kNames[i])) return Foreign(i + 1);
  return NotForeign;
}

void appendUtf8(QByteArray& out, char32_t c) {
  if (c < 0x80) {
    out.append(char(c));
  } else if (c < 0x800) {
    out.append(char(0xC0 | (c >> 6)));
    out.append(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.append(char(0xE0 | (c >> 12)));
    out.append(char(0x80 | ((c >> 6) & 0x3F)));
    out.append(char(0x80 | (c & 0x3F)));
  } else {
    out.append(char(0xF0 | (c >> 18)));
    out.append(char(0x80 | ((c >> 12) & 0x3F)));
    out.append(char(0x80 | ((c >> 6) & 0x3F)));
    out.append(char(0x80 | (c & 0x3F)));
  }
}

// A numeric reference's code point as the parser turns it into a character: nothing outside
// Unicode, no surrogates and no NUL; the C1 controls as windows-1252 reads those bytes.
char32_t numericCharacter(char32_t n) {
  static constexpr char16_t kC1[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  if (n == 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return 0xFFFD;
  if (n >= 0x80 && n <= 0x9F) return kC1[n - 0x80];
  return n;
}

const NamedReference* findReference(std::string_view name) {
  const auto* end = std::end(kNamedReferences);
  const auto* at = std::lower_bound(
      std::begin(kNamedReferences), end, name,
      [](const NamedReference& r, std::string_view n) { return std::string_view(r.name) < n; });
  return at != end && std::string_view(at->name) == name ? at : nullptr;
}

// Decodes the character reference whose "&" is at raw[i] into `out`; returns where the value
// goes on.
qsizetype decodeReference(QByteArrayView raw, qsizetype i, QByteArray& out) {
  const qsizetype n = raw.size();
  qsizetype j = i + 1;
  if (j < n && raw[j] == '#') {
    qsizetype k = j + 1;
    const bool hex = k < n && (raw[k] == 'x' || raw[k] == 'X');
    if (hex) ++k;
    const qsizetype digits = k;
    char32_t value = 0;
    for (; k < n; ++k) {
      const char c = lower(raw[k]);
      int d = -1;
      if (isDigit(c)) d = c - '0';
      if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      if (d < 0) break;
      value = std::min<char32_t>(value * (hex ? 16 : 10) + char32_t(d), 0x110000);
    }
    if (k == digits) {  // "&#" or "&#x" without digits stays as written
      out.append(raw.sliced(i, k - i));
      return k;
    }
    if (k < n && raw[k] == ';') ++k;
    appendUtf8(out, numericCharacter(value));
    return k;
  }
  qsizetype run = 0;
  while (j + run < n && run < kLongestReference && isAlnum(raw[j + run])) ++run;
  if (j + run < n && raw[j + run] == ';') ++run;
  for (qsizetype len = run; len > 0; --len) {
    const NamedReference* r = findReference(std::string_view(raw.data() + j, size_t(len)));
    if (!r) continue;
    // In an attribute, a reference without its ";" that runs on into "=" or a letter or digit
    // is text ("?a=1&copy=2").
    const qsizetype after = j + len;
    if (raw[after - 1] != ';' && after < n && (raw[after] == '=' || isAlnum(raw[after]))) break;
    appendUtf8(out, r->first);
    if (r->second) appendUtf8(out, r->second);
    return after;
  }
  out.append('&');
  return j;
}

}  // namespace

QByteArray DecodeAttributeValue(QByteArrayView raw) {
  QByteArray out;
  out.reserve(raw.size());
  const qsizetype n = raw.size();
  for (qsizetype i = 0; i < n;) {
    const char c = raw[i];
    if (c == '&') {
      i = decodeReference(raw, i, out);
      continue;
    }
    if (c == '\r') {
      out.append('\n');
      i += (i + 1 < n && raw[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c == '\0')
      out.append("\xEF\xBF\xBD");
    else
      out.append(c);
    ++i;
  }
  return out;
}

std::optional<QByteArray> HtmlStartTag::value(int i) const {
  if (i < 0 || i >= raw.size() || !raw[i]) return std::nullopt;
  return DecodeAttributeValue(*raw[i]);
}

HtmlTagReader::HtmlTagReader(QByteArrayView page, QList<QByteArray> tagNames,
                             QList<QByteArray> attributeNames, QList<QByteArray> svgTagNames)
    : p_(page.data()),
      end_(page.data() + page.size()),
      begin_(page.data()),
      tagNames_(std::move(tagNames)),
      attributeNames_(std::move(attributeNames)),
      svgTagNames_(std::move(svgTagNames)) {}

int HtmlTagReader::tagKind(QByteArrayView name) const {
  for (int k = 0; k < tagNames_.size(); ++k)
    if (sameName(name, tagNames_[k])) return k;
  // The parser takes <image> for <img> (outside <svg>, where it is an element of its own).
  if (sameName(name, std::string_view("image")))
    return int(tagNames_.indexOf(QByteArrayLiteral("img")));
  return -1;
}

int HtmlTagReader::svgTagKind(QByteArrayView name) const {
  for (int k = 0; k < svgTagNames_.size(); ++k)
    if (sameName(name, svgTagNames_[k])) return int(tagNames_.size()) + k;
  return -1;
}

bool HtmlTagReader::next(HtmlStartTag& out) {
  while (p_ < end_) {
    if (text_ != Text::Data) {
      skipText();
      continue;
    }
    const void* lt = std::memchr(p_, '<', size_t(end_ - p_));
    if (!lt) break;
    const char* at = static_cast<const char*>(lt);
    p_ = at + 1;
    if (p_ == end_) break;
    const char c = *p_;
    if (c == '!') {
      ++p_;
      skipMarkupDeclaration();
    } else if (c == '/') {
      ++p_;
      if (p_ < end_ && isAlpha(*p_)) {
        Tag tag;
        tag.end = true;
        if (!readTag(tag, out)) break;
        afterTag(tag);
      } else if (p_ < end_ && *p_ == '>') {
        ++p_;
      } else {
        skipTo('>');  // a bogus comment
      }
    } else if (c == '?') {
      skipTo('>');
    } else if (isAlpha(c)) {
      Tag tag;
      tag.position = at - begin_;
      if (!readTag(tag, out)) break;
      out.end = p_ - begin_;
      afterTag(tag);
      if (out.kind >= 0) {
        out.position = tag.position;
        return true;
      }
    }
  }
  p_ = end_;
  return false;
}

bool HtmlTagReader::readTag(Tag& tag, HtmlStartTag& out) {
  const char* name = p_;
  while (p_ < end_ && !isSpace(*p_) && *p_ != '/' && *p_ != '>') ++p_;
  tag.name = QByteArrayView(name, p_ - name);
  out.kind = -1;
  if (!tag.end) {
    // HTML takes the tag back: the foreign elements up to an HTML island end.
    if (inForeign() && nameIn(tag.name, kLeaveForeign)) {
      while (!foreign_.empty() && !isIsland(foreign_.back())) foreign_.pop_back();
    }
    if (templateDepth_ == 0) {
      // Foreign content is SVG's when the innermost open root is <svg>.
      if (!inForeign())
        out.kind = tagKind(tag.name);
      else if (foreign_.back() == Svg)
        out.kind = svgTagKind(tag.name);
    }
  }
  const bool keep = out.kind >= 0;
  if (keep) out.raw = QList<std::optional<QByteArrayView>>(attributeNames_.size());
  bool closed = false;
  attributes(tag, out, keep, closed);
  if (!closed) out.kind = -1;  // the page ended inside the tag: it is no tag
  return closed;
}

void HtmlTagReader::attributes(Tag& tag, HtmlStartTag& out, bool keep, bool& closed) {
  closed = false;
  for (;;) {
    while (p_ < end_ && isSpace(*p_)) ++p_;
    if (p_ == end_) return;
    if (*p_ == '>') {
      ++p_;
      closed = true;
      return;
    }
    if (*p_ == '/') {
      ++p_;
      if (p_ < end_ && *p_ == '>') {
        ++p_;
        tag.selfClosing = true;
        closed = true;
        return;
      }
      continue;
    }
    // The name: its first character may be "=".
    const char* name = p_++;
    while (p_ < end_ && !isSpace(*p_) && *p_ != '/' && *p_ != '>' && *p_ != '=') ++p_;
    const QByteArrayView attributeName(name, p_ - name);
    while (p_ < end_ && isSpace(*p_)) ++p_;
    if (p_ == end_) return;
    QByteArrayView value(p_, 0);  // none written: empty, where it would stand
    if (*p_ == '=') {
      ++p_;
      while (p_ < end_ && isSpace(*p_)) ++p_;
      if (p_ == end_) return;
      if (*p_ == '"' || *p_ == '\'') {
        const char quote = *p_++;
        const void* close = std::memchr(p_, quote, size_t(end_ - p_));
        if (!close) {
          p_ = end_;
          return;
        }
        value = QByteArrayView(p_, static_cast<const char*>(close) - p_);
        p_ = static_cast<const char*>(close) + 1;
      } else if (*p_ != '>') {
        const char* v = p_;
        while (p_ < end_ && !isSpace(*p_) && *p_ != '>') ++p_;
        if (p_ == end_) return;
        value = QByteArrayView(v, p_ - v);
      }
    }
    if (!keep) continue;
    for (qsizetype a = 0; a < attributeNames_.size(); ++a) {
      // The first of each name counts; the parser drops the others.
      if (!out.raw[a] && sameName(attributeName, attributeNames_[a])) out.raw[a] = value;
    }
  }
}

bool HtmlTagReader::inForeign() const {
  return !foreign_.empty() && !isIsland(foreign_.back());
}

void HtmlTagReader::afterTag(const Tag& tag) {
  const QByteArrayView name = tag.name;
  const Foreign foreign = foreignKind(name);
  if (tag.end) {
    if (sameName(name, std::string_view("template")) && templateDepth_ > 0) --templateDepth_;
    // The end tag closes the nearest open element of its name, and what was opened inside it.
    if (foreign != NotForeign) {
      const auto open = std::find(foreign_.rbegin(), foreign_.rend(), foreign);
      if (open != foreign_.rend()) foreign_.erase(std::next(open).base(), foreign_.end());
    }
    return;
  }
  if (inForeign()) {
    // Inside <svg> or <math>: their islands hold HTML; <style>, <script>, <title> hold tags.
    const unsigned char root = *std::find_if(foreign_.rbegin(), foreign_.rend(),
                                             [](auto f) { return f == Svg || f == Math; });
    const bool island = isIsland(foreign) && isSvgIsland(foreign) == (root == Svg);
    if (!tag.selfClosing && (island || foreign == Svg || foreign == Math))
      foreign_.push_back(foreign);
    return;
  }
  if (foreign == Svg || foreign == Math) {
    if (!tag.selfClosing) foreign_.push_back(foreign);
    return;
  }
  if (sameName(name, std::string_view("template"))) {
    ++templateDepth_;
    return;
  }
  if (sameName(name, std::string_view("plaintext"))) {
    text_ = Text::PlainText;
  } else if (sameName(name, std::string_view("script"))) {
    text_ = Text::ScriptData;
  } else if (nameIn(name, kRcData)) {
    text_ = Text::RcData;
  } else if (nameIn(name, kRawText)) {
    text_ = Text::RawText;
  } else {
    return;
  }
  textEnd_.resize(name.size());
  for (qsizetype i = 0; i < name.size(); ++i) textEnd_[i] = lower(name[i]);
}

void HtmlTagReader::skipTo(char c) {
  const void* at = std::memchr(p_, c, size_t(end_ - p_));
  p_ = at ? static_cast<const char*>(at) + 1 : end_;
}

void HtmlTagReader::skipMarkupDeclaration() {
  const auto startsWith = [&](std::string_view s) {
    return end_ - p_ >= qsizetype(s.size()) && std::memcmp(p_, s.data(), s.size()) == 0;
  };
  if (startsWith("--")) {
    p_ += 2;
    skipComment();
  } else if (inForeign() && startsWith("[CDATA[")) {
    const std::string_view rest(p_, size_t(end_ - p_));
    const size_t close = rest.find("]]>");
    p_ = close == std::string_view::npos ? end_ : p_ + close + 3;
  } else {
    skipTo('>');  // a doctype, or a bogus comment
  }
}

// From just after "<!--": "<!-->" and "<!--->" are whole comments; any other ends at the first
// "--" (more dashes allowed) followed by ">" or "!>".
void HtmlTagReader::skipComment() {
  if (p_ < end_ && *p_ == '>') {
    ++p_;
    return;
  }
  if (end_ - p_ >= 2 && p_[0] == '-' && p_[1] == '>') {
    p_ += 2;
    return;
  }
  while (p_ < end_) {
    const void* dash = std::memchr(p_, '-', size_t(end_ - p_));
    if (!dash) break;
    const char* d = static_cast<const char*>(dash);
    if (d + 1 == end_) break;
    if (d[1] != '-') {
      p_ = d + 1;
      continue;
    }
    const char* r = d + 2;
    while (r < end_ && *r == '-') ++r;
    if (r < end_ && *r == '>') {
      p_ = r + 1;
      return;
    }
    if (end_ - r >= 2 && r[0] == '!' && r[1] == '>') {
      p_ = r + 2;
      return;
    }
    p_ = r;
  }
  p_ = end_;
}

bool HtmlTagReader::atEndTagOf(QByteArrayView name) {
  const qsizetype n = name.size();
  if (end_ - p_ < n + 2 || *p_ != '/') return false;
  for (qsizetype i = 0; i < n; ++i)
    if (lower(p_[1 + i]) != name[i]) return false;
  const char after = p_[1 + n];
  if (!isSpace(after) && after != '/' && after != '>') return false;
  p_ += 1 + n;
  return true;
}

// After the name of the end tag that ends a text element: its attributes, if any, and its ">".
void HtmlTagReader::skipEndTagRest() {
  Tag tag;
  tag.end = true;
  HtmlStartTag ignored;
  bool closed = false;
  attributes(tag, ignored, false, closed);
}

void HtmlTagReader::skipText() {
  if (text_ == Text::PlainText) {
    p_ = end_;
    return;
  }
  if (text_ == Text::ScriptData) {
    skipScriptData();
    return;
  }
  while (p_ < end_) {
    skipTo('<');
    if (p_ == end_) break;
    if (atEndTagOf(textEnd_)) {
      skipEndTagRest();
      break;
    }
  }
  text_ = Text::Data;
}

// The text of a <script> up to its end tag, through the "<!--" escapes that hide a
// "</script>" written inside a nested "<script>".
void HtmlTagReader::skipScriptData() {
  enum class S { Data, Escaped, EscapedDash, EscapedDashDash, Double, DoubleDash, DoubleDashDash };
  static const QByteArray kScript = QByteArrayLiteral("script");
  // A name after "<" or "</" in an escaped script, read to its end: whether it is "script".
  const auto nameIsScript = [&]() -> std::optional<bool> {
    const char* name = p_;
    while (p_ < end_ && isAlpha(*p_)) ++p_;
    if (p_ == end_) return std::nullopt;
    const char c = *p_;
    if (!isSpace(c) && c != '/' && c != '>') return std::nullopt;  // not a name's end: text
    ++p_;
    return sameName(QByteArrayView(name, p_ - 1 - name), kScript);
  };
  S s = S::Data;
  while (p_ < end_) {
    if (s == S::Data) {
      skipTo('<');
      if (p_ == end_) break;
      if (atEndTagOf(kScript)) break;
      if (end_ - p_ >= 3 && p_[0] == '!' && p_[1] == '-' && p_[2] == '-') {
        p_ += 3;
        s = S::EscapedDashDash;
      }
      continue;
    }
    const char c = *p_++;
    const bool inDouble = s == S::Double || s == S::DoubleDash || s == S::DoubleDashDash;
    if (c == '-') {
      if (s == S::Escaped || s == S::EscapedDash) s = S(int(s) + 1);
      if (s == S::Double || s == S::DoubleDash) s = S(int(s) + 1);
      continue;
    }
    if (c == '>' && (s == S::EscapedDashDash || s == S::DoubleDashDash)) {
      s = S::Data;
      continue;
    }
    if (c != '<') {
      s = inDouble ? S::Double : S::Escaped;
      continue;
    }
    if (!inDouble) {
      if (atEndTagOf(kScript)) break;
      s = S::Escaped;
      if (p_ < end_ && isAlpha(*p_)) {
        const std::optional<bool> script = nameIsScript();
        if (script && *script) s = S::Double;
      }
    } else {
      s = S::Double;
      if (p_ < end_ && *p_ == '/') {
        ++p_;
        const std::optional<bool> script = nameIsScript();
        if (script && *script) s = S::Escaped;
      }
    }
  }
  if (p_ < end_) skipEndTagRest();
  text_ = Text::Data;
}

}  // namespace quorvel
