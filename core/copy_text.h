// Copying what a window shows: a list copies whole, with its header, and a results box copies
// whole when nothing in it is selected. Ctrl+C and the context menu's "Copy" do it.
#pragma once

class QPlainTextEdit;
class QAbstractItemView;

namespace quorvel {

// Ctrl+C and a context menu with "&Copy" put every row of the list (its header first) on the
// clipboard, tab-separated, as its model gives the texts.
void makeTableCopyable(QAbstractItemView* list);

// Ctrl+C copies the selection, or the whole text when nothing is selected; the context menu
// gets "Copy &All".
void makeResultsCopyable(QPlainTextEdit* box);

}  // namespace quorvel
