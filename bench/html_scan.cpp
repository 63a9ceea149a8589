#include "bench/html_scan.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quorvel {

namespace {

constexpr char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The text `carry` + `rest` seen as one, without building it. `carry` is at most a few bytes:
// the end of the output that a comment mark may still begin in.
class JoinedText {
 public:
  JoinedText(std::string_view carry, std::string_view rest) : carry_(carry), rest_(rest) {}

  qsizetype size() const { return qsizetype(carry_.size() + rest_.size()); }

  // First occurrence of `needle` at or after `from`, or -1.
  qsizetype find(std::string_view needle, qsizetype from) const {
    const auto k = qsizetype(carry_.size());
    for (qsizetype i = from; i < k; ++i) {
      if (matchesAt(i, needle)) return i;
    }
    const auto r = rest_.find(needle, size_t(std::max<qsizetype>(0, from - k)));
    return r == std::string_view::npos ? -1 : k + qsizetype(r);
  }

 private:
  bool matchesAt(qsizetype i, std::string_view needle) const {
    if (i + qsizetype(needle.size()) > size()) return false;
    for (size_t j = 0; j < needle.size(); ++j) {
      if (at(i + qsizetype(j)) != needle[j]) return false;
    }
    return true;
  }
  char at(qsizetype i) const {
    const auto k = qsizetype(carry_.size());
    return i < k ? carry_[size_t(i)] : rest_[size_t(i - k)];
  }

  std::string_view carry_, rest_;
};

}  // namespace

QByteArray StripComments(QByteArray text) {
  if (!text.contains("<!--")) return text;
  // The text is rewritten in place (a page may be large): what is kept, `out`, is the first
  // `w` bytes, and the rest still to look at begins at `r` >= w.
  char* data = text.data();
  qsizetype w = 0;
  qsizetype r = 0;
  const qsizetype n = text.size();
  const auto keep = [&](const char* from, qsizetype count) {
    std::memmove(data + w, from, size_t(count));
    w += count;
  };
  for (;;) {
    // No comment mark lies wholly inside `out`, but its last three bytes may begin one that
    // the rest completes: search from there.
    const qsizetype k = std::min<qsizetype>(3, w);
    const std::string carryBytes(data + w - k, size_t(k));
    w -= k;
    const std::string_view rest(data + r, size_t(n - r));
    const JoinedText joined(carryBytes, rest);
    const qsizetype b = joined.find("<!--", 0);
    if (b < 0) {
      keep(carryBytes.data(), k);
      keep(data + r, n - r);
      text.truncate(w);
      return text;
    }
    // Keep what precedes the comment.
    keep(carryBytes.data(), std::min(b, k));
    if (b > k) keep(data + r, b - k);
    const qsizetype e = joined.find("-->", b);
    if (e < 0) {  // never closed: it runs to the end of the page
      text.truncate(w);
      return text;
    }
    // e >= b + 2 > k, so what follows the comment lies in the rest.
    r += e + 3 - k;
  }
}

TagScanner::TagScanner(QByteArray text) : text_(std::move(text)) {}

qsizetype TagScanner::tagAt(qsizetype i, Kinds kinds, bool getImages, bool getSounds) const {
  const qsizetype n = text_.size();
  const char* t = text_.constData();
  // Past the end the text reads as blanks, so a name at the very end still matches; no "src"
  // can follow it, so it never becomes a hit.
  auto lowerAt = [&](qsizetype j) { return j < n ? lowerAscii(t[j]) : ' '; };
  auto nameAt = [&](const char* name, qsizetype len) {
    for (qsizetype j = 0; j < len; ++j) {
      if (lowerAt(i + j) != name[j]) return false;
    }
    return true;
  };
  // The name followed by a blank, or (for images and sounds) by a carriage return.
  auto matches = [&](const char* name, qsizetype len, bool crToo) {
    if (!nameAt(name, len)) return false;
    const char next = lowerAt(i + len);
    return next == ' ' || (crToo && next == '\r');
  };
  if (kinds == Kinds::Frames) return matches("<frame", 6, false) ? 7 : 0;
  if (getImages && matches("<img", 4, true)) return 5;
  if (getSounds && matches("<embed", 6, true)) return 7;
  if (getSounds && matches("<bgsound", 8, true)) return 9;
  return 0;
}

qsizetype TagScanner::nextSrc(qsizetype from) const {
  if (srcFrom_ >= 0 && from >= srcFrom_ && (srcAt_ < 0 || from <= srcAt_)) return srcAt_;
  const qsizetype n = text_.size();
  const char* t = text_.constData();
  qsizetype found = -1;
  for (qsizetype j = from; j + 2 < n; ++j) {
    if ((t[j] | 0x20) == 's' && lowerAscii(t[j + 1]) == 'r' && lowerAscii(t[j + 2]) == 'c') {
      found = j;
      break;
    }
  }
  srcFrom_ = from;
  srcAt_ = found;
  return found;
}

