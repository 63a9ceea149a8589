// Opening an address with the desktop's handler (browser, e-mail program).
//
// Everything in the program that opens a link goes through openUrlWithDesktop(); tests put
// their own opener in place so that no browser is ever started by a test.
#pragma once

#include <QUrl>
#include <functional>

class QObject;

namespace quorvel {

// Called once with whether the handler opened the address.
using OpenDone = std::function<void(bool opened)>;

// Hands the address to "xdg-open" and reports whether it was opened: by the handler's exit
// status, at once when it cannot be started, or from the event loop when it ends. A handler
// still running after kStillRunningMs (a browser started in the foreground) has opened it.
// The report is dropped when `context` is destroyed first. The handler is never stopped: a
// browser it started lives on after the program.
void openUrlWithDesktop(const QUrl& url, QObject* context, OpenDone done);

inline constexpr int kStillRunningMs = 3000;

// For tests: an opener that answers at once (true when the address was opened) takes the
// desktop's place. An empty function puts the desktop's handler back.
using UrlOpener = std::function<bool(const QUrl&)>;
void setUrlOpener(UrlOpener opener);

}  // namespace quorvel
