#include "tools/frm_ftp.h"

namespace quorvel {

frmFTP::frmFTP(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmFTP"));
  setWindowTitle(QStringLiteral("Quorvel - FTP"));
}

}  // namespace quorvel
