// What a link label opens: its caption as an e-mail or a web address.
#pragma once

#include <QString>
#include <QUrl>

namespace quorvel {

// The caption, with "mailto:" in front when it holds an "@" (and does not begin with "mailto:"
// already).
QString linkTarget(const QString& caption);

// True when the target opens the e-mail program rather than the browser.
bool isMailTarget(const QString& target);

// The address to hand to the desktop: a target that carries its own scheme ("mailto:",
// "https://", ...) as it stands, any other (such as "www.example.com") with "http://" in front.
// An invalid URL when the text cannot be one.
QUrl linkUrl(const QString& target);

}  // namespace quorvel