qsizetype TagScanner::nextGt(qsizetype from) const {
  if (gtFrom_ >= 0 && from >= gtFrom_ && (gtAt_ < 0 || from <= gtAt_)) return gtAt_;
  const qsizetype n = text_.size();
  qsizetype found = -1;
  if (from < n) {
    const void* p = std::memchr(text_.constData() + from, '>', size_t(n - from));
    if (p) found = static_cast<const char*>(p) - text_.constData();
  }
  gtFrom_ = from;
  gtAt_ = found;
  return found;
}

TagHit TagScanner::find(qsizetype start, Kinds kinds, bool getImages, bool getSounds) const {
  if (kinds == Kinds::Embedded && !getImages && !getSounds) return {};
  const qsizetype n = text_.size();
  const char* t = text_.constData();
  for (qsizetype i = std::max<qsizetype>(start, 1) - 1; i < n; ++i) {
    const void* lt = std::memchr(t + i, '<', size_t(n - i));
    if (!lt) break;
    i = static_cast<const char*>(lt) - t;
    const qsizetype nameLen = tagAt(i, kinds, getImages, getSounds);
    if (nameLen == 0) continue;
    // Without a "src" after this tag there is none after any later one either.
    if (nextSrc(i + nameLen) < 0) break;
    const qsizetype gt = nextGt(i + 1);
    if (gt < 0) break;
    return {i + 1, text_.mid(i, gt - i + 1)};
  }
  return {};
}

TagHit TagScanner::findFrame(qsizetype start) const {
  return find(start, Kinds::Frames, false, false);
}

TagHit TagScanner::findEmbeddedResource(qsizetype start, bool getImages, bool getSounds) const {
  return find(start, Kinds::Embedded, getImages, getSounds);
}

TagHit FindFrame(qsizetype start, const QByteArray& text) {
  return TagScanner(text).findFrame(start);
}

TagHit FindEmbeddedResource(qsizetype start, const QByteArray& text, bool getImages,
                            bool getSounds) {
  return TagScanner(text).findEmbeddedResource(start, getImages, getSounds);
}

QByteArray ExtractSource(const QByteArray& tag) {
  const qsizetype n = tag.size();
  qsizetype src = -1;
  for (qsizetype j = 0; j + 2 < n; ++j) {
    if (lowerAscii(tag[j]) == 's' && lowerAscii(tag[j + 1]) == 'r' &&
        lowerAscii(tag[j + 2]) == 'c') {
      src = j;
      break;
    }
  }
  if (src < 0) return {};
  const qsizetype eq = tag.indexOf('=', src);
  if (eq < 0) return {};
  qsizetype k = eq + 1;
  while (k < n && tag[k] == ' ') ++k;

  QByteArray value;
  if (k < n && (tag[k] == '"' || tag[k] == '\'')) {
    // Quoted: from the next character to the next quote of the same kind after that one.
    const qsizetype begin = k + 1;
    const qsizetype end = begin + 1 <= n ? tag.indexOf(tag[k], begin + 1) : -1;
    if (end >= 0) value = tag.mid(begin, end - begin);
  } else {
    // Unquoted: to the first blank or ">" after its first character.
    qsizetype end = -1;
    for (qsizetype j = k + 1; j < n; ++j) {
      if (tag[j] == ' ' || tag[j] == '>') {
        end = j;
        break;
      }
    }
    if (end >= 0) value = tag.mid(k, end - k);
  }

  const qsizetype scheme = value.indexOf("://");
  if (scheme >= 0) {
    value.remove(0, scheme + 3);
  } else if (!value.startsWith('/')) {
    value.prepend('/');
  }
  const qsizetype query = value.indexOf('?');
  if (query >= 0) value.truncate(query);
  if (value.contains('\'')) return {};

  // Every run of "/" becomes one "/".
  QByteArray result;
  result.reserve(value.size());
  for (qsizetype j = 0; j < value.size(); ++j) {
    if (value[j] == '/' && !result.isEmpty() && result.back() == '/') continue;
    result.append(value[j]);
  }
  return result;
}

QString PageBase(const QString& url) {
  const qsizetype slashes = url.indexOf(QLatin1String("//"));
  const QString rest = slashes >= 0 ? url.mid(slashes + 2) : url;
  const qsizetype last = rest.lastIndexOf(QLatin1Char('/'));
  return last >= 0 ? rest.left(last) : rest;
}

QString ResolveReference(const QString& base, const QString& reference) {
  return reference.startsWith(QLatin1Char('/')) ? base + reference : reference;
}

}  // namespace quorvel
