#include "dialogs/frm_about.h"

namespace quorvel {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About Quorvel"));
}

}  // namespace quorvel
