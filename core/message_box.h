// Every message box of the program goes through here: a title, an icon, a text and OK.
//
// A message box never waits when nobody can answer it: in unattended mode, on the offscreen
// platform, or while a test has installed a sink. Its title and text then go to standard
// error (and to the sink) and the caller goes on as if OK had been pressed.
#pragma once

#include <QString>
#include <functional>

#include "core/message_icon.h"

class QWidget;

namespace quorvel {

void showMessage(QWidget* parent, const QString& title, const QString& text, MsgIcon icon);

// A message with a button beside OK that offers an action (its caption `action`); true when the
// user chose it. Where nobody can answer, it goes where showMessage sends it and the answer is
// false (a test's sink answers as setActionAnswer says).
bool askMessage(QWidget* parent, const QString& title, const QString& text, MsgIcon icon,
                const QString& action);

// For tests: every message is handed to the sink instead of being shown. An empty function
// removes the sink.
using MessageSink = std::function<void(const MessageRecord&)>;
void setMessageSink(MessageSink sink);
// For tests: what askMessage answers while a sink is installed (false unless set).
void setActionAnswer(bool choose);

}  // namespace quorvel
