#include "tools/ip_address.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace quorvel {

IpAddress IpAddress::v4(std::uint32_t networkOrder) {
  IpAddress a;
  a.family_ = IpFamily::V4;
  std::memcpy(a.bytes_.data(), &networkOrder, 4);
  return a;
}

IpAddress IpAddress::v6(const std::uint8_t* bytes16, std::uint32_t scopeId) {
  IpAddress a;
  a.family_ = IpFamily::V6;
  std::memcpy(a.bytes_.data(), bytes16, 16);
  a.scope_ = scopeId;
  return a;
}

IpAddress IpAddress::fromSockaddr(const sockaddr* address, std::size_t length) {
  if (!address) return {};
  if (address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
    sockaddr_in sin;
    std::memcpy(&sin, address, sizeof sin);
    return v4(sin.sin_addr.s_addr);
  }
  if (address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
    sockaddr_in6 sin6;
    std::memcpy(&sin6, address, sizeof sin6);
    return v6(sin6.sin6_addr.s6_addr, sin6.sin6_scope_id);
  }
  return {};
}

std::optional<IpAddress> IpAddress::parse(const QString& text) {
  QString t = text;
  const bool bracketed = t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
  if (bracketed) t = t.mid(1, t.size() - 2);
  const QByteArray bytes = t.toLatin1();
  if (bytes.isEmpty() || bytes.contains('\0') || t.size() != bytes.size()) return std::nullopt;
  if (!bracketed) {
    in_addr a4{};
    if (inet_pton(AF_INET, bytes.constData(), &a4) == 1) return v4(a4.s_addr);
  }
  if (!bytes.contains(':')) return std::nullopt;
  // Numeric only: getaddrinfo reads the zone ("%eth0" or "%2") as inet_pton does not.
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* list = nullptr;
  if (getaddrinfo(bytes.constData(), nullptr, &hints, &list) != 0 || !list) return std::nullopt;
  const IpAddress a = fromSockaddr(list->ai_addr, list->ai_addrlen);
  freeaddrinfo(list);
  if (a.isNull()) return std::nullopt;
  return a;
}

std::uint32_t IpAddress::v4Value() const {
  if (!isV4()) return 0;
  std::uint32_t v;
  std::memcpy(&v, bytes_.data(), 4);
  return v;
}

QString IpAddress::text() const {
  if (isNull()) return {};
  char buf[INET6_ADDRSTRLEN + IF_NAMESIZE + 2] = {};
  if (!inet_ntop(isV4() ? AF_INET : AF_INET6, bytes_.data(), buf, INET6_ADDRSTRLEN)) return {};
  QString s = QString::fromLatin1(buf);
  if (isV6() && scope_ != 0) {
    char name[IF_NAMESIZE] = {};
    s += QLatin1Char('%') +
         (if_indextoname(scope_, name) ? QString::fromLocal8Bit(name) : QString::number(scope_));
  }
  return s;
}

std::size_t IpAddress::toSockaddr(sockaddr_storage& out) const {
  std::memset(&out, 0, sizeof out);
  if (isV4()) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    std::memcpy(&sin.sin_addr, bytes_.data(), 4);
    std::memcpy(&out, &sin, sizeof sin);
    return sizeof sin;
  }
  if (isV6()) {
    sockaddr_in6 sin6{};
    sin6.sin6_family = AF_INET6;
    std::memcpy(&sin6.sin6_addr, bytes_.data(), 16);
    sin6.sin6_scope_id = scope_;
    std::memcpy(&out, &sin6, sizeof sin6);
    return sizeof sin6;
  }
  return 0;
}

}  // namespace quorvel
