#pragma once

#include <QDialog>
#include <QStringList>

namespace quorvel {

// Window "Quorvel - Ping".
// urlSources: the main window's URL box, its current text first, then its list entries.
class frmPing : public QDialog {
  Q_OBJECT
 public:
  explicit frmPing(const QStringList& urlSources, QWidget* parent = nullptr);
};

}  // namespace quorvel
