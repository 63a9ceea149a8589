#include "bench/media_query.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

using T = CssTokenType;

bool isIdent(const CssToken& t, QByteArrayView name) {
  return t.type == T::Ident && t.value.compare(name, Qt::CaseInsensitive) == 0;
}

// Expressions over a token list: [pos, end).
class Reader {
 public:
  Reader(const QList<CssToken>& tokens, const Viewport& viewport, qsizetype pos, qsizetype end)
      : t_(tokens), v_(viewport), pos_(pos), end_(end) {}

  bool atEnd() const { return pos_ >= end_; }
  const CssToken& peek() const { return t_[pos_]; }

  // The index just after the block or function that opens at `open` ends; `end_` if unclosed.
  qsizetype blockEnd(qsizetype open) const {
    int depth = 0;
    for (qsizetype k = open; k < end_; ++k) {
      const T type = t_[k].type;
      if (type == T::LeftParen || type == T::Function || type == T::LeftSquare ||
          type == T::LeftCurly)
        ++depth;
      else if (type == T::RightParen || type == T::RightSquare || type == T::RightCurly)
        if (--depth == 0) return k + 1;
    }
    return end_;
  }

  // A sum of a calc() expression; the flag says whether it is a length (else a number).
  struct Value {
    double value = 0;
    bool length = false;
  };

  std::optional<Value> sum() {
    std::optional<Value> left = product();
    while (left && !atEnd() && peek().type == T::Delim &&
           (peek().value == "+" || peek().value == "-")) {
      const bool minus = peek().value == "-";
      ++pos_;
      const std::optional<Value> right = product();
      if (!right || right->length != left->length) return std::nullopt;
      left->value += minus ? -right->value : right->value;
    }
    return left;
  }

  std::optional<Value> product() {
    std::optional<Value> left = term();
    while (left && !atEnd() && peek().type == T::Delim &&
           (peek().value == "*" || peek().value == "/")) {
      const bool divide = peek().value == "/";
      ++pos_;
      const std::optional<Value> right = term();
      if (!right || right->length || (left->length && right->length)) return std::nullopt;
      if (divide && right->value == 0) return std::nullopt;
      left->value = divide ? left->value / right->value : left->value * right->value;
    }
    return left;
  }

  std::optional<Value> term() {
    if (atEnd()) return std::nullopt;
    const CssToken& t = peek();
    if (t.type == T::Number) {
      ++pos_;
      return Value{t.number, false};
    }
    if (t.type == T::Dimension) {
      ++pos_;
      const std::optional<double> px = unitPixels(t.value);
      if (!px) return std::nullopt;
      return Value{t.number * *px, true};
    }
    if (t.type == T::LeftParen || t.type == T::Function) {
      const qsizetype close = blockEnd(pos_);
      if (close > end_ || t_[close - 1].type != T::RightParen) return std::nullopt;
      const QByteArray name = t.type == T::Function ? t.value.toLower() : QByteArray("calc");
      std::optional<Value> v = mathFunction(name, pos_ + 1, close - 1);
      pos_ = close;
      return v;
    }
    return std::nullopt;
  }

  std::optional<double> unitPixels(QByteArrayView unit) const {
    const double vw = v_.width / 100.0, vh = v_.height / 100.0;
    const std::pair<const char*, double> units[] = {
        {"px", 1},
        {"em", 16},
        {"rem", 16},
        {"ex", 8},
        {"ch", 8},
        {"vw", vw},
        {"vh", vh},
        {"vi", vw},
        {"vb", vh},
        {"svw", vw},
        {"lvw", vw},
        {"dvw", vw},
        {"svh", vh},
        {"lvh", vh},
        {"dvh", vh},
        {"vmin", std::min(vw, vh)},
        {"vmax", std::max(vw, vh)},
        {"in", 96},
        {"cm", 96 / 2.54},
        {"mm", 96 / 25.4},
        {"q", 96 / 101.6},
        {"pt", 96 / 72.0},
        {"pc", 16},
    };
    for (const auto& [name, px] : units)
      if (unit.compare(name, Qt::CaseInsensitive) == 0) return px;
    return std::nullopt;
  }

