#pragma once
// Facts about the machine's network that the device information reports.
// Any thread: each call returns its own text.
#include <optional>
#include <string>

namespace GCore {

// The hardware address of the first Ethernet interface with a 6-byte
// address, as "AA-BB-CC-DD-EE-FF"; "" when there is none.
std::string FirstEthernetAddress();

// The first IPv4 address the name resolves to, in dotted form; empty when
// it does not resolve.
std::optional<std::string> ResolveFirstIPv4(const std::string& host);

}  // namespace GCore
