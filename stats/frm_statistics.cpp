#include "stats/frm_statistics.h"

namespace quorvel {

frmStatistics::frmStatistics(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmStatistics"));
  setWindowTitle(QStringLiteral("Log File Statistics"));
}

}  // namespace quorvel
