// The proxy a user behind one has named in the environment, chosen per
// address the way libcurl would (http_proxy in lower case only, https_proxy,
// all_proxy, no_proxy), except that a proxy at the bridge's own port on this
// machine (loopback or 0.0.0.0, in any form) is ignored: a user who points
// http_proxy at the bridge for the saver must not send the bridge into itself.
// A name that resolves to this machine is caught when the fetcher connects.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "bridge/Url.h"

namespace bridge {

using EnvironmentLookup = std::function<const char*(const char*)>;

class ProxyEnvironment {
 public:
  ProxyEnvironment(EnvironmentLookup lookup, int ownPort);
  // The proxy address for libcurl, or empty for a direct connection.
  std::string ProxyFor(const Url& url) const;

  // Whether no_proxy (a comma list of host names, domain suffixes, address
  // literals, or "*") exempts the host.
  static bool Exempt(std::string_view noProxy, std::string_view host);

 private:
  bool PointsAtBridge(const std::string& proxy) const;
  EnvironmentLookup FLookup;
  int FOwnPort;
};

}  // namespace bridge
