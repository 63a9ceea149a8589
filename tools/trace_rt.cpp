#include "tools/trace_rt.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace quorvel {

bool StartSockets() {
  return true;
}

void StopSockets() {}

QString GetHostAddress(const QString& host) {
  const QByteArray name = host.toLocal8Bit();
  if (name.contains('\0')) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_RAW;  // one entry per address, not one per socket type
  addrinfo* list = nullptr;
  if (getaddrinfo(name.constData(), nullptr, &hints, &list) != 0 || !list) return {};
  QString text;
  for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && ai->ai_addr && ai->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in sin;
      std::memcpy(&sin, ai->ai_addr, sizeof sin);
      text = GetAddressText(sin.sin_addr.s_addr);
      break;
    }
  }
  freeaddrinfo(list);
  return text;
}

QString GetAddressText(const std::uint32_t& address) {
  in_addr in{};
  in.s_addr = address;
  char buf[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &in, buf, sizeof buf)) return {};
  return GetTextFromPointer(buf);
}

QString GetTextFromPointer(const char* text) {
  if (!text) return {};
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(std::strlen(text)));
}

QString GetHostNameFromAddress(std::uint32_t address) {
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = address;
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, host, sizeof host, nullptr,
                  0, NI_NAMEREQD) != 0)
    return {};
  return GetTextFromPointer(host);
}

}  // namespace quorvel
