// A scripted echo endpoint for the window tests: each request is answered by a function of
// the request and its number (from 1), and every request is recorded.
#pragma once

#include <QLineEdit>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"
#include "tools/icmp_echo.h"

namespace quorvel::testing {

struct EchoCall {
  IpAddress destination;
  int ttl, timeoutMs, payloadSize;
};
using EchoScript = std::function<EchoResult(const EchoCall& call, int index)>;

// An address of either family from its text ("2001:db8::1", "192.0.2.2").
inline IpAddress ip(const char* text) {
  return IpAddress::parse(QString::fromLatin1(text)).value_or(IpAddress());
}

inline EchoResult answer(const char* from, std::uint32_t ms, int status = 0) {
  EchoResult r;
  r.status = status;
  r.answered = true;
  r.address = ip(from);
  r.roundTripMs = ms;
  r.roundTripMicros = static_cast<std::int64_t>(ms) * 1000;
  r.ttl = 64;
  return r;
}

// An opener handing out endpoints that follow the script, recording the requests into `calls`
// and the families asked for into `families`.
inline IcmpOpener fakeOpener(EchoScript script, std::vector<EchoCall>* calls,
                             std::vector<IpFamily>* families) {
  class Fake : public IcmpEcho {
   public:
    Fake(EchoScript s, std::vector<EchoCall>* c) : script_(std::move(s)), calls_(c) {}
    EchoResult SendEcho(const IpAddress& to, int payloadSize, int ttl, int timeoutMs) override {
      calls_->push_back({to, ttl, timeoutMs, payloadSize});
      return script_(calls_->back(), static_cast<int>(calls_->size()));
    }

   private:
    EchoScript script_;
    std::vector<EchoCall>* calls_;
  };
  return [script, calls, families](IpFamily family) {
    families->push_back(family);
    IcmpOpenResult r;
    r.echo = std::make_unique<Fake>(script, calls);
    return r;
  };
}

// The ping or the trace-route window, its address box showing `source`; and the ping's five
// figures as its boxes show them.
inline std::unique_ptr<EchoToolWindow> echoWindow(bool ping, const QString& source) {
  if (ping) return std::make_unique<frmPing>(QStringList{source});
  return std::make_unique<frmTraceRt>(QStringList{source});
}
inline QStringList statsShown(const QWidget* w) {
  QStringList out;
  for (QLineEdit* e : w->findChildren<QLineEdit*>("txtStats")) out << e->text();
  return out;
}

}  // namespace quorvel::testing
