// Latitude and longitude of every location code the dialog offers (five-digit
// US postal codes and eight-character location codes), from the table that is
// embedded in the program.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bridge {

struct Coordinates {
  double latitude = 0;
  double longitude = 0;
};

// Codes compare without regard to case; surrounding blanks are ignored.
std::optional<Coordinates> FindLocation(std::string_view code);
std::size_t LocationCount();

// The table's text form, "code,latitude,longitude" with a header line; rows
// that do not parse are skipped. Public for the tests.
class LocationTable {
 public:
  explicit LocationTable(std::string_view csv);
  std::optional<Coordinates> Find(std::string_view code) const;
  std::size_t Size() const { return FCodes.size(); }

 private:
  std::vector<std::pair<std::string, Coordinates>> FCodes;
};

}  // namespace bridge
