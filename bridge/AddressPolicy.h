// Which addresses the bridge may talk to. Upstream it connects only to public
// addresses, so that it never becomes a door into local services; clients
// may reach it only from loopback.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string_view>

namespace bridge {

enum class AddressClass {
  Public,
  Loopback,
  // Private, link-local, unique-local, shared, documentation, multicast,
  // unspecified and reserved ranges.
  Restricted,
};

AddressClass ClassifyAddress(const sockaddr* address);
// The class of a host that is an address literal or a loopback name
// ("localhost", "*.localhost"); nothing for other names, which are judged
// once they resolve.
std::optional<AddressClass> ClassifyHost(std::string_view host);
// Whether a connection to the address reaches this machine itself: loopback,
// or the unspecified address (0.0.0.0, ::), which Linux takes for it.
bool ReachesThisMachine(const sockaddr* address);
// The same for a host that is an address in any form the resolver reads
// (127.1, 2130706433, [::ffff:0:0]) or a loopback name; nothing for other
// names, which are judged once they resolve.
std::optional<bool> HostReachesThisMachine(std::string_view host);
// The port of an IPv4 or IPv6 socket address, 0 for others.
int PortOf(const sockaddr* address);

}  // namespace bridge
