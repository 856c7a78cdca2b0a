#include "bridge/ProxyEnvironment.h"

#include <cctype>

#include "bridge/AsciiText.h"
#include "bridge/AddressPolicy.h"

namespace bridge {

ProxyEnvironment::ProxyEnvironment(EnvironmentLookup lookup, int ownPort)
    : FLookup(std::move(lookup)), FOwnPort(ownPort) {}

bool ProxyEnvironment::Exempt(std::string_view noProxy, std::string_view host) {
  const std::string h = AsciiLower(host);
  while (!noProxy.empty()) {
    const std::size_t comma = noProxy.find(',');
    std::string entry = AsciiLower(TrimAscii(noProxy.substr(0, comma)));
    noProxy = comma == std::string_view::npos ? std::string_view() : noProxy.substr(comma + 1);
    if (entry == "*") return true;
    if (entry.size() >= 2 && entry.front() == '[' && entry.back() == ']') entry = entry.substr(1, entry.size() - 2);
    while (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
    if (entry.empty()) continue;
    if (h == entry || (h.size() > entry.size() && h.ends_with(entry) && h[h.size() - entry.size() - 1] == '.'))
      return true;
  }
  return false;
}

bool ProxyEnvironment::PointsAtBridge(const std::string& proxy) const {
  std::string text = proxy.find("://") == std::string::npos ? "http://" + proxy : proxy;
  std::optional<Url> url = Url::Parse(text);
  if (!url) return false;
  const bool explicitPort = text.find(':', text.find("://") + 3) != std::string::npos;
  const int port = explicitPort ? url->port : 1080;  // libcurl's default proxy port
  return port == FOwnPort && HostReachesThisMachine(url->host).value_or(false);
}

std::string ProxyEnvironment::ProxyFor(const Url& url) const {
  auto value = [this](const char* name) -> std::string {
    const char* v = FLookup ? FLookup(name) : nullptr;
    return v ? std::string(TrimAscii(v)) : std::string();
  };
  std::string noProxy = value("no_proxy");
  if (noProxy.empty()) noProxy = value("NO_PROXY");
  if (Exempt(noProxy, url.host)) return {};
  std::string proxy;
  if (url.scheme == "https") {
    proxy = value("https_proxy");
    if (proxy.empty()) proxy = value("HTTPS_PROXY");
  } else {
    proxy = value("http_proxy");  // never HTTP_PROXY: CGI programs get it from request headers
  }
  if (proxy.empty()) proxy = value("all_proxy");
  if (proxy.empty()) proxy = value("ALL_PROXY");
  if (proxy.empty() || PointsAtBridge(proxy)) return {};
  return proxy;
}

}  // namespace bridge
