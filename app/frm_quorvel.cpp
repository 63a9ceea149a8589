#include "app/frm_quorvel.h"

namespace quorvel {

frmQuorvel::frmQuorvel(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmQuorvel"));
  setWindowTitle(QStringLiteral("Quorvel"));
}

}  // namespace quorvel
