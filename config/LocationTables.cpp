#include "config/LocationTables.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/Resources.h"

namespace config {
namespace {

// A NUL-terminated text in a fixed-width field; a field without its NUL is
// taken whole rather than read past.
std::string_view FieldText(const std::uint8_t* field, std::size_t width) {
  std::size_t length = 0;
  while (length < width && field[length] != 0) ++length;
  return {reinterpret_cast<const char*>(field), length};
}

std::int32_t LittleEndian32(const std::uint8_t* p) {
  const std::uint32_t v = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                          std::uint32_t{p[3]} << 24;
  return static_cast<std::int32_t>(v);
}

std::span<const std::uint8_t> Resource(std::string_view name) {
  auto found = platform::FindResource(name);
  return found ? *found : std::span<const std::uint8_t>{};
}

}  // namespace

const LocationTables& LocationTables::Embedded() {
  static const LocationTables tables(Resource("CountryTable"), Resource("CityTable"));
  return tables;
}

LocationTables::LocationTables(std::span<const std::uint8_t> countryBytes,
                               std::span<const std::uint8_t> cityBytes) {
  FValid = !countryBytes.empty() && countryBytes.size() % kCountryRecordBytes == 0 &&
           cityBytes.size() % kCityRecordBytes == 0;
  if (FValid) {
    FCountries = countryBytes;
    FCities = cityBytes;
  }
}

CountryRecord LocationTables::Country(std::size_t index) const {
  if (index >= CountryCount())
    throw std::out_of_range("country " + std::to_string(index) + " of " + std::to_string(CountryCount()));
  const std::uint8_t* record = FCountries.data() + index * kCountryRecordBytes;
  return {FieldText(record, kNameBytes), LittleEndian32(record + kNameBytes)};
}

CityRecord LocationTables::City(std::size_t index) const {
  if (index >= CityCount())
    throw std::out_of_range("city " + std::to_string(index) + " of " + std::to_string(CityCount()));
  const std::uint8_t* record = FCities.data() + index * kCityRecordBytes;
  return {FieldText(record, kNameBytes), FieldText(record + kNameBytes, kCodeBytes),
          LittleEndian32(record + kNameBytes + kCodeBytes)};
}

std::int32_t LocationTables::CountryIndexAt(std::size_t cityIndex) const {
  return LittleEndian32(FCities.data() + cityIndex * kCityRecordBytes + kNameBytes + kCodeBytes);
}

std::string_view LocationTables::CodeAt(std::size_t cityIndex) const {
  return FieldText(FCities.data() + cityIndex * kCityRecordBytes + kNameBytes, kCodeBytes);
}

CityRange LocationTables::CitiesOf(std::int32_t countryIndex) const {
  if (countryIndex < 0 || static_cast<std::size_t>(countryIndex) >= CountryCount()) return {};
  // First record whose country is not before the wanted one, then the first
  // one past it.
  auto boundary = [&](std::int32_t wanted) {
    std::size_t lo = 0, hi = CityCount();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (CountryIndexAt(mid) < wanted)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  };
  const std::size_t first = boundary(countryIndex);
  const std::size_t end = boundary(countryIndex + 1);
  return {first, end - first};
}

std::optional<std::size_t> LocationTables::FindCode(std::string_view code) const {
  for (std::size_t i = 0; i < CityCount(); ++i)
    if (CodeAt(i) == code) return i;
  return std::nullopt;
}

std::optional<std::size_t> LocationTables::FindLastCodeIn(CityRange range, std::string_view code) const {
  std::optional<std::size_t> last;
  const std::size_t end = std::min(range.End(), CityCount());
  for (std::size_t i = range.First; i < end; ++i)
    if (CodeAt(i) == code) last = i;
  return last;
}

}  // namespace config
