#include "bench/web_url.h"

#include <QUrl>
#include <algorithm>

namespace quorvel {

namespace {

// The longest address a browser fetches.
constexpr qsizetype kMaxReference = qsizetype(2) << 20;

constexpr bool isAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
constexpr bool isSlash(char c) {
  return c == '/' || c == '\\';
}

enum class Part { UserInfo, Path, Query };

// Whether a byte is written as "%XX" in that part of the address.
bool encoded(unsigned char c, Part part) {
  if (c <= 0x20 || c >= 0x7F) return true;
  const bool query = c == '"' || c == '#' || c == '<' || c == '>';
  if (part == Part::Query) return query || c == '\'';
  const bool path = query || c == '?' || c == '`' || c == '{' || c == '}';
  if (part == Part::Path) return path;
  return path || c == '/' || c == ':' || c == ';' || c == '=' || c == '@' || c == '[' ||
         c == '\\' || c == ']' || c == '^' || c == '|';
}

void appendEncoded(QByteArray& out, QByteArrayView text, Part part) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char b : text) {
    const auto c = static_cast<unsigned char>(b);
    if (!encoded(c, part)) {
      out.append(b);
      continue;
    }
    out.append('%');
    out.append(kHex[c >> 4]);
    out.append(kHex[c & 0xF]);
  }
}

// "." and its encoded forms; ".." likewise.
bool isSingleDot(QByteArrayView s) {
  return s == "." || s.compare("%2e", Qt::CaseInsensitive) == 0;
}
bool isDoubleDot(QByteArrayView s) {
  return s == ".." || s.compare(".%2e", Qt::CaseInsensitive) == 0 ||
         s.compare("%2e.", Qt::CaseInsensitive) == 0 ||
         s.compare("%2e%2e", Qt::CaseInsensitive) == 0;
}

// Appends the path `input` (its segments split at "/" and "\") to the segments in `path`
// ("/a/b" form), removing dot segments as the parser does.
void appendPath(QByteArray& path, QByteArrayView input) {
  qsizetype i = 0;
  const qsizetype n = input.size();
  if (n > 0 && isSlash(input[0])) i = 1;  // the path's own leading slash
  for (;;) {
    qsizetype j = i;
    while (j < n && !isSlash(input[j])) ++j;
    const QByteArrayView segment = input.sliced(i, j - i);
    const bool last = j == n;
    if (isDoubleDot(segment)) {
      const qsizetype cut = path.lastIndexOf('/');
      if (cut >= 0) path.truncate(cut);
      if (last) path.append('/');
    } else if (isSingleDot(segment)) {
      if (last) path.append('/');
    } else {
      path.append('/');
      appendEncoded(path, segment, Part::Path);
    }
    if (last) break;
    i = j + 1;
  }
  if (path.isEmpty()) path = "/";
}

// The IPv4 address of a host written as numbers (decimal, octal "0..", hex "0x.."), as the
// parser reads it; none when the host is no such address, an empty text when it is a broken
// one (the host is refused).
std::optional<QByteArray> ipv4(const QByteArray& host) {
  QList<QByteArray> parts = host.split('.');
  if (parts.size() > 1 && parts.last().isEmpty()) parts.removeLast();
  const auto number = [](const QByteArray& p, bool* ok) -> quint64 {
    *ok = false;
    if (p.isEmpty()) return 0;
    int base = 10;
    QByteArray digits = p;
    if (p.size() >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
      base = 16;
      digits = p.mid(2);
      if (digits.isEmpty()) {
        *ok = true;
        return 0;
      }
    } else if (p.size() >= 2 && p[0] == '0') {
      base = 8;
      digits = p.mid(1);
    }
    if (digits.size() > 20) return 0;
    return digits.toULongLong(ok, base);
  };
  bool lastOk = false;
  number(parts.value(parts.size() - 1), &lastOk);
  const QByteArray& lastPart = parts.value(parts.size() - 1);
  const bool lastAllDigits =
      !lastPart.isEmpty() && std::all_of(lastPart.begin(), lastPart.end(), isDigit);
  if (!lastOk && !lastAllDigits) return std::nullopt;  // an ordinary name
  if (parts.size() > 4) return QByteArray();
  quint64 address = 0;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    bool ok = false;
    const quint64 v = number(parts[i], &ok);
    if (!ok) return QByteArray();
    const bool final = i == parts.size() - 1;
    if (!final && v > 255) return QByteArray();
    if (final) {
      if (v >= (quint64(1) << (8 * (5 - parts.size())))) return QByteArray();
      address += v;
    } else {
      address += v << (8 * (3 - i));
    }
  }
  return QByteArray::number((address >> 24) & 255) + '.' +
         QByteArray::number((address >> 16) & 255) + '.' +
         QByteArray::number((address >> 8) & 255) + '.' + QByteArray::number(address & 255);
}

