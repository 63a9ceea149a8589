#include "bench/module_imports.h"

#include <QSet>
#include <optional>

namespace quorvel {

namespace {

bool isIdentifierByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;
}

// The tokens that matter here: names, string literals and single punctuators.
struct Token {
  enum Kind { End, Name, String, Punct, Literal } kind = End;
  QByteArray text;  // the name, the string's value, or the punctuator; nothing for a template
                    // or a regular expression (Literal)
};

// The names after which a "/" starts a regular expression rather than a division.
bool regexMayFollow(const Token& previous) {
  switch (previous.kind) {
    case Token::End:
      return true;
    case Token::String:
    case Token::Literal:
      return false;
    case Token::Punct:
      return previous.text != ")" && previous.text != "]" && previous.text != "}";
    case Token::Name:
      break;
  }
  static const QSet<QByteArray> kKeywords = {"return", "typeof", "case",  "do",        "else",
                                             "in",     "of",     "new",   "delete",    "void",
                                             "throw",  "yield",  "await", "instanceof"};
  return kKeywords.contains(previous.text);
}

class Lexer {
 public:
  explicit Lexer(QByteArrayView js) : js_(js) {}

  Token next() {
    for (;;) {
      skipSpaceAndComments();
      if (i_ >= js_.size()) return previous_ = Token{};
      const char c = js_[i_];
      if (isIdentifierByte(static_cast<unsigned char>(c))) return previous_ = name();
      if (c == '"' || c == '\'') return previous_ = string(c);
      if (c == '`') {
        template_();
        previous_ = Token{Token::Literal, {}};
        continue;
      }
      if (c == '/' && regexMayFollow(previous_)) {
        regex();
        previous_ = Token{Token::Literal, {}};
        continue;
      }
      ++i_;
      if (c == '}' && !templateDepths_.isEmpty() && templateDepths_.last() == braces_) {
        templateDepths_.removeLast();  // the end of a ${...} in a template: back into it
        --i_;
        template_();
        previous_ = Token{Token::Literal, {}};
        continue;
      }
      if (c == '{') ++braces_;
      if (c == '}') --braces_;
      return previous_ = Token{Token::Punct, QByteArray(1, c)};
    }
  }

 private:
  QByteArrayView js_;
  qsizetype i_ = 0;
  Token previous_;
  int braces_ = 0;
  QList<int> templateDepths_;  // the brace depth at each open ${ of a template

  void skipSpaceAndComments() {
    while (i_ < js_.size()) {
      const char c = js_[i_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++i_;
      } else if (c == '/' && i_ + 1 < js_.size() && js_[i_ + 1] == '/') {
        while (i_ < js_.size() && js_[i_] != '\n' && js_[i_] != '\r') ++i_;
      } else if (c == '/' && i_ + 1 < js_.size() && js_[i_ + 1] == '*') {
        const qsizetype end = js_.indexOf(QByteArrayView("*/"), i_ + 2);
        i_ = end < 0 ? js_.size() : end + 2;
      } else {
        return;
      }
    }
  }

  Token name() {
    const qsizetype start = i_;
    while (i_ < js_.size() && isIdentifierByte(static_cast<unsigned char>(js_[i_]))) ++i_;
    return Token{Token::Name, js_.sliced(start, i_ - start).toByteArray()};
  }

  // A string literal's value: the common escapes decoded, a line end ending it.
  Token string(char quote) {
    QByteArray value;
    for (++i_; i_ < js_.size(); ++i_) {
      const char c = js_[i_];
      if (c == quote) {
        ++i_;
        break;
      }
      if (c == '\n' || c == '\r') break;
      if (c == '\\' && i_ + 1 < js_.size()) {
        const char e = js_[++i_];
        value += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        continue;
      }
      value += c;
    }
    return Token{Token::String, value};
  }

  // From a backquote (or the end of a ${...}) to the closing backquote or the next ${.
  void template_() {
    for (++i_; i_ < js_.size(); ++i_) {
      const char c = js_[i_];
      if (c == '\\') {
        ++i_;
      } else if (c == '`') {
        ++i_;
        return;
      } else if (c == '$' && i_ + 1 < js_.size() && js_[i_ + 1] == '{') {
        i_ += 2;
        templateDepths_ << braces_;
        return;
      }
    }
  }

  void regex() {
    bool inClass = false;
    for (++i_; i_ < js_.size(); ++i_) {
      const char c = js_[i_];
      if (c == '\n' || c == '\r') return;
      if (c == '\\') {
        ++i_;
      } else if (c == '[') {
        inClass = true;
      } else if (c == ']') {
        inClass = false;
      } else if (c == '/' && !inClass) {
        ++i_;
        while (i_ < js_.size() && isIdentifierByte(static_cast<unsigned char>(js_[i_]))) ++i_;
        return;
      }
    }
  }
};

// After `import` or `export`: the specifier of its `from "x"` (or, for import, of `import "x"`),
// if the tokens between are those of an import or export clause. `next` is left at the token
// that ended the clause otherwise.
std::optional<QByteArray> clauseSpecifier(Lexer& lexer, bool isImport, Token& next) {
  next = lexer.next();
  if (isImport && next.kind == Token::String) return next.text;
  // import(...) and import.meta are expressions; export of a declaration names no file.
  if (isImport && next.kind == Token::Punct && (next.text == "(" || next.text == "."))
    return std::nullopt;
  for (int steps = 0; steps < 4096 && next.kind != Token::End; ++steps) {
    if (next.kind == Token::Name && next.text == "from") {
      next = lexer.next();
      if (next.kind == Token::String) return next.text;
      return std::nullopt;
    }
    const bool clause = next.kind == Token::Name
                            ? !QSet<QByteArray>{"const",   "let",   "var",    "function", "class",
                                                "default", "async", "import", "export"}
                                   .contains(next.text)
                            : next.kind == Token::Punct && (next.text == "{" || next.text == "}" ||
                                                            next.text == "," || next.text == "*");
    if (!clause) return std::nullopt;
    next = lexer.next();
  }
  return std::nullopt;
}

}  // namespace

QList<QByteArray> ReadModuleImports(QByteArrayView js) {
  QList<QByteArray> out;
  QSet<QByteArray> seen;
  Lexer lexer(js);
  Token previous;
  Token t = lexer.next();
  while (t.kind != Token::End) {
    // A declaration starts a statement: not after a dot (obj.import) or inside an expression.
    const bool statementStart =
        previous.kind != Token::Punct || previous.text == ";" || previous.text == "}";
    if (t.kind == Token::Name && (t.text == "import" || t.text == "export") && statementStart) {
      Token next;
      if (const std::optional<QByteArray> s = clauseSpecifier(lexer, t.text == "import", next)) {
        if (!seen.contains(*s)) {
          seen.insert(*s);
          out << *s;
        }
        previous = Token{Token::Punct, ";"};  // the declaration ended
        t = lexer.next();
      } else {
        previous = t;
        t = next;  // which may start the next declaration
      }
      continue;
    }
    previous = t;
    t = lexer.next();
  }
  return out;
}

bool IsAddressSpecifier(const QByteArray& specifier) {
  if (specifier.startsWith('/') || specifier.startsWith("./") || specifier.startsWith("../"))
    return true;
  const qsizetype colon = specifier.indexOf(':');
  if (colon <= 0) return false;
  for (qsizetype i = 0; i < colon; ++i) {
    const char c = specifier[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
          (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))))
      return false;
  }
  return true;
}

}  // namespace quorvel
