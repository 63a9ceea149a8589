// Reading a page's start tags as a browser's HTML parser reads them.
//
// The reader follows the tokenizer of the HTML standard over the page's bytes: tag names end at
// whitespace, "/" or ">"; attributes are double-quoted, single-quoted or unquoted; comments,
// doctypes and bogus comments hide what they hold; the text of <script> (with its escaped
// "<!--" forms), <style>, <xmp>, <iframe>, <noembed>, <noframes>, <noscript> (a browser runs
// scripts), <textarea>, <title> and <plaintext> holds no tags. Of the parser's tree building it
// keeps what decides which tags a browser acts on: the content of <template> is inert (its tags
// are not reported), <image> is <img>, and inside <svg> and <math> the text elements above are
// ordinary elements and "<![CDATA[" sections hide their text, until a tag that HTML takes back
// (<img>, <p>, <div>, ...) ends the foreign content; inside their HTML islands (SVG's <title>,
// <desc>, <foreignObject>; MathML's text elements) HTML rules hold again.
//
// The reader never copies the page: names and values are views into it, and a value is decoded
// (character references, line breaks, NUL) only when asked for. Only the tags and attributes a
// caller names are kept, the first of each attribute name as the parser keeps it, so a hostile
// tag of millions of attributes costs nothing but reading it. The work is linear in the page's
// length.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>
#include <vector>

namespace quorvel {

struct HtmlStartTag {
  int kind = -1;           // index of the tag's name in the reader's tag names
  qsizetype position = 0;  // 0-based offset of its "<" in the page
  qsizetype end = 0;       // offset just after its ">": where the element's content begins
  // Per attribute name of the reader, the value as written (without quotes); none when the
  // tag lacks it. An attribute without "=" has an empty value.
  QList<std::optional<QByteArrayView>> raw;

  // The value of the reader's i-th attribute name, its character references decoded (to
  // UTF-8); none when the tag lacks it.
  std::optional<QByteArray> value(int i) const;
};

// The attribute value `raw` as the parser gives it: character references decoded to UTF-8
// (the rules for attribute values: "&amp=" and "&ampx" stay as written), CR and CR LF as LF,
// NUL as U+FFFD.
QByteArray DecodeAttributeValue(QByteArrayView raw);

class HtmlTagReader {
 public:
  // `page` must outlive the reader. Names are given in lower case. `svgTagNames` are the
  // elements of SVG content (inside <svg>, outside its HTML islands) to report as well; their
  // kinds follow those of `tagNames`.
  HtmlTagReader(QByteArrayView page, QList<QByteArray> tagNames, QList<QByteArray> attributeNames,
                QList<QByteArray> svgTagNames = {});

  // The next start tag of one of the tag names that a browser acts on; false at the end.
  bool next(HtmlStartTag& tag);

 private:
  enum class Text { Data, RcData, RawText, ScriptData, PlainText };
  struct Tag {
    bool end = false;
    bool selfClosing = false;
    qsizetype position = 0;
    QByteArrayView name;
  };

  bool readTag(Tag& tag, HtmlStartTag& out);  // from just after "<" (or "</"); false at EOF
  // The attributes of a tag up to its ">" (closed) or the page's end (not closed).
  void attributes(Tag& tag, HtmlStartTag& out, bool keep, bool& closed);
  void afterTag(const Tag& tag);
  void skipMarkupDeclaration();
  void skipComment();
  void skipTo(char c);
  void skipText();  // the content of a raw text, RCDATA or script element up to its end tag
  bool atEndTagOf(QByteArrayView name);  // at "</name" + whitespace, "/" or ">"
  void skipScriptData();
  void skipEndTagRest();
  int tagKind(QByteArrayView name) const;
  int svgTagKind(QByteArrayView name) const;

  const char* p_;
  const char* end_;
  const char* begin_;
  QList<QByteArray> tagNames_, attributeNames_, svgTagNames_;
  Text text_ = Text::Data;
  QByteArray textEnd_;  // the name whose end tag ends the current raw text / RCDATA / script
  int templateDepth_ = 0;
  // The open <svg> and <math> elements and, inside them, the elements whose content is HTML
  // again (<foreignObject>, <desc> and <title> of SVG; <mi>, <mo>, <mn>, <ms>, <mtext>).
  std::vector<unsigned char> foreign_;
  bool inForeign() const;
};

}  // namespace quorvel