// The host as the parser keeps it: percent-decoded, lower case, a non-ASCII name through
// IDNA, numbers as an IPv4 address; none when a browser refuses it.
std::optional<QByteArray> parseHost(QByteArrayView raw) {
  if (raw.isEmpty()) return std::nullopt;
  if (raw.front() == '[') {
    if (raw.back() != ']') return std::nullopt;
    for (const char c : raw.sliced(1, raw.size() - 2))
      if (!(isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f') || c == ':' || c == '.'))
        return std::nullopt;
    return raw.toByteArray().toLower();
  }
  const QByteArray decoded = QByteArray::fromPercentEncoding(raw.toByteArray());
  QByteArray host;
  bool ascii = true;
  for (const char c : decoded) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    host = decoded.toLower();
  } else {
    host = QUrl::toAce(QString::fromUtf8(decoded));
    if (host.isEmpty()) return std::nullopt;
  }
  for (const char c : host) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '#' || c == '%' || c == '/' || c == ':' || c == '<' ||
        c == '>' || c == '?' || c == '@' || c == '[' || c == '\\' || c == ']' || c == '^' ||
        c == '|')
      return std::nullopt;
  }
  if (const std::optional<QByteArray> v4 = ipv4(host)) {
    if (v4->isEmpty()) return std::nullopt;
    return *v4;
  }
  return host;
}

// The authority "userinfo@host:port" of an address into `url`; false when a browser refuses it.
bool parseAuthority(QByteArrayView authority, WebUrl& url) {
  const qsizetype at = authority.lastIndexOf('@');
  url.userinfo.clear();
  if (at >= 0) {
    appendEncoded(url.userinfo, authority.first(at), Part::UserInfo);
    // The parser encodes ":" between name and password only in the password.
    const qsizetype colon = authority.first(at).indexOf(':');
    if (colon >= 0) {
      url.userinfo.clear();
      appendEncoded(url.userinfo, authority.first(colon), Part::UserInfo);
      url.userinfo.append(':');
      appendEncoded(url.userinfo, authority.sliced(colon + 1, at - colon - 1), Part::UserInfo);
    }
    authority = authority.sliced(at + 1);
  }
  qsizetype colon = -1;
  bool inBrackets = false;
  for (qsizetype i = 0; i < authority.size(); ++i) {
    if (authority[i] == '[') inBrackets = true;
    if (authority[i] == ']') inBrackets = false;
    if (authority[i] == ':' && !inBrackets) {
      colon = i;
      break;
    }
  }
  const std::optional<QByteArray> host = parseHost(colon >= 0 ? authority.first(colon) : authority);
  if (!host) return false;
  url.host = *host;
  url.port.clear();
  if (colon >= 0) {
    const QByteArrayView digits = authority.sliced(colon + 1);
    if (!std::all_of(digits.begin(), digits.end(), isDigit)) return false;
    if (!digits.isEmpty()) {
      qsizetype first = 0;
      while (first + 1 < digits.size() && digits[first] == '0') ++first;
      const QByteArrayView trimmed = digits.sliced(first);
      if (trimmed.size() > 5 || trimmed.toInt() > 65535) return false;
      const QByteArray port = trimmed.toByteArray();
      const QByteArray own = url.scheme == "https" ? "443" : "80";
      if (port != own) url.port = port;
    }
  }
  return true;
}

