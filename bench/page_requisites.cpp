#include "bench/page_requisites.h"

#include <QHash>
#include <QSet>

#include "bench/css_tokenizer.h"
#include "bench/html_tokenizer.h"
#include "bench/image_source.h"
#include "bench/page_links.h"

namespace quorvel {

namespace {

// The tags a browser fetches for, and those whose style attribute pages use for backgrounds.
enum Tag {
  Link,
  Script,
  Img,
  Source,
  Picture,
  Video,
  Audio,
  Iframe,
  Frame,
  Embed,
  Object,
  Input,
  Body,
  Table,
  Td,
  Th,
  Tr,
  Style,
  Div,
  Section,
  Span,
  A,
  Li,
  Header,
  Footer,
  Main,
  Article,
  Aside,
  Nav,
  Figure,
  P,
  Button,
  H1,
  H2,
  H3,
  SvgImage,  // <image> of SVG content, the first of kSvgTags
};
const QList<QByteArray> kTags = {
    "link",  "script",  "img",    "source", "picture", "video",  "audio",  "iframe", "frame",
    "embed", "object",  "input",  "body",   "table",   "td",     "th",     "tr",     "style",
    "div",   "section", "span",   "a",      "li",      "header", "footer", "main",   "article",
    "aside", "nav",     "figure", "p",      "button",  "h1",     "h2",     "h3"};
const QList<QByteArray> kSvgTags = {"image"};

enum Attribute {
  Rel,
  Href,
  As,
  Type,
  Media,
  Src,
  Srcset,
  Sizes,
  ImageSrcset,
  ImageSizes,
  Loading,
  Poster,
  Preload,
  Autoplay,
  Data,
  NoModule,
  Disabled,
  StyleAttr,
  Background,
  Srcdoc,
  Height,
  DataSrc,
  DataSrcset,
  DataOriginal,
  DataLazySrc,
  DataBg,
  DataBackground,
  Async,
  XlinkHref,
};
const QList<QByteArray> kAttributes = {"rel",           "href",        "as",
                                       "type",          "media",       "src",
                                       "srcset",        "sizes",       "imagesrcset",
                                       "imagesizes",    "loading",     "poster",
                                       "preload",       "autoplay",    "data",
                                       "nomodule",      "disabled",    "style",
                                       "background",    "srcdoc",      "height",
                                       "data-src",      "data-srcset", "data-original",
                                       "data-lazy-src", "data-bg",     "data-background",
                                       "async",         "xlink:href"};

// How far below the viewport Chromium loads lazy images and frames ahead of a scroll.
constexpr int kLazyLoadAhead = 1250;
// The height of an image or frame that declares none (a replaced element's default).
constexpr int kDefaultHeight = 150;

bool hasToken(const std::optional<QByteArray>& list, QByteArrayView token) {
  if (!list) return false;
  for (const QByteArray& t : list->simplified().split(' '))
    if (t.compare(token, Qt::CaseInsensitive) == 0) return true;
  return false;
}

QByteArray mimeEssence(const QByteArray& type) {
  const qsizetype semicolon = type.indexOf(';');
  return (semicolon < 0 ? type : type.left(semicolon)).trimmed().toLower();
}

bool isScriptType(const std::optional<QByteArray>& type) {
  if (!type) return true;
  const QByteArray t = mimeEssence(*type);
  static const QSet<QByteArray> kScripts = {"",
                                            "module",
                                            "text/javascript",
                                            "application/javascript",
                                            "application/x-javascript",
                                            "text/ecmascript",
                                            "application/ecmascript",
                                            "text/jscript",
                                            "text/livescript",
                                            "text/x-javascript",
                                            "text/x-ecmascript",
                                            "text/javascript1.0",
                                            "text/javascript1.1",
                                            "text/javascript1.2",
                                            "text/javascript1.3",
                                            "text/javascript1.4",
                                            "text/javascript1.5"};
  return kScripts.contains(t);
}

bool isStyleType(const std::optional<QByteArray>& type) {
  return !type || type->trimmed().isEmpty() || mimeEssence(*type) == "text/css";
}

bool isMediaType(const std::optional<QByteArray>& type) {
  if (!type) return true;
  const QByteArray t = mimeEssence(*type);
  static const QSet<QByteArray> kPlayed = {
      "video/mp4",  "video/webm",  "video/ogg",       "audio/mp4",      "audio/webm", "audio/ogg",
      "audio/mpeg", "audio/mp3",   "audio/wav",       "audio/x-wav",    "audio/wave", "audio/flac",
      "audio/aac",  "audio/x-m4a", "application/ogg", "video/quicktime"};
  return kPlayed.contains(t);
}

// The destination of a preload's "as"; none when a browser ignores the preload.
std::optional<QByteArray> preloadDestination(const std::optional<QByteArray>& as) {
  if (!as) return std::nullopt;
  const QByteArray a = as->trimmed().toLower();
  if (a == "style" || a == "script" || a == "image" || a == "font" || a == "track") return a;
  if (a == "fetch") return QByteArray();
  return std::nullopt;
}

bool preloadTypeUsable(const QByteArray& destination, const std::optional<QByteArray>& type) {
  if (!type || type->trimmed().isEmpty()) return true;
  const QByteArray t = mimeEssence(*type);
  if (destination == "style") return t == "text/css";
  if (destination == "script") return isScriptType(type) && t != "module";
  if (destination == "image") return ImageTypeSupported(t);
  if (destination == "font")
    return t.startsWith("font/") || t.startsWith("application/font-") ||
           t.startsWith("application/x-font-") || t == "application/vnd.ms-fontobject";
  return true;
}

int heightOf(const HtmlStartTag& tag) {
  const std::optional<QByteArray> h = tag.value(Height);
  if (!h) return kDefaultHeight;
  bool ok = false;
  const int v = h->trimmed().toInt(&ok);
  return ok && v >= 0 ? std::min(v, 100000) : kDefaultHeight;
}

// Where the text of a <style> whose content begins at `from` ends: at "</style" followed by
// whitespace, "/" or ">", or at the page's end.
qsizetype styleEnd(const QByteArray& html, qsizetype from) {
  for (qsizetype k = html.indexOf("</", from); k >= 0; k = html.indexOf("</", k + 2)) {
    if (html.size() - k < 8) break;
    const char after = html[k + 7];
    if (QByteArrayView(html).sliced(k + 2, 5).compare("style", Qt::CaseInsensitive) == 0 &&
        (after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\n' ||
         after == '\r' || after == '\f'))
      return k;
  }
  return html.size();
}

class Discovery {
 public:
  Discovery(const QByteArray& html, const WebUrl& page, const Viewport& viewport)
      : html_(html), page_(page), base_(DocumentBase(html, page)), viewport_(viewport) {}

