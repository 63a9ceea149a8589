#include "tools/frm_tracert.h"

namespace quorvel {

frmTraceRt::frmTraceRt(const QStringList& /*urlSources*/, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmTraceRt"));
  setWindowTitle(QStringLiteral("Quorvel - TraceRoute"));
}

}  // namespace quorvel
