// Host name lookup on a thread of its own, so the GUI thread can keep pumping
// messages (and give up) while the resolver takes its time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Socket.h"

namespace platform {

struct LookupResult {
  int error = 0;  // Winsock-numbered; 0 when addresses were found
  std::vector<SocketAddress> addresses;
};

using Resolver = std::function<LookupResult(const std::string& host, std::uint16_t port)>;

// Replaces the system resolver (tests); an empty function restores it.
void SetResolverForTesting(Resolver resolver);
// The system resolver: getaddrinfo, IPv4 and IPv6, stream sockets.
LookupResult ResolveHost(const std::string& host, std::uint16_t port);

class NameLookup {
 public:
  NameLookup(const std::string& host, std::uint16_t port);
  // Does not wait for a lookup still running: its thread finishes on its own.
  ~NameLookup();
  NameLookup(const NameLookup&) = delete;
  NameLookup& operator=(const NameLookup&) = delete;

  // Waits up to timeoutMs; true once the lookup has finished.
  bool Wait(int timeoutMs);
  bool Finished() const;
  // The result; meaningful once Finished().
  LookupResult Result() const;

 private:
  struct State;
  std::shared_ptr<State> FState;
};

}  // namespace platform
