// The sockets routines shared by the ping and trace-route windows: start and stop of the
// sockets library, name to dotted IPv4 text, address to dotted text, and reverse look-up.
//
// Addresses are 32-bit IPv4 values in network byte order, handed on unchanged.
#pragma once

#include <QString>
#include <cstdint>

namespace quorvel {

// Nothing needs starting on Linux: always true. Callers still call StartSockets before and
// StopSockets after their work, so the calling order stays the same everywhere.
bool StartSockets();
void StopSockets();

// Dotted text of the first IPv4 address of a host name or of dotted text; "" when the look-up
// fails. The text is used as it stands (no trimming).
QString GetHostAddress(const QString& host);

// Dotted text ("127.0.0.1") of an address in network byte order.
QString GetAddressText(const std::uint32_t& address);

// Text of a NUL-terminated string handed back by the system; "" for a null pointer.
QString GetTextFromPointer(const char* text);

// The host's name from a reverse look-up of the address; "" when there is none.
QString GetHostNameFromAddress(std::uint32_t address);

}  // namespace quorvel