 private:
  const QList<CssToken>& t_;
  const Viewport& v_;
  qsizetype pos_, end_;

  // calc(), min(), max(), clamp() over [from, to).
  std::optional<Value> mathFunction(QByteArrayView name, qsizetype from, qsizetype to) const {
    QList<Value> args;
    qsizetype start = from;
    for (qsizetype k = from; k <= to; ++k) {
      if (k < to && t_[k].type != T::Comma) {
        if (t_[k].type == T::LeftParen || t_[k].type == T::Function) k = blockEnd(k) - 1;
        continue;
      }
      Reader arg(t_, v_, start, k);
      std::optional<Value> v = arg.sum();
      if (!v || !arg.atEnd()) return std::nullopt;
      args << *v;
      start = k + 1;
    }
    for (const Value& a : args)
      if (a.length != args.first().length) return std::nullopt;
    if (name == "calc" && args.size() == 1) return args.first();
    if ((name == "min" || name == "max") && !args.isEmpty()) {
      Value out = args.first();
      for (const Value& a : args)
        out.value = name == "min" ? std::min(out.value, a.value) : std::max(out.value, a.value);
      return out;
    }
    if (name == "clamp" && args.size() == 3)
      return Value{std::max(args[0].value, std::min(args[1].value, args[2].value)), args[0].length};
    return std::nullopt;
  }
};

// A media feature's value: a length, a resolution in dppx, a ratio, a number or an ident.
struct FeatureValue {
  enum class Kind { Length, Resolution, Number, Ident } kind = Kind::Number;
  double number = 0;
  QByteArray ident;
};

std::optional<FeatureValue> featureValue(const QList<CssToken>& t, qsizetype from, qsizetype to,
                                         const Viewport& v) {
  if (from >= to) return std::nullopt;
  if (to - from == 1 && t[from].type == T::Ident)
    return FeatureValue{FeatureValue::Kind::Ident, 0, t[from].value.toLower()};
  if (to - from == 1 && t[from].type == T::Dimension) {
    const QByteArray unit = t[from].value.toLower();
    const double n = t[from].number;
    if (unit == "dppx" || unit == "x") return FeatureValue{FeatureValue::Kind::Resolution, n, {}};
    if (unit == "dpi") return FeatureValue{FeatureValue::Kind::Resolution, n / 96, {}};
    if (unit == "dpcm") return FeatureValue{FeatureValue::Kind::Resolution, n * 2.54 / 96, {}};
  }
  if (to - from == 3 && t[from].type == T::Number && t[from + 1].type == T::Delim &&
      t[from + 1].value == "/" && t[from + 2].type == T::Number && t[from + 2].number > 0)
    return FeatureValue{FeatureValue::Kind::Number, t[from].number / t[from + 2].number, {}};
  if (to - from == 1 && t[from].type == T::Number && t[from].number != 0)
    return FeatureValue{FeatureValue::Kind::Number, t[from].number, {}};
  if (const std::optional<double> px = LengthInPixels(t.mid(from, to - from), v))
    return FeatureValue{FeatureValue::Kind::Length, *px, {}};
  return std::nullopt;
}

