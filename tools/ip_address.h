// An IPv4 or IPv6 address as the ICMP tools hand it on: its family, its bytes in network
// order, and for a link-local IPv6 address the interface it belongs to. Two addresses are
// equal when they are the same address, however they were written (2001:db8::1 and
// 2001:0db8:0:0::1 are one address).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

struct sockaddr;
struct sockaddr_storage;

namespace quorvel {

enum class IpFamily { V4, V6 };

class IpAddress {
 public:
  IpAddress() = default;  // no address
  static IpAddress v4(std::uint32_t networkOrder);
  static IpAddress v6(const std::uint8_t* bytes16, std::uint32_t scopeId = 0);
  // An address from a socket address of either family; none for any other.
  static IpAddress fromSockaddr(const sockaddr* address, std::size_t length);
  // A literal: dotted IPv4, or IPv6 with or without brackets ("[::1]") and with an optional
  // zone ("fe80::1%eth0"). Anything else (a name, a port after the address) gives nothing.
  static std::optional<IpAddress> parse(const QString& text);

  bool isNull() const { return !family_; }
  bool isV4() const { return family_ == IpFamily::V4; }
  bool isV6() const { return family_ == IpFamily::V6; }
  IpFamily family() const { return family_.value_or(IpFamily::V4); }
  std::uint32_t v4Value() const;  // network byte order; 0 unless IPv4
  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }  // IPv4 in the first 4
  std::uint32_t scopeId() const { return scope_; }

  // Dotted text for IPv4, the shortest IPv6 form (RFC 5952) with its zone; "" for none.
  QString text() const;
  // The socket address to send to; its length, 0 for none.
  std::size_t toSockaddr(sockaddr_storage& out) const;

  friend bool operator==(const IpAddress& a, const IpAddress& b) {
    return a.family_ == b.family_ && a.bytes_ == b.bytes_ && a.scope_ == b.scope_;
  }

 private:
  std::optional<IpFamily> family_;
  std::array<std::uint8_t, 16> bytes_{};
  std::uint32_t scope_ = 0;
};

// Which family a name is to be resolved to.
enum class AddressChoice {
  Automatic,  // a literal of either family as it stands; a name: IPv4 first, else IPv6
  V4,
  V6,
};

}  // namespace quorvel
