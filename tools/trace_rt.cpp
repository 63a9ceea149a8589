#include "tools/trace_rt.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace quorvel {

bool StartSockets() {
  return true;
}

void StopSockets() {}

QString GetHostAddress(const QString& host) {
  return ResolveHost(host, AddressChoice::V4).text();
}

namespace {

// An IPv4 address written as IPv6 ("::ffff:127.0.0.1") is that IPv4 address: no ICMPv6 echo
// request ever reaches it.
IpAddress unmapped(const IpAddress& a) {
  const auto& b = a.bytes();
  const bool mapped = a.isV6() &&
                      std::all_of(b.begin(), b.begin() + 10, [](auto x) { return x == 0; }) &&
                      b[10] == 0xff && b[11] == 0xff;
  if (!mapped) return a;
  std::uint32_t networkOrder = 0;
  std::memcpy(&networkOrder, b.data() + 12, 4);
  return IpAddress::v4(networkOrder);
}

}  // namespace

IpAddress ResolveHost(const QString& host, AddressChoice choice) {
  const auto wanted = [choice](const IpAddress& a) {
    return choice == AddressChoice::Automatic ||
           a.family() == (choice == AddressChoice::V4 ? IpFamily::V4 : IpFamily::V6);
  };
  if (const std::optional<IpAddress> literal = IpAddress::parse(host)) {
    const IpAddress address = unmapped(*literal);
    return wanted(address) ? address : IpAddress();
  }

  const QByteArray name = host.toLocal8Bit();
  if (name.isEmpty() || name.contains('\0')) return {};
  addrinfo hints{};
  hints.ai_family = choice == AddressChoice::V4   ? AF_INET
                    : choice == AddressChoice::V6 ? AF_INET6
                                                  : AF_UNSPEC;
  hints.ai_socktype = SOCK_RAW;  // one entry per address, not one per socket type
  addrinfo* list = nullptr;
  if (getaddrinfo(name.constData(), nullptr, &hints, &list) != 0 || !list) return {};
  IpAddress first4, first6;
  for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
    const IpAddress a = IpAddress::fromSockaddr(ai->ai_addr, ai->ai_addrlen);
    if (a.isV4() && first4.isNull()) first4 = a;
    if (a.isV6() && first6.isNull()) first6 = a;
  }
  freeaddrinfo(list);
  return !first4.isNull() ? first4 : first6;
}

QString GetAddressText(const std::uint32_t& address) {
  in_addr in{};
  in.s_addr = address;
  char buf[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &in, buf, sizeof buf)) return {};
  return GetTextFromPointer(buf);
}

QString GetAddressText(const IpAddress& address) {
  return address.text();
}

QString GetTextFromPointer(const char* text) {
  if (!text) return {};
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(std::strlen(text)));
}

QString GetHostNameFromAddress(std::uint32_t address) {
  return GetHostNameFromAddress(IpAddress::v4(address));
}

QString GetHostNameFromAddress(const IpAddress& address) {
  sockaddr_storage sa;
  const std::size_t length = address.toSockaddr(sa);
  if (length == 0) return {};
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), static_cast<socklen_t>(length), host,
                  sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
    return {};
  return GetTextFromPointer(host);
}

}  // namespace quorvel
