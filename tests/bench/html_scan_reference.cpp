#include "html_scan_reference.h"

namespace quorvel::testing::reference {

namespace {

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return s;
}

// Mid$(text, position, count) with 1-based positions.
std::string mid(const std::string& text, long position, long count) {
  if (position < 1 || position > long(text.size())) return {};
  return text.substr(size_t(position - 1), size_t(count));
}

// The scan shared by both finders; `nameLengthAt` says which tag name matches at a position
// of the padded text (0: none).
template <typename NameAt>
Hit findTag(long start, const std::string& text, NameAt nameLengthAt) {
  const std::string padded = text + "       ";
  const long length = long(text.size());
  long hit = 0;
  for (long i = start; i <= length; ++i) {
    const long n = nameLengthAt(padded, i);
    if (n == 0) continue;
    bool src = false;
    for (long j = i + n; j <= length; ++j) {
      if (lower(mid(padded, j, 3)) == "src") {
        src = true;
        break;
      }
    }
    if (src) {
      hit = i;
      break;
    }
  }
  if (hit == 0) return {};
  for (long j = hit + 1; j <= length; ++j) {
    if (mid(text, j, 1) == ">") return {hit, mid(text, hit, j - hit + 1)};
  }
  return {};
}

}  // namespace

std::string StripComments(std::string text) {
  for (;;) {
    const size_t b = text.find("<!--");
    if (b == std::string::npos) return text;
    const size_t e = text.find("-->", b);
    if (e == std::string::npos) {
      text = text.substr(0, b);
    } else if (b == 0) {
      text = text.substr(e + 3);
    } else {
      text = text.substr(0, b) + text.substr(e + 3);
    }
  }
}

Hit FindFrame(long start, const std::string& text) {
  return findTag(start, text, [](const std::string& padded, long i) -> long {
    return lower(mid(padded, i, 7)) == "<frame " ? 7 : 0;
  });
}

Hit FindEmbeddedResource(long start, const std::string& text, bool getImages, bool getSounds) {
  return findTag(start, text, [&](const std::string& padded, long i) -> long {
    auto is = [&](const std::string& name) {
      const long n = long(name.size()) + 1;
      return lower(mid(padded, i, n)) == name + " " ||
             (lower(mid(padded, i, n - 1)) == name && mid(padded, i + n - 1, 1) == "\r");
    };
    if (getImages && is("<img")) return 5;
    if (getSounds && is("<embed")) return 7;
    if (getSounds && is("<bgsound")) return 9;
    return 0;
  });
}

std::string ExtractSource(const std::string& tag) {
  const std::string lt = lower(tag);
  const size_t src = lt.find("src");
  if (src == std::string::npos) return {};
  const size_t eq = lt.find('=', src);
  if (eq == std::string::npos) return {};
  size_t k = eq + 1;
  while (k < tag.size() && tag[k] == ' ') ++k;
  std::string value;
  if (k < tag.size() && (tag[k] == '"' || tag[k] == '\'')) {
    const size_t begin = k + 1;
    const size_t end = begin + 1 <= tag.size() ? tag.find(tag[k], begin + 1) : std::string::npos;
    if (end != std::string::npos) value = tag.substr(begin, end - begin);
  } else {
    for (size_t j = k + 1; j < tag.size(); ++j) {
      if (tag[j] == ' ' || tag[j] == '>') {
        value = tag.substr(k, j - k);
        break;
      }
    }
  }
  const size_t scheme = value.find("://");
  if (scheme != std::string::npos) {
    value = value.substr(scheme + 3);
  } else if (value.empty() || value[0] != '/') {
    value = "/" + value;
  }
  const size_t query = value.find('?');
  if (query != std::string::npos) value = value.substr(0, query);
  if (value.find('\'') != std::string::npos) return {};
  for (size_t s; (s = value.find("//")) != std::string::npos;) value.replace(s, 2, "/");
  return value;
}

}  // namespace quorvel::testing::reference
