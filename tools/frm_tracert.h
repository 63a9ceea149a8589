#pragma once

#include <QDialog>
#include <QStringList>

namespace quorvel {

// Window "Quorvel - TraceRoute".
// urlSources: the main window's URL box, its current text first, then its list entries.
class frmTraceRt : public QDialog {
  Q_OBJECT
 public:
  explicit frmTraceRt(const QStringList& urlSources, QWidget* parent = nullptr);
};

}  // namespace quorvel
