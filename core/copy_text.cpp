#include "core/copy_text.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>

#include "core/table_text.h"

namespace quorvel {

namespace {

QString tableText(const QAbstractItemModel* model) {
  QList<QStringList> rows;
  QStringList header;
  for (int c = 0; c < model->columnCount(); ++c)
    header << model->headerData(c, Qt::Horizontal).toString();
  rows << header;
  for (int r = 0; r < model->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c) cells << model->index(r, c).data().toString();
    rows << cells;
  }
  return TabSeparated(rows);
}

void copyAll(const QPlainTextEdit* box) {
  QApplication::clipboard()->setText(box->toPlainText());
}

// Ctrl+C in a results box with nothing selected: the whole text.
class CopyAllFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QPlainTextEdit*>(watched);
    if (box && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) &&
        !box->textCursor().hasSelection()) {
      copyAll(box);
      return true;
    }
    return false;
  }
};

}  // namespace

void makeTableCopyable(QAbstractItemView* list) {
  auto* copy = new QAction(QStringLiteral("&Copy"), list);
  copy->setObjectName(QStringLiteral("actCopy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(copy, &QAction::triggered, list,
                   [list] { QApplication::clipboard()->setText(tableText(list->model())); });
  list->addAction(copy);
  list->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void makeResultsCopyable(QPlainTextEdit* box) {
  box->installEventFilter(new CopyAllFilter(box));
  box->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(box, &QWidget::customContextMenuRequested, box, [box](const QPoint& at) {
    QMenu* menu = box->createStandardContextMenu(at);
    QAction* all = menu->addAction(QStringLiteral("Copy &All"), box, [box] { copyAll(box); });
    all->setObjectName(QStringLiteral("actCopyAll"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(box->viewport()->mapToGlobal(at));
  });
}

}  // namespace quorvel
