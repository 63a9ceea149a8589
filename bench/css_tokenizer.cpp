#include "bench/css_tokenizer.h"

#include <QSet>
#include <QString>
#include <algorithm>
#include <vector>

#include "bench/media_query.h"

namespace quorvel {

namespace {

constexpr bool isDigit(int c) {
  return c >= '0' && c <= '9';
}
constexpr bool isHex(int c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
constexpr int hexValue(int c) {
  return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
}
constexpr bool isWhitespace(int c) {
  return c == ' ' || c == '\t' || c == '\n';
}
constexpr bool isIdentStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
constexpr bool isIdentChar(int c) {
  return isIdentStart(c) || isDigit(c) || c == '-';
}
constexpr bool isNonPrintable(int c) {
  return (c >= 0 && c <= 8) || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F;
}

void appendUtf8(QByteArray& out, char32_t c) {
  out.append(QString::fromUcs4(&c, 1).toUtf8());
}

// CR LF, CR and FF as LF; NUL as U+FFFD.
QByteArray preprocess(QByteArrayView css) {
  QByteArray out;
  out.reserve(css.size());
  for (qsizetype k = 0; k < css.size(); ++k) {
    const char c = css[k];
    if (c == '\r') {
      out.append('\n');
      if (k + 1 < css.size() && css[k + 1] == '\n') ++k;
    } else if (c == '\f') {
      out.append('\n');
    } else if (c == '\0') {
      out.append("\xEF\xBF\xBD");
    } else {
      out.append(c);
    }
  }
  return out;
}

bool equalsFolded(QByteArrayView a, QByteArrayView b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

CssTokenizer::CssTokenizer(QByteArrayView css) : in_(preprocess(css)) {}

int CssTokenizer::at(qsizetype k) const {
  return i_ + k < in_.size() ? static_cast<unsigned char>(in_[i_ + k]) : -1;
}

bool CssTokenizer::validEscape(qsizetype k) const {
  return at(k) == '\\' && at(k + 1) != '\n';
}

bool CssTokenizer::startsIdent(qsizetype k) const {
  const int c = at(k);
  if (c == '-') return isIdentStart(at(k + 1)) || at(k + 1) == '-' || validEscape(k + 1);
  if (isIdentStart(c)) return true;
  return validEscape(k);
}

bool CssTokenizer::startsNumber(qsizetype k) const {
  int c = at(k);
  if (c == '+' || c == '-') c = at(++k);
  if (isDigit(c)) return true;
  return c == '.' && isDigit(at(k + 1));
}

void CssTokenizer::skipComments() {
  while (at(0) == '/' && at(1) == '*') {
    const qsizetype close = in_.indexOf("*/", i_ + 2);
    i_ = close < 0 ? in_.size() : close + 2;
  }
}

// An escape's code point: up to 6 hex digits and one whitespace after them, else the next
// code point as it is. Zero, surrogates, values beyond Unicode and the end become U+FFFD.
void CssTokenizer::appendEscaped(QByteArray& out) {
  const int c = at(0);
  if (c == -1) {
    out.append("\xEF\xBF\xBD");
    return;
  }
  if (isHex(c)) {
    char32_t value = 0;
    for (int n = 0; n < 6 && isHex(at(0)); ++n, ++i_) value = value * 16 + hexValue(at(0));
    if (isWhitespace(at(0))) ++i_;
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) value = 0xFFFD;
    appendUtf8(out, value);
    return;
  }
  out.append(char(c));
  ++i_;
  if (c >= 0xC0)  // the rest of a UTF-8 sequence
    while (at(0) >= 0x80 && at(0) < 0xC0) out.append(char(at(0))), ++i_;
}

QByteArray CssTokenizer::identSequence() {
  QByteArray name;
  for (;;) {
    if (isIdentChar(at(0))) {
      const qsizetype start = i_;
      while (isIdentChar(at(0))) ++i_;
      name.append(QByteArrayView(in_).sliced(start, i_ - start));
    } else if (validEscape(0)) {
      ++i_;
      appendEscaped(name);
    } else {
      return name;
    }
  }
}

double CssTokenizer::numberValue() {
  const qsizetype start = i_;
  if (at(0) == '+' || at(0) == '-') ++i_;
  while (isDigit(at(0))) ++i_;
  if (at(0) == '.' && isDigit(at(1))) {
    i_ += 2;
    while (isDigit(at(0))) ++i_;
  }
  if ((at(0) == 'e' || at(0) == 'E') &&
      (isDigit(at(1)) || ((at(1) == '+' || at(1) == '-') && isDigit(at(2))))) {
    i_ += 2;
    while (isDigit(at(0))) ++i_;
  }
  bool ok = false;
  const double value = QByteArrayView(in_).sliced(start, i_ - start).toDouble(&ok);
  return ok ? value : 0;
}

CssToken CssTokenizer::numeric() {
  CssToken token;
  token.number = numberValue();
  if (startsIdent(0)) {
    token.type = CssTokenType::Dimension;
    token.value = identSequence();
  } else if (at(0) == '%') {
    ++i_;
    token.type = CssTokenType::Percentage;
  } else {
    token.type = CssTokenType::Number;
  }
  return token;
}

CssToken CssTokenizer::identLike() {
  CssToken token;
  token.value = identSequence();
  if (at(0) != '(') {
    token.type = CssTokenType::Ident;
    return token;
  }
  ++i_;
  if (!equalsFolded(token.value, "url")) {
    token.type = CssTokenType::Function;
    return token;
  }
  while (isWhitespace(at(0)) && isWhitespace(at(1))) ++i_;
  const int c = isWhitespace(at(0)) ? at(1) : at(0);
  if (c == '"' || c == '\'') {
    token.type = CssTokenType::Function;
    return token;
  }
  return url();
}

CssToken CssTokenizer::string(char quote) {
  CssToken token{CssTokenType::String, {}, 0, 0};
  for (;;) {
    const int c = at(0);
    if (c == -1) return token;
    if (c == quote) {
      ++i_;
      return token;
    }
    if (c == '\n') {  // left for the next token
      token.type = CssTokenType::BadString;
      token.value.clear();
      return token;
    }
    if (c == '\\') {
      ++i_;
      if (at(0) == -1) continue;
      if (at(0) == '\n') {
        ++i_;
        continue;
      }
      appendEscaped(token.value);
      continue;
    }
    const qsizetype start = i_;
    while (at(0) != -1 && at(0) != quote && at(0) != '\n' && at(0) != '\\') ++i_;
    token.value.append(QByteArrayView(in_).sliced(start, i_ - start));
  }
}

CssToken CssTokenizer::url() {
  CssToken token{CssTokenType::Url, {}, 0, 0};
  while (isWhitespace(at(0))) ++i_;
  for (;;) {
    const int c = at(0);
    if (c == -1) return token;
    ++i_;
    if (c == ')') return token;
    if (isWhitespace(c)) {
      while (isWhitespace(at(0))) ++i_;
      if (at(0) == ')' || at(0) == -1) {
        if (at(0) == ')') ++i_;
        return token;
      }
      break;
    }
    if (c == '"' || c == '\'' || c == '(' || isNonPrintable(c)) break;
    if (c == '\\') {
      if (at(0) == '\n') break;  // the backslash is no escape
      appendEscaped(token.value);
      continue;
    }
    token.value.append(char(c));
  }
  badUrlRemnants();
  return {CssTokenType::BadUrl, {}, 0, 0};
}

void CssTokenizer::badUrlRemnants() {
  for (;;) {
    const int c = at(0);
    if (c == -1) return;
    if (validEscape(0)) {  // an escaped ")" does not end it
      i_ += at(1) == -1 ? 1 : 2;
      continue;
    }
    ++i_;
    if (c == ')') return;
  }
}

CssToken CssTokenizer::next() {
  skipComments();
  const qsizetype start = i_;
  CssToken token;
  const int c = at(0);
  auto single = [&](CssTokenType type) {
    ++i_;
    token.type = type;
  };
  auto delim = [&] {
    ++i_;
    token.type = CssTokenType::Delim;
    token.value = QByteArray(1, char(c));
    if (c >= 0xC0)
      while (at(0) >= 0x80 && at(0) < 0xC0) token.value.append(char(at(0))), ++i_;
  };
  if (c == -1) {
    token.type = CssTokenType::End;
  } else if (isWhitespace(c)) {
    while (isWhitespace(at(0))) ++i_;
    token.type = CssTokenType::Whitespace;
  } else if (c == '"' || c == '\'') {
    ++i_;
    token = string(char(c));
  } else if (c == '#') {
    if (isIdentChar(at(1)) || validEscape(1)) {
      ++i_;
      token.type = CssTokenType::Hash;
      token.value = identSequence();
    } else {
      delim();
    }
  } else if (c == '(') {
    single(CssTokenType::LeftParen);
  } else if (c == ')') {
    single(CssTokenType::RightParen);
  } else if (c == ',') {
    single(CssTokenType::Comma);
  } else if (c == ':') {
    single(CssTokenType::Colon);
  } else if (c == ';') {
    single(CssTokenType::Semicolon);
  } else if (c == '[') {
    single(CssTokenType::LeftSquare);
  } else if (c == ']') {
    single(CssTokenType::RightSquare);
  } else if (c == '{') {
    single(CssTokenType::LeftCurly);
  } else if (c == '}') {
    single(CssTokenType::RightCurly);
  } else if (isDigit(c) || ((c == '+' || c == '.') && startsNumber(0))) {
    token = numeric();
  } else if (c == '-') {
    if (startsNumber(0)) {
      token = numeric();
    } else if (at(1) == '-' && at(2) == '>') {
      i_ += 3;
      token.type = CssTokenType::Cdc;
    } else if (startsIdent(0)) {
      token = identLike();
    } else {
      delim();
    }
  } else if (c == '<' && at(1) == '!' && at(2) == '-' && at(3) == '-') {
    i_ += 4;
    token.type = CssTokenType::Cdo;
  } else if (c == '@' && startsIdent(1)) {
    ++i_;
    token.type = CssTokenType::AtKeyword;
    token.value = identSequence();
  } else if (isIdentStart(c) || validEscape(0)) {
    token = identLike();
  } else {
    delim();
  }
  token.position = start;
  return token;
}

// ---------------------------------------------------------------------------------------------

namespace {

// One rule or declaration being read, in one block (or at the top level).
struct Statement {
  enum class Start { None, Ident, Custom, AtKeyword, Other };
  Start start = Start::None;
  QByteArray name;           // the ident's or at-keyword's name, lower case
  bool declaration = false;  // an ident followed by ":"
  bool afterName = false;    // the next token decides whether it is a declaration
  int index = -1;            // of the token read last, whitespace not counted
  QList<QByteArray> urls;    // found so far in it
  QList<CssToken> prelude;   // of an @media rule: its queries
  QByteArray property;       // a custom property's name, as written
  QList<QByteArray> uses;    // the custom properties it takes with var()
};

struct Block {
  bool fontFace = false;
  bool applies = true;  // false inside an @media rule the screen does not match
  Statement statement;
};

class ReferenceReader {
 public:
  ReferenceReader(QByteArrayView css, CssSource source, const Viewport& viewport)
      : tokens_(css),
        attribute_(source == CssSource::StyleAttribute),
        viewport_(viewport),
        ratio_(viewport.devicePixelRatio) {
    blocks_.push_back({});
  }

  QList<CssReference> read() {
    for (CssToken t = tokens_.next(); t.type != CssTokenType::End; t = tokens_.next()) take(t);
    endStatement();
    for (const auto& [property, urls] : customUrls_)
      if (used_.contains(property))
        for (const QByteArray& u : urls) found_ << CssReference{CssReferenceKind::Image, u};
    return found_;
  }

 private:
  CssTokenizer tokens_;
  bool attribute_;
  bool importsAllowed_ = true;
  const Viewport& viewport_;
  std::vector<Block> blocks_;   // the open {} blocks, the top level first
  std::vector<char> brackets_;  // the open ( and [ inside the current statement
  qsizetype urlFunction_ = -1;  // the bracket depth of an open url( function, if any
  // An open image-set(): its bracket depth, its options so far (address and density), and the
  // option being read.
  double ratio_;
  qsizetype imageSet_ = -1;
  QList<std::pair<QByteArray, double>> options_;
  std::pair<QByteArray, double> option_{{}, 1.0};

  QList<CssReference> found_;
  // Custom properties that hold url()s (only what uses them fetches), and those that
  // declarations use.
  bool varName_ = false;  // the token before was "var("
  QList<std::pair<QByteArray, QList<QByteArray>>> customUrls_;
  QSet<QByteArray> used_;

  bool topLevel() const { return blocks_.size() == 1; }
  Statement& statement() { return blocks_.back().statement; }

  void take(const CssToken& t) {
    using T = CssTokenType;
    if (t.type == T::Whitespace || t.type == T::Cdo || t.type == T::Cdc) {
      return;  // whitespace and the HTML comment marks change no statement's meaning
    }
    noteStart(t);
    if (statement().start == Statement::Start::AtKeyword && statement().name == "media" &&
        statement().index > 0 && t.type != CssTokenType::LeftCurly)
      statement().prelude << t;
    if (varName_ && t.type == CssTokenType::Ident) statement().uses << t.value;
    varName_ = t.type == CssTokenType::Function && equalsFolded(t.value, "var");
    switch (t.type) {
      case T::Url:
        if (imageSet_ > 0)
          option_.first = t.value;
        else if (isImport() ? statement().index == 1 : true)
          addUrl(t.value);
        return;
      case T::String:
        if (imageSet_ > 0) {
          if (urlFunction_ == qsizetype(brackets_.size()) ||
              imageSet_ == qsizetype(brackets_.size()))
            option_.first = t.value;
        } else if (isImport()
                       ? statement().index == 1 || (statement().index == 2 && urlFunction_ == 1)
                       : urlFunction_ == qsizetype(brackets_.size())) {
          addUrl(t.value);
        }
        return;
      case T::Dimension:
        if (imageSet_ == qsizetype(brackets_.size())) {
          const QByteArray unit = t.value.toLower();
          if (unit == "x" || unit == "dppx") option_.second = t.number;
          if (unit == "dpi") option_.second = t.number / 96;
          if (unit == "dpcm") option_.second = t.number * 2.54 / 96;
        }
        return;
      case T::Comma:
        if (imageSet_ == qsizetype(brackets_.size())) nextOption();
        return;
      case T::Function:
      case T::LeftParen:
      case T::LeftSquare:
        brackets_.push_back(t.type == T::LeftSquare ? '[' : '(');
        if (t.type == T::Function && equalsFolded(t.value, "url") && urlFunction_ < 0)
          urlFunction_ = qsizetype(brackets_.size());
        if (t.type == T::Function && imageSet_ < 0 &&
            (equalsFolded(t.value, "image-set") || equalsFolded(t.value, "-webkit-image-set")))
          imageSet_ = qsizetype(brackets_.size());
        return;
      case T::RightParen:
      case T::RightSquare:
        if (!brackets_.empty() && brackets_.back() == (t.type == T::RightSquare ? '[' : '(')) {
          if (urlFunction_ == qsizetype(brackets_.size())) urlFunction_ = -1;
          if (imageSet_ == qsizetype(brackets_.size())) closeImageSet();
          brackets_.pop_back();
        }
        return;
      case T::Semicolon:
        // At the top level only an at-rule ends at ";": a style rule's prelude goes on to "{".
        if (brackets_.empty() &&
            (!topLevel() || attribute_ || statement().start == Statement::Start::AtKeyword))
          endStatement();
        return;
      case T::LeftCurly:
        if (brackets_.empty()) openBlock();
        return;
      case T::RightCurly:
        if (brackets_.empty()) closeBlock();
        return;
      default:
        return;
    }
  }

  void nextOption() {
    if (!option_.first.isEmpty()) options_ << option_;
    option_ = {{}, 1.0};
  }

  // The option a browser takes, as among srcset candidates: the smallest density at least the
  // screen's ratio, else the densest.
  void closeImageSet() {
    nextOption();
    imageSet_ = -1;
    std::stable_sort(options_.begin(), options_.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& [url, density] : options_) {
      if (density >= ratio_) {
        addUrl(url);
        options_.clear();
        return;
      }
    }
    if (!options_.isEmpty()) addUrl(options_.back().first);
    options_.clear();
  }

  void addUrl(const QByteArray& url) {
    if (!url.isEmpty()) statement().urls << url;
  }

  bool isImport() {
    return topLevel() && !attribute_ && statement().start == Statement::Start::AtKeyword &&
           statement().name == "import";
  }

  // The first tokens of a statement say what it is.
  void noteStart(const CssToken& t) {
    Statement& s = statement();
    ++s.index;
    if (s.start == Statement::Start::None) {
      if (t.type == CssTokenType::Ident) {
        s.name = t.value.toLower();
        s.start = s.name.startsWith("--") ? Statement::Start::Custom : Statement::Start::Ident;
        if (s.start == Statement::Start::Custom) s.property = t.value;
        s.afterName = true;
      } else if (t.type == CssTokenType::AtKeyword) {
        s.start = Statement::Start::AtKeyword;
        s.name = t.value.toLower();
      } else {
        s.start = Statement::Start::Other;
      }
      return;
    }
    if (s.afterName) {
      s.afterName = false;
      s.declaration = t.type == CssTokenType::Colon && s.start == Statement::Start::Ident &&
                      (attribute_ || !topLevel());
    }
  }

  // A ";", "}" or the end closes a statement: a declaration's and an import's URLs count.
  void endStatement() {
    Statement& s = statement();
    const bool fontFace = blocks_.back().fontFace;
    if (!blocks_.back().applies) {
      // Its rules do not apply to the screen: nothing of them is fetched.
    } else if (isImport()) {
      if (importsAllowed_ && !s.urls.isEmpty())
        found_ << CssReference{CssReferenceKind::Stylesheet, s.urls.first()};
    } else if (s.declaration && !fontFace) {
      for (const QByteArray& u : s.urls) found_ << CssReference{CssReferenceKind::Image, u};
      for (const QByteArray& v : s.uses) used_.insert(v);
    } else if (s.declaration && s.name == "src") {
      for (const QByteArray& u : s.urls) found_ << CssReference{CssReferenceKind::Font, u};
    } else if (s.start == Statement::Start::Custom && !fontFace && !s.urls.isEmpty() &&
               (attribute_ || !topLevel())) {
      customUrls_.append({s.property, s.urls});
    }
    if (topLevel() && s.start != Statement::Start::None &&
        !(s.start == Statement::Start::AtKeyword &&
          (s.name == "import" || s.name == "charset" || s.name == "layer")))
      importsAllowed_ = false;
    s = {};
    brackets_.clear();
    urlFunction_ = -1;
    imageSet_ = -1;
    options_.clear();
    option_ = {{}, 1.0};
  }

  // A "{" makes what came before it a rule's prelude, whose URLs are not fetched.
  void openBlock() {
    Statement& s = statement();
    const bool fontFace = s.start == Statement::Start::AtKeyword && s.name == "font-face";
    const bool applies =
        blocks_.back().applies && !(s.start == Statement::Start::AtKeyword && s.name == "media" &&
                                    !MediaListMatches(s.prelude, viewport_));
    if (topLevel()) importsAllowed_ = false;
    s = {};
    urlFunction_ = -1;
    imageSet_ = -1;
    options_.clear();
    option_ = {{}, 1.0};
    blocks_.push_back({fontFace, applies, {}});
  }

  void closeBlock() {
    if (topLevel()) return;  // a stray "}" at the top level is part of a prelude
    endStatement();
    blocks_.pop_back();
    statement() = {};
  }
};

}  // namespace

QList<CssReference> ReadCssReferences(QByteArrayView css, CssSource source,
                                      const Viewport& viewport) {
  return ReferenceReader(css, source, viewport).read();
}

QList<CssReference> ReadCssReferences(QByteArrayView css, CssSource source) {
  return ReadCssReferences(css, source, Viewport{});
}

}  // namespace quorvel