// The reference without what the parser ignores: leading and trailing C0 controls and blanks,
// and every tab and line break.
QByteArray cleaned(QByteArrayView input) {
  qsizetype b = 0, e = input.size();
  while (b < e && static_cast<unsigned char>(input[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(input[e - 1]) <= 0x20) --e;
  QByteArray out;
  out.reserve(e - b);
  for (qsizetype i = b; i < e; ++i)
    if (input[i] != '\t' && input[i] != '\n' && input[i] != '\r') out.append(input[i]);
  return out;
}

// The scheme at the start of `s` ("http" of "http:..."), lower case; empty when none.
QByteArray schemeOf(QByteArrayView s) {
  if (s.isEmpty() || !isAlpha(s[0])) return {};
  for (qsizetype i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == ':') return s.first(i).toByteArray().toLower();
    if (!(isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.')) return {};
  }
  return {};
}

// The rest of an address after its authority: path, query (fragment dropped).
void parsePathAndQuery(QByteArrayView rest, WebUrl& url, bool relative) {
  const qsizetype hash = rest.indexOf('#');
  if (hash >= 0) rest = rest.first(hash);
  const qsizetype q = rest.indexOf('?');
  const QByteArrayView path = q >= 0 ? rest.first(q) : rest;
  if (!relative) url.path.clear();
  appendPath(url.path, path);
  url.query.clear();
  if (q >= 0) {
    url.query.append('?');
    appendEncoded(url.query, rest.sliced(q + 1), Part::Query);
  }
}

// An address from "//" on (the slashes skipped) with the scheme already set.
std::optional<WebUrl> fromAuthority(QByteArrayView s, WebUrl url) {
  qsizetype i = 0;
  while (i < s.size() && isSlash(s[i])) ++i;
  qsizetype end = i;
  while (end < s.size() && !isSlash(s[end]) && s[end] != '?' && s[end] != '#') ++end;
  if (!parseAuthority(s.sliced(i, end - i), url)) return std::nullopt;
  parsePathAndQuery(s.sliced(end), url, false);
  return url;
}

}  // namespace

QByteArray WebUrl::text() const {
  QByteArray out = scheme + "://";
  if (!userinfo.isEmpty()) out += userinfo + '@';
  out += host;
  if (!port.isEmpty()) out += ':' + port;
  return out + path + query;
}

std::optional<WebUrl> ResolveWebUrl(QByteArrayView reference, const WebUrl& base) {
  if (reference.size() > kMaxReference) return std::nullopt;
  const QByteArray s = cleaned(reference);
  if (s.isEmpty()) return std::nullopt;
  const QByteArray scheme = schemeOf(s);
  std::optional<WebUrl> url;
  if (!scheme.isEmpty()) {
    if (scheme != "http" && scheme != "https") return std::nullopt;
    const QByteArrayView rest = QByteArrayView(s).sliced(scheme.size() + 1);
    WebUrl u = base;
    u.scheme = scheme;
    if (scheme == base.scheme && !(rest.size() >= 2 && isSlash(rest[0]) && isSlash(rest[1]))) {
      // "http:x.gif" on an http page is relative to it.
      if (!rest.isEmpty() && isSlash(rest[0])) {
        parsePathAndQuery(rest, u, false);
      } else {
        const qsizetype cut = u.path.lastIndexOf('/');
        u.path.truncate(std::max<qsizetype>(cut, 0));
        parsePathAndQuery(rest, u, true);
      }
      url = u;
    } else {
      url = fromAuthority(rest, u);
    }
  } else if (s.size() >= 2 && isSlash(s[0]) && isSlash(s[1])) {
    url = fromAuthority(s, base);
  } else if (isSlash(s[0])) {
    WebUrl u = base;
    parsePathAndQuery(s, u, false);
    url = u;
  } else if (s[0] == '#') {
    url = base;  // the page itself (its fragment is never sent)
  } else if (s[0] == '?') {
    WebUrl u = base;
    u.query.clear();
    const qsizetype hash = s.indexOf('#');
    u.query.append('?');
    appendEncoded(u.query, QByteArrayView(s).sliced(1, (hash >= 0 ? hash : s.size()) - 1),
                  Part::Query);
    url = u;
  } else {
    WebUrl u = base;
    const qsizetype cut = u.path.lastIndexOf('/');
    u.path.truncate(std::max<qsizetype>(cut, 0));
    parsePathAndQuery(s, u, true);
    url = u;
  }
  if (url && base.scheme == "https" && url->scheme == "http") {
    url->scheme = "https";  // mixed content, upgraded (its own port: https's own)
    if (url->port == "443") url->port.clear();
  }
  return url;
}

std::optional<WebUrl> ParsePageUrl(const QString& url) {
  const QByteArray s = cleaned(url.toUtf8());
  QByteArray scheme = schemeOf(s);
  // "host:8080/x" names a port, not a scheme.
  if (!scheme.isEmpty() && scheme != "http" && scheme != "https" && !s.contains("//"))
    scheme.clear();
  if (scheme.isEmpty()) {
    WebUrl base;
    base.scheme = "http";
    return fromAuthority(s, base);
  }
  if (scheme != "http" && scheme != "https") return std::nullopt;
  WebUrl base;
  base.scheme = scheme;
  return fromAuthority(QByteArrayView(s).sliced(scheme.size() + 1), base);
}

QString LinkText(const WebUrl& url) {
  const QString full = QString::fromLatin1(url.text());
  if (url.scheme != "http") return full;
  const QString shortForm = full.mid(7);
  if (shortForm.contains(QLatin1String("//")) ||
      shortForm.left(4).compare(QLatin1String("ftp."), Qt::CaseInsensitive) == 0)
    return full;
  return shortForm;
}

}  // namespace quorvel
