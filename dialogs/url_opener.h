// Opening an address with the desktop's handler (browser, e-mail program).
//
// Everything in the program that opens a link goes through openUrlWithDesktop(); tests put
// their own opener in place so that no browser is ever started by a test.
#pragma once

#include <QUrl>
#include <functional>

namespace quorvel {

// Returns true when the handler accepted the address.
using UrlOpener = std::function<bool(const QUrl&)>;

bool openUrlWithDesktop(const QUrl& url);

// Replaces the opener; an empty function puts QDesktopServices::openUrl back.
void setUrlOpener(UrlOpener opener);

}  // namespace quorvel