// What the screen says of a feature (without min-/max-), in the kind of value it takes.
std::optional<FeatureValue> screenFeature(QByteArrayView name, const Viewport& v) {
  using K = FeatureValue::Kind;
  const double dpr = v.devicePixelRatio;
  if (name == "width" || name == "device-width")
    return FeatureValue{K::Length, double(v.width), {}};
  if (name == "height" || name == "device-height")
    return FeatureValue{K::Length, double(v.height), {}};
  if (name == "aspect-ratio" || name == "device-aspect-ratio")
    return FeatureValue{K::Number, double(v.width) / std::max(1, v.height), {}};
  if (name == "resolution") return FeatureValue{K::Resolution, dpr, {}};
  if (name == "-webkit-device-pixel-ratio") return FeatureValue{K::Number, dpr, {}};
  if (name == "color") return FeatureValue{K::Number, 8, {}};
  if (name == "monochrome" || name == "grid" || name == "color-index")
    return FeatureValue{K::Number, 0, {}};
  if (name == "orientation")
    return FeatureValue{K::Ident, 0, v.height >= v.width ? "portrait" : "landscape"};
  if (name == "hover" || name == "any-hover") return FeatureValue{K::Ident, 0, "hover"};
  if (name == "pointer" || name == "any-pointer") return FeatureValue{K::Ident, 0, "fine"};
  if (name == "prefers-color-scheme") return FeatureValue{K::Ident, 0, "light"};
  if (name == "prefers-reduced-motion" || name == "prefers-reduced-transparency")
    return FeatureValue{K::Ident, 0, "no-preference"};
  if (name == "prefers-contrast") return FeatureValue{K::Ident, 0, "no-preference"};
  if (name == "scan") return FeatureValue{K::Ident, 0, "progressive"};
  if (name == "update") return FeatureValue{K::Ident, 0, "fast"};
  if (name == "display-mode") return FeatureValue{K::Ident, 0, "browser"};
  if (name == "dynamic-range" || name == "video-dynamic-range")
    return FeatureValue{K::Ident, 0, "standard"};
  if (name == "forced-colors" || name == "inverted-colors")
    return FeatureValue{K::Ident, 0, "none"};
  return std::nullopt;
}

bool compare(double a, QByteArrayView op, double b) {
  if (op == "<") return a < b;
  if (op == "<=") return a <= b;
  if (op == ">") return a > b;
  if (op == ">=") return a >= b;
  return a == b;
}

// A comparison operator at k ("<", "<=", ">", ">=", "="); its length in tokens, 0 if none.
int comparison(const QList<CssToken>& t, qsizetype k, qsizetype end, QByteArray& op) {
  if (k < 0 || k >= end || t[k].type != T::Delim) return 0;
  op = t[k].value;
  if (op != "<" && op != ">" && op != "=") return 0;
  if (op != "=" && k + 1 < end && t[k + 1].type == T::Delim && t[k + 1].value == "=" &&
      t[k + 1].position == t[k].position + 1) {
    op += '=';
    return 2;
  }
  return 1;
}

QByteArray flipped(const QByteArray& op) {
  if (op.startsWith('<')) return '>' + op.mid(1);
  if (op.startsWith('>')) return '<' + op.mid(1);
  return op;
}

class Conditions {
 public:
  Conditions(const QList<CssToken>& tokens, const Viewport& viewport)
      : t_(tokens), v_(viewport), r_(tokens, viewport, 0, tokens.size()) {}

  // [from, to): "not" C | C ("and" C)* | C ("or" C)*; none when it does not parse.
  std::optional<bool> condition(qsizetype from, qsizetype to) {
    if (from >= to) return std::nullopt;
    if (isIdent(t_[from], "not")) {
      const qsizetype close = r_.blockEnd(from + 1);
      if (close != to) return std::nullopt;
      const std::optional<bool> inner = inParens(from + 1, close);
      if (!inner) return std::nullopt;
      return !*inner;
    }
    bool all = true, any = false;
    QByteArray joiner;
    for (qsizetype k = from; k < to;) {
      if (k > from) {
        if (t_[k].type != T::Ident) return std::nullopt;
        const QByteArray word = t_[k].value.toLower();
        if ((word != "and" && word != "or") || (!joiner.isEmpty() && word != joiner))
          return std::nullopt;
        joiner = word;
        ++k;
      }
      if (k >= to) return std::nullopt;
      const qsizetype close = r_.blockEnd(k);
      const std::optional<bool> one = inParens(k, std::min(close, to));
      if (!one) return std::nullopt;
      all = all && *one;
      any = any || *one;
      k = close;
    }
    return joiner == "or" ? any : all;
  }

