// The page-scanning rules transcribed directly and slowly, step by step as they are stated
// (the text rebuilt for every comment, each tag searched to the end of the page): the fast
// scanner must give the same answers.
#pragma once

#include <string>

namespace oracle {

struct Hit {
  long position = 0;
  std::string tag;
};

inline std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// Mid$(text, position, count), positions from 1.
inline std::string mid(const std::string& t, long position, long count) {
  if (position < 1 || position > long(t.size())) return {};
  return t.substr(size_t(position - 1), size_t(count));
}

inline std::string StripComments(std::string t) {
  for (size_t b; (b = t.find("<!--")) != std::string::npos;) {
    const size_t e = t.find("-->", b);
    t = e == std::string::npos ? t.substr(0, b) : t.substr(0, b) + t.substr(e + 3);
  }
  return t;
}

// The first tag from `start` whose name matches (nameAt gives its length, 0 for none) with a
// "src" somewhere after it in the text, up to the first ">" after its "<".
template <typename NameAt>
Hit findTag(long start, const std::string& text, NameAt nameAt) {
  const std::string padded = text + "       ";
  const long length = long(text.size());
  for (long i = start; i <= length; ++i) {
    const long n = nameAt(padded, i);
    bool src = false;
    for (long j = i + n; n > 0 && j <= length && !src; ++j) src = lower(mid(padded, j, 3)) == "src";
    if (!src) continue;
    for (long j = i + 1; j <= length; ++j)
      if (mid(text, j, 1) == ">") return {i, mid(text, i, j - i + 1)};
    return {};
  }
  return {};
}

inline Hit FindFrame(long start, const std::string& text) {
  return findTag(start, text, [](const std::string& p, long i) -> long {
    return lower(mid(p, i, 7)) == "<frame " ? 7 : 0;
  });
}

// "<img", "<embed" and "<bgsound", each followed by a blank or a CR.
inline Hit FindEmbeddedResource(long start, const std::string& text, bool images, bool sounds) {
  return findTag(start, text, [&](const std::string& p, long i) -> long {
    const auto is = [&](const std::string& name) {
      const long n = long(name.size());
      return lower(mid(p, i, n + 1)) == name + " " ||
             (lower(mid(p, i, n)) == name && mid(p, i + n, 1) == "\r");
    };
    if (images && is("<img")) return 5;
    if (sounds && is("<embed")) return 7;
    if (sounds && is("<bgsound")) return 9;
    return 0;
  });
}

// The value after "src" and "=" (quoted, or up to a blank or ">"), without scheme and query,
// "/" put in front of a relative one and every "//" made "/"; nothing when it holds "'".
inline std::string ExtractSource(const std::string& tag) {
  const std::string lt = lower(tag);
  const size_t src = lt.find("src");
  const size_t eq = src == std::string::npos ? src : lt.find('=', src);
  if (eq == std::string::npos) return {};
  size_t k = eq + 1;
  while (k < tag.size() && tag[k] == ' ') ++k;
  std::string v;
  if (k < tag.size() && (tag[k] == '"' || tag[k] == '\'')) {
    const size_t end = tag.find(tag[k], k + 2);
    if (end != std::string::npos) v = tag.substr(k + 1, end - k - 1);
  } else {
    for (size_t j = k + 1; j < tag.size() && v.empty(); ++j)
      if (tag[j] == ' ' || tag[j] == '>') v = tag.substr(k, j - k);
  }
  const size_t scheme = v.find("://");
  if (scheme != std::string::npos)
    v = v.substr(scheme + 3);
  else if (v.empty() || v[0] != '/')
    v = "/" + v;
  if (v.find('?') != std::string::npos) v = v.substr(0, v.find('?'));
  if (v.find('\'') != std::string::npos) return {};
  for (size_t s; (s = v.find("//")) != std::string::npos;) v.replace(s, 2, "/");
  return v;
}

}  // namespace oracle
