#include "bridge/LocationCoordinates.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "bridge/AsciiText.h"

extern "C" {
extern const char bridge_city_coordinates[];
extern const char bridge_city_coordinates_end[];
}

namespace bridge {

namespace {

bool ParseDouble(std::string_view s, double& value) {
  s = TrimAscii(s);
  if (s.empty()) return false;
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  return error == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

}  // namespace

LocationTable::LocationTable(std::string_view csv) {
  while (!csv.empty()) {
    const size_t eol = csv.find('\n');
    std::string_view line = csv.substr(0, eol);
    csv = eol == std::string_view::npos ? std::string_view() : csv.substr(eol + 1);
    const size_t a = line.find(','), b = a == std::string_view::npos ? a : line.find(',', a + 1);
    if (b == std::string_view::npos) continue;
    Coordinates c;
    const std::string_view code = TrimAscii(line.substr(0, a));
    if (code.empty() || !ParseDouble(line.substr(a + 1, b - a - 1), c.latitude) ||
        !ParseDouble(line.substr(b + 1), c.longitude) || std::fabs(c.latitude) > 90 || std::fabs(c.longitude) > 180)
      continue;  // the header line and anything damaged
    FCodes.emplace_back(AsciiUpper(code), c);
  }
  std::stable_sort(FCodes.begin(), FCodes.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  // The first row of a repeated code wins.
  FCodes.erase(std::unique(FCodes.begin(), FCodes.end(), [](const auto& x, const auto& y) { return x.first == y.first; }),
               FCodes.end());
}

std::optional<Coordinates> LocationTable::Find(std::string_view code) const {
  const std::string wanted = AsciiUpper(TrimAscii(code));
  auto it = std::lower_bound(FCodes.begin(), FCodes.end(), wanted,
                             [](const auto& row, const std::string& key) { return row.first < key; });
  if (it == FCodes.end() || it->first != wanted) return std::nullopt;
  return it->second;
}

namespace {

const LocationTable& EmbeddedTable() {
  static const LocationTable table(
      std::string_view(bridge_city_coordinates, static_cast<size_t>(bridge_city_coordinates_end - bridge_city_coordinates)));
  return table;
}

}  // namespace

std::optional<Coordinates> FindLocation(std::string_view code) { return EmbeddedTable().Find(code); }

std::size_t LocationCount() { return EmbeddedTable().Size(); }

}  // namespace bridge
