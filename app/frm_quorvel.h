#pragma once

#include <QMainWindow>

namespace quorvel {

// The main window "Quorvel": benchmark choices, status, totals, Run/Cancel and the menus.
class frmQuorvel : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmQuorvel(QWidget* parent = nullptr);
};

}  // namespace quorvel
