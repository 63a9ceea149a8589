// The sockets routines shared by the ping and trace-route windows: start and stop of the
// sockets library, name to address, address to text, and reverse look-up.
//
// IPv4 addresses as 32-bit values are in network byte order, handed on unchanged.
#pragma once

#include <QString>
#include <cstdint>

#include "tools/ip_address.h"

namespace quorvel {

// Nothing needs starting on Linux: always true. Callers still call StartSockets before and
// StopSockets after their work, so the calling order stays the same everywhere.
bool StartSockets();
void StopSockets();

// Dotted text of the first IPv4 address of a host name or of dotted text; "" when the look-up
// fails. The text is used as it stands (no trimming).
QString GetHostAddress(const QString& host);

// The address to ping or trace for what the user typed (used as it stands): a literal of the
// family asked for as it is (IPv6 with or without brackets); a name resolved to its first
// address of that family, or, with Automatic, to its first IPv4 address and, when it has
// none, its first IPv6 address. No address when the look-up fails.
IpAddress ResolveHost(const QString& host, AddressChoice choice);

// Dotted text ("127.0.0.1") of an address in network byte order.
QString GetAddressText(const std::uint32_t& address);
// The text of an address of either family ("" for none).
QString GetAddressText(const IpAddress& address);

// Text of a NUL-terminated string handed back by the system; "" for a null pointer.
QString GetTextFromPointer(const char* text);

// The host's name from a reverse look-up of the address; "" when there is none.
QString GetHostNameFromAddress(std::uint32_t address);
QString GetHostNameFromAddress(const IpAddress& address);

}  // namespace quorvel
