// What a message box shows beside its text, and a message as a test or a log records it. The
// core asks for messages through its views (RunView::message); only the windows show them.
#pragma once

#include <QString>

namespace quorvel {

enum class MsgIcon { None, Information, Exclamation, Critical };

struct MessageRecord {
  QString title;
  QString text;
  MsgIcon icon = MsgIcon::None;
  QString action;  // the caption of a button offered beside OK; empty for none
};

}  // namespace quorvel