  PageRequisites read() {
    HtmlTagReader reader(html_, kTags, kAttributes, kSvgTags);
    for (HtmlStartTag tag; reader.next(tag);) take(tag);
    if (!iconDeclared_) {
      WebUrl favicon = page_;
      favicon.userinfo.clear();
      favicon.path = "/favicon.ico";
      favicon.query.clear();
      add(RequisiteKind::Icon, favicon.text(), "image");
    }
    return out_;
  }

 private:
  const QByteArray& html_;
  const WebUrl& page_;
  const WebUrl base_;
  const Viewport& viewport_;
  PageRequisites out_;
  QHash<QByteArray, qsizetype> seen_;  // each file listed, at its place in the list
  bool iconDeclared_ = false, manifestFetched_ = false;
  qint64 top_ = 0;  // the estimated top of the next image or frame, in CSS pixels
  // The container whose <source> elements come next: a <picture>, or a media element still
  // looking for its file.
  enum class Container { None, Picture, Media } container_ = Container::None;
  QList<PictureSource> pictureSources_;
  QByteArray mediaDestination_;

  void add(RequisiteKind kind, const QByteArray& url, const QByteArray& destination,
           bool blocking = false, bool module = false) {
    if (const auto listed = seen_.constFind(url); listed != seen_.cend()) {
      // Named again (a preloaded stylesheet or module, say): the page now waits for it.
      Requisite& first = out_.files[*listed];
      first.blocking = first.blocking || blocking;
      first.module = first.module || module;
      ++out_.duplicates;
      return;
    }
    seen_.insert(url, out_.files.size());
    out_.files << Requisite{kind, url, destination, blocking, module};
  }

  void addReference(RequisiteKind kind, const std::optional<QByteArray>& reference,
                    const QByteArray& destination, bool blocking = false, bool module = false) {
    if (!reference) return;
    if (const std::optional<WebUrl> url = ResolveWebUrl(*reference, base_))
      add(kind, url->text(), destination, blocking, module);
  }

