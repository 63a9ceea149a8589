#include "stats/frm_graph.h"

namespace quorvel {

frmGraph::frmGraph(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmGraph"));
  setWindowTitle(QStringLiteral("Log File Graph"));
}

}  // namespace quorvel
