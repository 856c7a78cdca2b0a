// Absolute http and https addresses, parsed by libcurl's URL parser.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bridge {

struct Url {
  std::string scheme;  // lower case
  std::string host;    // lower case, IPv6 without brackets
  int port = 0;        // the scheme's default when none is given
  std::string path;    // at least "/"
  std::string query;   // without "?", may be empty

  // Nothing for anything but a well-formed http or https address.
  static std::optional<Url> Parse(std::string_view text);
  std::string ToString() const;
  // host, with brackets around IPv6, and ":port" unless it is the default.
  std::string Authority() const;
};

// "a=1&b" into {"a","1"}, {"b",""}; names and values stay as written.
std::vector<std::pair<std::string, std::string>> QueryPairs(std::string_view query);
std::string QueryValue(std::string_view query, std::string_view name);

}  // namespace bridge