  void addCss(QByteArrayView css, CssSource source) {
    for (const CssReference& r : ReadCssReferences(css, source, viewport_)) {
      const RequisiteKind kind = r.kind == CssReferenceKind::Stylesheet ? RequisiteKind::Stylesheet
                                 : r.kind == CssReferenceKind::Font     ? RequisiteKind::Font
                                                                        : RequisiteKind::Image;
      addReference(kind, r.url,
                   kind == RequisiteKind::Stylesheet ? "style"
                   : kind == RequisiteKind::Font     ? "font"
                                                     : "image");
    }
  }

  // Whether a loading=lazy element that takes `height` pixels is loaded now; moves the estimate.
  bool loadsNow(const HtmlStartTag& tag) {
    const qint64 top = top_;
    top_ += heightOf(tag);
    const std::optional<QByteArray> loading = tag.value(Loading);
    if (!loading || loading->trimmed().toLower() != "lazy") return true;
    if (top < qint64(viewport_.height) + kLazyLoadAhead) return true;
    ++out_.lazyBelow;
    return false;
  }

  void take(const HtmlStartTag& tag) {
    for (const Attribute a :
         {DataSrc, DataSrcset, DataOriginal, DataLazySrc, DataBg, DataBackground}) {
      if (tag.raw[a] && !tag.raw[a]->trimmed().isEmpty()) {
        ++out_.scriptOnly;
        break;
      }
    }
    if (tag.raw[StyleAttr]) addCss(*tag.value(StyleAttr), CssSource::StyleAttribute);
    switch (tag.kind) {
      case Link:
        return link(tag);
      case Script:
        if (!tag.raw[NoModule] && isScriptType(tag.value(Type)))
          addReference(RequisiteKind::Script, tag.value(Src), "script", !tag.raw[Async],
                       tag.value(Type).value_or("").trimmed().toLower() == "module");
        return;
      case Style: {
        const qsizetype end = styleEnd(html_, tag.end);
        addCss(QByteArrayView(html_).sliced(tag.end, end - tag.end), CssSource::Stylesheet);
        return;
      }
      case Picture:
        container_ = Container::Picture;
        pictureSources_.clear();
        return;
      case Source:
        return source(tag);
      case Img:
        return image(tag);
      case Video:
      case Audio:
        return media(tag);
      case Iframe:
        if (loadsNow(tag) && !tag.raw[Srcdoc])
          addReference(RequisiteKind::Frame, tag.value(Src), "iframe");
        return;
      case Frame:
        return addReference(RequisiteKind::Frame, tag.value(Src), "frame");
      case Embed:
        top_ += heightOf(tag);
        return addReference(RequisiteKind::Embedded, tag.value(Src), "embed");
      case Object:
        top_ += heightOf(tag);
        return addReference(RequisiteKind::Embedded, tag.value(Data), "object");
      case Input:
        if (tag.value(Type).value_or("").trimmed().toLower() == "image")
          addReference(RequisiteKind::Image, tag.value(Src), "image");
        return;
      case SvgImage:
        return svgImage(tag);
      case Body:
      case Table:
      case Td:
      case Th:
      case Tr:
        return addReference(RequisiteKind::Image, tag.value(Background), "image");
      default:
        return;
    }
  }

  void link(const HtmlStartTag& tag) {
    const std::optional<QByteArray> rel = tag.value(Rel);
    if (hasToken(rel, "stylesheet")) {
      if (!tag.raw[Disabled] && isStyleType(tag.value(Type)))
        addReference(RequisiteKind::Stylesheet, tag.value(Href), "style", true);
    } else if (hasToken(rel, "preload")) {
      const std::optional<QByteArray> destination = preloadDestination(tag.value(As));
      if (!destination || !preloadTypeUsable(*destination, tag.value(Type))) return;
      if (const std::optional<QByteArray> media = tag.value(Media);
          media && !MediaMatches(*media, viewport_))
        return;
      std::optional<QByteArray> href = tag.value(Href);
      if (*destination == "image" && tag.raw[ImageSrcset])
        href =
            ChooseImageSource({href, tag.value(ImageSrcset), tag.value(ImageSizes)}, {}, viewport_);
      addReference(RequisiteKind::Preload, href, *destination);
    } else if (hasToken(rel, "prefetch")) {
      addReference(RequisiteKind::Preload, tag.value(Href), "");
    } else if (hasToken(rel, "modulepreload")) {
      addReference(RequisiteKind::Preload, tag.value(Href), "script", false, true);
    } else if (hasToken(rel, "icon")) {
      if (iconDeclared_) return;
      const std::optional<QByteArray> href = tag.value(Href);
      if (!href || !ResolveWebUrl(*href, base_)) return;
      iconDeclared_ = true;
      addReference(RequisiteKind::Icon, href, "image");
    } else if (hasToken(rel, "manifest") && !manifestFetched_) {
      manifestFetched_ = tag.raw[Href].has_value();
      addReference(RequisiteKind::Manifest, tag.value(Href), "manifest");
    }
  }

