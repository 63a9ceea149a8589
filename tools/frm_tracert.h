#pragma once

#include <QStringList>
#include <cstdint>
#include <vector>

#include "tools/echo_tool_window.h"

class QCheckBox;

namespace quorvel {

// Window "Quorvel - TraceRoute".
// urlSources: the main window's URL box, its current text first, then its list entries.
//
// Sends echo requests with a TTL of 1, 2, 3, ... and lists, hop by hop, the answering address,
// the time of each request and, on request, the host name. Keeps its three options in section
// "TraceRoute" of the settings file: read when the window opens, written when it closes.
class frmTraceRt : public EchoToolWindow {
  Q_OBJECT
 public:
  explicit frmTraceRt(const QStringList& urlSources, QWidget* parent = nullptr);

  bool isTracing() const { return isRunning(); }

 protected:
  void runOperation() override { TraceRt(); }
  void saveSettings() override;

 private:
  void loadSettings();
  void TraceRt();
  int ProbeHop(IcmpEcho& echo, std::uint32_t destination, int dataSize, int n, int timeoutMs,
               int ttl, QString& hopAddress);
  void AddHopLine(int ttl, const std::vector<std::int32_t>& hopTimes, const QString& hopAddress,
                  const QString& hostName);

  QCheckBox* chkResolve_;
};

}  // namespace quorvel
