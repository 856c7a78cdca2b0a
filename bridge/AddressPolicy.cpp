#include "bridge/AddressPolicy.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

namespace bridge {

namespace {

struct Range4 {
  std::uint32_t base;
  int bits;
  AddressClass kind;
};

constexpr std::uint32_t Ip(int a, int b, int c, int d) {
  return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(b) << 16) |
         (static_cast<std::uint32_t>(c) << 8) | static_cast<std::uint32_t>(d);
}

constexpr Range4 kRanges4[] = {
    {Ip(0, 0, 0, 0), 8, AddressClass::Restricted},       // this network
    {Ip(10, 0, 0, 0), 8, AddressClass::Restricted},      // private
    {Ip(100, 64, 0, 0), 10, AddressClass::Restricted},   // shared (carrier NAT)
    {Ip(127, 0, 0, 0), 8, AddressClass::Loopback},
    {Ip(169, 254, 0, 0), 16, AddressClass::Restricted},  // link-local
    {Ip(172, 16, 0, 0), 12, AddressClass::Restricted},   // private
    {Ip(192, 0, 0, 0), 24, AddressClass::Restricted},    // protocol assignments
    {Ip(192, 0, 2, 0), 24, AddressClass::Restricted},    // documentation
    {Ip(192, 88, 99, 0), 24, AddressClass::Restricted},  // 6to4 relay
    {Ip(192, 168, 0, 0), 16, AddressClass::Restricted},  // private
    {Ip(198, 18, 0, 0), 15, AddressClass::Restricted},   // benchmarking
    {Ip(198, 51, 100, 0), 24, AddressClass::Restricted}, // documentation
    {Ip(203, 0, 113, 0), 24, AddressClass::Restricted},  // documentation
    {Ip(224, 0, 0, 0), 4, AddressClass::Restricted},     // multicast
    {Ip(240, 0, 0, 0), 4, AddressClass::Restricted},     // reserved, broadcast
};

AddressClass Classify4(std::uint32_t a) {
  for (const Range4& r : kRanges4) {
    const std::uint32_t mask = r.bits == 0 ? 0 : ~std::uint32_t{0} << (32 - r.bits);
    if ((a & mask) == r.base) return r.kind;
  }
  return AddressClass::Public;
}

std::uint32_t Embedded4(const unsigned char* b, int at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
         (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

AddressClass Classify6(const in6_addr& address) {
  const unsigned char* b = address.s6_addr;
  static const unsigned char kZero[16] = {};
  if (std::memcmp(b, kZero, 15) == 0) return b[15] == 1 ? AddressClass::Loopback : AddressClass::Restricted;
  // IPv4-mapped ::ffff:a.b.c.d and NAT64 64:ff9b::a.b.c.d carry an IPv4 address.
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  static const unsigned char kNat64[12] = {0, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0};
  if (std::memcmp(b, kMapped, 12) == 0 || std::memcmp(b, kNat64, 12) == 0) return Classify4(Embedded4(b, 12));
  if (std::memcmp(b, kZero, 12) == 0) return AddressClass::Restricted;  // IPv4-compatible, deprecated
  if (b[0] == 0x20 && b[1] == 0x02) return Classify4(Embedded4(b, 2));  // 6to4
  if ((b[0] & 0xFE) == 0xFC) return AddressClass::Restricted;           // unique local
  if (b[0] == 0xFE && (b[1] & 0xC0) == 0x80) return AddressClass::Restricted;  // link-local
  if (b[0] == 0xFE && (b[1] & 0xC0) == 0xC0) return AddressClass::Restricted;  // site-local
  if (b[0] == 0xFF) return AddressClass::Restricted;                           // multicast
  if (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x0D && b[3] == 0xB8) return AddressClass::Restricted;  // documentation
  if (b[0] == 0x01 && b[1] == 0 && std::memcmp(b + 2, kZero, 6) == 0) return AddressClass::Restricted;  // discard
  if (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0 && b[3] == 0) return AddressClass::Restricted;  // Teredo
  return AddressClass::Public;
}

}  // namespace

AddressClass ClassifyAddress(const sockaddr* address) {
  if (!address) return AddressClass::Restricted;
  if (address->sa_family == AF_INET)
    return Classify4(ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
  if (address->sa_family == AF_INET6) return Classify6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
  return AddressClass::Restricted;
}

std::optional<AddressClass> ClassifyHost(std::string_view host) {
  std::string h(host);
  for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!h.empty() && h.back() == '.') h.pop_back();
  if (h == "localhost" || h.ends_with(".localhost")) return AddressClass::Loopback;
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  in_addr a4{};
  if (inet_pton(AF_INET, h.c_str(), &a4) == 1) return Classify4(ntohl(a4.s_addr));
  in6_addr a6{};
  if (inet_pton(AF_INET6, h.c_str(), &a6) == 1) return Classify6(a6);
  // Forms inet_pton refuses but resolvers accept (0x7f.1, 2130706433, 127.1)
  // are names made of digits, dots and x: treat them as restricted.
  if (!h.empty() && h.find_first_not_of("0123456789abcdefx.") == std::string::npos &&
      h.find_first_of("0123456789") != std::string::npos &&
      (std::isdigit(static_cast<unsigned char>(h.back())) || h.find("0x") != std::string::npos))
    return AddressClass::Restricted;
  return std::nullopt;
}

bool ReachesThisMachine(const sockaddr* address) {
  if (!address) return false;
  if (ClassifyAddress(address) == AddressClass::Loopback) return true;
  if (address->sa_family == AF_INET)
    return (ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr) >> 24) == 0;
  if (address->sa_family != AF_INET6) return false;
  const unsigned char* b = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
  static const unsigned char kZero[16] = {};
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  return std::memcmp(b, kZero, 16) == 0 || (std::memcmp(b, kMapped, 12) == 0 && b[12] == 0);
}

std::optional<bool> HostReachesThisMachine(std::string_view host) {
  std::string h(host);
  for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!h.empty() && h.back() == '.') h.pop_back();
  if (h == "localhost" || h.ends_with(".localhost")) return true;
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  sockaddr_in6 a6{};
  a6.sin6_family = AF_INET6;
  if (inet_pton(AF_INET6, h.c_str(), &a6.sin6_addr) == 1) return ReachesThisMachine(reinterpret_cast<sockaddr*>(&a6));
  // inet_aton reads every IPv4 form the resolver does: 127.1, 0x7f.1, 2130706433.
  sockaddr_in a4{};
  a4.sin_family = AF_INET;
  if (!h.empty() && h.find_first_not_of("0123456789abcdefx.") == std::string::npos && inet_aton(h.c_str(), &a4.sin_addr))
    return ReachesThisMachine(reinterpret_cast<sockaddr*>(&a4));
  return std::nullopt;
}

int PortOf(const sockaddr* address) {
  if (!address) return 0;
  if (address->sa_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
  if (address->sa_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
  return 0;
}

}  // namespace bridge