  void source(const HtmlStartTag& tag) {
    if (container_ == Container::Picture) {
      pictureSources_ << PictureSource{tag.value(Srcset), tag.value(Sizes), tag.value(Media),
                                       tag.value(Type)};
    } else if (container_ == Container::Media) {
      const std::optional<QByteArray> src = tag.value(Src);
      if (!src || !isMediaType(tag.value(Type))) return;
      if (const std::optional<QByteArray> media = tag.value(Media);
          media && !MediaMatches(*media, viewport_))
        return;
      if (!ResolveWebUrl(*src, base_)) return;
      container_ = Container::None;
      addReference(RequisiteKind::Media, src, mediaDestination_);
    }
  }

  void image(const HtmlStartTag& tag) {
    const QList<PictureSource> sources =
        container_ == Container::Picture ? pictureSources_ : QList<PictureSource>();
    if (container_ == Container::Picture) container_ = Container::None;
    pictureSources_.clear();
    if (!loadsNow(tag)) return;
    addReference(RequisiteKind::Image,
                 ChooseImageSource({tag.value(Src), tag.value(Srcset), tag.value(Sizes)}, sources,
                                   viewport_),
                 "image");
  }

  // An SVG image is fetched as the SVG element takes its address: href, else xlink:href.
  void svgImage(const HtmlStartTag& tag) {
    const std::optional<QByteArray> href = tag.raw[Href] ? tag.value(Href) : tag.value(XlinkHref);
    if (href && !href->trimmed().isEmpty()) addReference(RequisiteKind::Image, href, "image");
  }

  void media(const HtmlStartTag& tag) {
    container_ = Container::None;
    mediaDestination_ = tag.kind == Video ? "video" : "audio";
    if (tag.kind == Video) {
      top_ += heightOf(tag);
      addReference(RequisiteKind::Image, tag.value(Poster), "image");
    }
    const bool none = tag.value(Preload).value_or("").trimmed().toLower() == "none";
    if (none && !tag.raw[Autoplay]) return;
    if (tag.raw[Src]) return addReference(RequisiteKind::Media, tag.value(Src), mediaDestination_);
    container_ = Container::Media;
  }
};

}  // namespace

PageRequisites ReadPageRequisites(const QByteArray& html, const WebUrl& page,
                                  const Viewport& viewport) {
  return Discovery(html, page, viewport).read();
}

QList<Requisite> ReadStylesheetRequisites(const QByteArray& css, const WebUrl& sheet,
                                          const Viewport& viewport) {
  QList<Requisite> out;
  for (const CssReference& r : ReadCssReferences(css, CssSource::Stylesheet, viewport)) {
    const std::optional<WebUrl> url = ResolveWebUrl(r.url, sheet);
    if (!url) continue;
    switch (r.kind) {
      case CssReferenceKind::Stylesheet:
        out << Requisite{RequisiteKind::Stylesheet, url->text(), "style"};
        break;
      case CssReferenceKind::Font:
        out << Requisite{RequisiteKind::Font, url->text(), "font"};
        break;
      case CssReferenceKind::Image:
        out << Requisite{RequisiteKind::Image, url->text(), "image"};
        break;
    }
  }
  return out;
}

const char* RequisiteKindName(RequisiteKind kind) {
  switch (kind) {
    case RequisiteKind::Stylesheet:
      return "stylesheet";
    case RequisiteKind::Script:
      return "script";
    case RequisiteKind::Image:
      return "image";
    case RequisiteKind::Font:
      return "font";
    case RequisiteKind::Icon:
      return "icon";
    case RequisiteKind::Manifest:
      return "manifest";
    case RequisiteKind::Preload:
      return "preload";
    case RequisiteKind::Frame:
      return "frame";
    case RequisiteKind::Embedded:
      return "embedded";
    case RequisiteKind::Media:
      return "media";
  }
  return "";
}

}  // namespace quorvel
