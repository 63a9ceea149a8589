#include "tools/frm_ping.h"

namespace quorvel {

frmPing::frmPing(const QStringList& /*urlSources*/, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPing"));
  setWindowTitle(QStringLiteral("Quorvel - Ping"));
}

}  // namespace quorvel