 private:
  const QList<CssToken>& t_;
  const Viewport& v_;
  Reader r_;

  // "(" condition or feature ")"; anything else in parentheses or a function is unknown
  // (false), as the general-enclosed rule says.
  std::optional<bool> inParens(qsizetype from, qsizetype to) {
    if (from >= to) return std::nullopt;
    if (t_[from].type == T::Function) return false;
    if (t_[from].type != T::LeftParen || t_[to - 1].type != T::RightParen || to - from < 2)
      return std::nullopt;
    const qsizetype a = from + 1, b = to - 1;
    if (a < b && (t_[a].type == T::LeftParen || isIdent(t_[a], "not")))
      return condition(a, b).value_or(false);
    return feature(a, b).value_or(false);
  }

  // "name: value", "name", or a range ("width >= 600px", "400px < width < 800px").
  std::optional<bool> feature(qsizetype a, qsizetype b) {
    if (a >= b) return std::nullopt;
    if (t_[a].type == T::Ident && (b - a == 1 || t_[a + 1].type == T::Colon)) {
      QByteArray name = t_[a].value.toLower();
      if (b - a == 1) {  // boolean: true unless none/0
        const std::optional<FeatureValue> s = screenFeature(name, v_);
        if (!s) return false;
        return s->kind == FeatureValue::Kind::Ident ? s->ident != "none" : s->number != 0;
      }
      QByteArray op = "=";
      for (const char* prefix : {"min-", "max-", "-webkit-min-", "-webkit-max-"}) {
        if (name.startsWith(prefix)) {
          op = QByteArrayView(prefix).contains("min") ? ">=" : "<=";
          name = (QByteArrayView(prefix).startsWith("-webkit") ? "-webkit-" : "") +
                 name.mid(qstrlen(prefix));
          break;
        }
      }
      return test(name, op, a + 2, b);
    }
    // Ranges: value op name [op value], or name op value.
    QByteArray op1, op2;
    if (t_[a].type == T::Ident) {
      const int n = comparison(t_, a + 1, b, op1);
      if (n == 0) return std::nullopt;
      return test(t_[a].value.toLower(), op1, a + 1 + n, b);
    }
    for (qsizetype k = a; k < b; ++k) {
      if (t_[k].type != T::Ident) continue;
      const int n1 = comparison(t_, k - 2, k, op1) == 2 ? 2 : comparison(t_, k - 1, k, op1);
      if (n1 == 0) return std::nullopt;
      const QByteArray name = t_[k].value.toLower();
      const std::optional<bool> left = test(name, flipped(op1), a, k - n1);
      if (!left || k + 1 == b) return left;
      const int n2 = comparison(t_, k + 1, b, op2);
      if (n2 == 0) return std::nullopt;
      const std::optional<bool> right = test(name, op2, k + 1 + n2, b);
      if (!right) return std::nullopt;
      return *left && *right;
    }
    return std::nullopt;
  }

  // Whether the screen's `name` `op` the value in [from, to).
  std::optional<bool> test(const QByteArray& name, const QByteArray& op, qsizetype from,
                           qsizetype to) {
    const std::optional<FeatureValue> given = featureValue(t_, from, to, v_);
    if (!given) return std::nullopt;
    const std::optional<FeatureValue> screen = screenFeature(name, v_);
    if (!screen) return false;
    if (screen->kind == FeatureValue::Kind::Ident)
      return given->kind == FeatureValue::Kind::Ident && op == "=" && given->ident == screen->ident;
    FeatureValue g = *given;
    if (screen->kind == FeatureValue::Kind::Number && g.kind == FeatureValue::Kind::Length)
      return false;
    if (g.kind == FeatureValue::Kind::Number && screen->kind == FeatureValue::Kind::Length) {
      if (g.number != 0) return false;
      g.kind = FeatureValue::Kind::Length;
    }
    if (screen->kind != g.kind) return false;
    return compare(screen->number, op, g.number);
  }
};

