#include "dialogs/frm_options.h"

namespace quorvel {

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Quorvel Options"));
}

}  // namespace quorvel
