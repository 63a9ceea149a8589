// A scripted echo endpoint for the window tests: each request is answered by a function of
// its destination and TTL, and every request is recorded.
#pragma once

#include <arpa/inet.h>

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "tools/icmp_echo.h"

namespace quorvel::testing {

struct EchoCall {
  IpAddress destination;
  int ttl;
  int timeoutMs;
  int payloadSize;
};

class FakeEcho : public IcmpEcho {
 public:
  using Script = std::function<EchoResult(const EchoCall& call, int index)>;
  FakeEcho(Script script, std::vector<EchoCall>* calls)
      : script_(std::move(script)), calls_(calls) {}
  EchoResult SendEcho(const IpAddress& destination, int payloadSize, int ttl,
                      int timeoutMs) override {
    const EchoCall call{destination, ttl, timeoutMs, payloadSize};
    calls_->push_back(call);
    return script_(call, static_cast<int>(calls_->size()));
  }

 private:
  Script script_;
  std::vector<EchoCall>* calls_;
};

inline IpAddress ipv4(const char* dotted) {
  in_addr a{};
  inet_pton(AF_INET, dotted, &a);
  return IpAddress::v4(a.s_addr);
}

// An address of either family from its text ("2001:db8::1", "192.0.2.2").
inline IpAddress ip(const char* text) {
  return IpAddress::parse(QString::fromLatin1(text)).value_or(IpAddress());
}

inline EchoResult answer(const char* from, std::uint32_t ms, int status = 0, int ttl = 64) {
  EchoResult r;
  r.status = status;
  r.answered = true;
  r.address = ip(from);
  r.roundTripMs = ms;
  r.ttl = ttl;
  return r;
}

inline EchoResult silence() {
  return EchoResult{};
}

// An opener handing out a FakeEcho with the script, recording into `calls`; the families it
// was asked for go to `families` when given.
inline IcmpOpener fakeOpener(FakeEcho::Script script, std::vector<EchoCall>* calls,
                             std::vector<IpFamily>* families = nullptr) {
  return [script, calls, families](IpFamily family) {
    if (families) families->push_back(family);
    IcmpOpenResult r;
    r.echo = std::make_unique<FakeEcho>(script, calls);
    return r;
  };
}

}  // namespace quorvel::testing