// Nesting deeper than this is no media query or length of a real page; refusing it keeps the
// evaluation's recursion and work bounded.
constexpr int kMaxNesting = 32;

bool shallow(const QList<CssToken>& tokens) {
  int depth = 0;
  for (const CssToken& t : tokens) {
    if (t.type == T::LeftParen || t.type == T::Function || t.type == T::LeftSquare ||
        t.type == T::LeftCurly) {
      if (++depth > kMaxNesting) return false;
    } else if (t.type == T::RightParen || t.type == T::RightSquare || t.type == T::RightCurly) {
      depth = std::max(0, depth - 1);
    }
  }
  return true;
}

}  // namespace

QList<CssToken> SignificantTokens(QByteArrayView css) {
  QList<CssToken> out;
  CssTokenizer tokenizer(css);
  for (CssToken t = tokenizer.next(); t.type != T::End; t = tokenizer.next())
    if (t.type != T::Whitespace) out << t;
  return out;
}

std::optional<double> LengthInPixels(const QList<CssToken>& tokens, const Viewport& viewport) {
  if (tokens.size() == 1 && tokens[0].type == T::Number && tokens[0].number == 0) return 0.0;
  if (!shallow(tokens)) return std::nullopt;
  Reader reader(tokens, viewport, 0, tokens.size());
  if (!tokens.isEmpty() && tokens[0].type == T::LeftParen) return std::nullopt;
  const std::optional<Reader::Value> v = reader.sum();
  if (!v || !v->length || !reader.atEnd() || !std::isfinite(v->value)) return std::nullopt;
  return v->value;
}

bool MediaConditionMatches(const QList<CssToken>& tokens, const Viewport& viewport) {
  return shallow(tokens) &&
         Conditions(tokens, viewport).condition(0, tokens.size()).value_or(false);
}

// Each query: a condition, or ["not" | "only"] media type ["and" condition-without-or].
bool MediaMatches(QByteArrayView mediaQueryList, const Viewport& viewport) {
  return MediaListMatches(SignificantTokens(mediaQueryList), viewport);
}

bool MediaListMatches(const QList<CssToken>& tokens, const Viewport& viewport) {
  if (tokens.isEmpty()) return true;
  if (!shallow(tokens)) return false;
  Reader reader(tokens, viewport, 0, tokens.size());
  qsizetype start = 0;
  for (qsizetype k = 0; k <= tokens.size(); ++k) {
    if (k < tokens.size() && tokens[k].type != T::Comma) {
      if (tokens[k].type == T::LeftParen || tokens[k].type == T::Function)
        k = reader.blockEnd(k) - 1;
      continue;
    }
    const QList<CssToken> query = tokens.mid(start, k - start);
    start = k + 1;
    if (query.isEmpty()) continue;
    qsizetype i = 0;
    bool negate = false;
    if (isIdent(query[0], "not") && query.size() > 1 && query[1].type == T::Ident) {
      negate = true;
      i = 1;
    } else if (isIdent(query[0], "only")) {
      i = 1;
    }
    bool matches;
    if (i < query.size() && query[i].type == T::Ident && !isIdent(query[i], "not")) {
      const QByteArray type = query[i].value.toLower();
      if (type == "and" || type == "or" || type == "only") continue;
      matches = type == "all" || type == "screen";
      if (i + 1 < query.size()) {
        if (!isIdent(query[i + 1], "and") || i + 2 >= query.size()) continue;
        const std::optional<bool> c = Conditions(query, viewport).condition(i + 2, query.size());
        if (!c) continue;
        matches = matches && *c;
      }
      if (negate) matches = !matches;
    } else if (i == 0) {
      const std::optional<bool> c = Conditions(query, viewport).condition(0, query.size());
      if (!c) continue;
      matches = *c;
    } else {
      continue;
    }
    if (matches) return true;
  }
  return false;
}

}  // namespace quorvel
