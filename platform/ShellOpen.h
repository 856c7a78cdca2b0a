// The shell's "open" for web addresses: hands an http or https address to the
// desktop's opener (xdg-open on PATH), detached, without a shell. Addresses
// come from feeds on the network, so anything else is never handed on.
#pragma once

#include <string>

namespace platform {

// True for an address whose scheme is http or https (any case) and that holds
// no control character or blank.
bool IsWebAddress(const std::string& address);

// Starts the opener for address and returns at once; false when the address
// is refused or the opener cannot be started. Never waits for the browser.
bool ShellOpen(const std::string& address);

}  // namespace platform
