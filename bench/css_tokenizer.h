// Reading stylesheets as a browser's CSS parser reads them: the tokenizer of CSS Syntax Level 3
// (strings, url() tokens, escapes, comments, numbers and dimensions), and the references a
// stylesheet or a style attribute makes a browser fetch.
//
// The input is preprocessed as the standard says (CR LF, CR and FF become LF; NUL becomes
// U+FFFD); bytes beyond ASCII are read as the UTF-8 they are (each one a part of a non-ASCII
// code point, which CSS lets into names). The work is linear in the input's length, whatever
// it holds: every byte is looked at a bounded number of times.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace quorvel {

enum class CssTokenType {
  Ident,
  Function,   // value: the name before "("
  AtKeyword,  // value: the name after "@"
  Hash,       // value: the name after "#"
  String,     // value: the text between the quotes, escapes decoded
  BadString,  // a string that a line break ended
  Url,        // value: the address of url(...) written without quotes
  BadUrl,
  Delim,  // value: the one code point
  Number,
  Percentage,
  Dimension,  // value: the unit
  Whitespace,
  Cdo,  // "<!--"
  Cdc,  // "-->"
  Colon,
  Semicolon,
  Comma,
  LeftSquare,
  RightSquare,
  LeftParen,
  RightParen,
  LeftCurly,
  RightCurly,
  End,
};

struct CssToken {
  CssTokenType type = CssTokenType::End;
  QByteArray value;        // names, strings and addresses decoded to UTF-8
  double number = 0;       // of Number, Percentage and Dimension
  qsizetype position = 0;  // offset of its first byte in the preprocessed input
};

class CssTokenizer {
 public:
  explicit CssTokenizer(QByteArrayView css);

  // The next token; End at the end of the input (and for ever after).
  CssToken next();

 private:
  QByteArray in_;  // preprocessed
  qsizetype i_ = 0;

  int at(qsizetype k) const;  // the byte k ahead of the position (unsigned), -1 past the end
  bool validEscape(qsizetype k) const;
  bool startsIdent(qsizetype k) const;
  bool startsNumber(qsizetype k) const;
  void skipComments();
  void appendEscaped(QByteArray& out);  // after "\"
  QByteArray identSequence();
  double numberValue();
  CssToken numeric();
  CssToken identLike();
  CssToken string(char quote);
  CssToken url();
  void badUrlRemnants();
};

// What a stylesheet's reference is for.
enum class CssReferenceKind { Stylesheet, Font, Image };

struct CssReference {
  CssReferenceKind kind = CssReferenceKind::Image;
  QByteArray url;  // as written (escapes decoded), to be resolved against the stylesheet
};

// Where the CSS comes from: a stylesheet (a file, or a <style> element), or a style attribute
// (a list of declarations).
enum class CssSource { Stylesheet, StyleAttribute };

struct Viewport;  // media_query.h

// The references of a stylesheet a browser fetches with it, in their order: the @import rules
// that come before every other rule but @charset and @layer statements (a later one is
// ignored), with a string, url() or url("..."); the url() of declarations (images, cursors,
// masks, ...), and of custom properties that a declaration of the same text takes with var()
// (after the rest); the url() of @font-face's "src" (fonts). Not: url() in selectors and
// preludes, in custom properties nothing there uses, in other @font-face descriptors, empty
// or bad ones, declarations that a "{" showed to be a nested rule's selector, or anything
// inside an @media rule whose queries the screen `viewport` does not match. Of an image-set()
// only the option a browser takes for the screen's device pixel ratio (the smallest resolution
// at least the ratio, else the largest).
QList<CssReference> ReadCssReferences(QByteArrayView css, CssSource source,
                                      const Viewport& viewport);
// For the default screen (media_query.h).
QList<CssReference> ReadCssReferences(QByteArrayView css, CssSource source = CssSource::Stylesheet);

}  // namespace quorvel
