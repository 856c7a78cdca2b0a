// The built-in location tables of the weather picker: 221 countries and the
// places of each with their weather codes, read in place from the embedded
// CountryTable and CityTable resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace config {

struct CountryRecord {
  std::string_view Name;
  std::int32_t Index = 0;
};

struct CityRecord {
  std::string_view Name;
  std::string_view Code;
  std::int32_t CountryIndex = 0;
};

// Positions [First, First + Count) of the city table.
struct CityRange {
  std::size_t First = 0;
  std::size_t Count = 0;
  std::size_t End() const { return First + Count; }
  bool Empty() const { return Count == 0; }
};

class LocationTables {
 public:
  static constexpr std::size_t kNameBytes = 40;
  static constexpr std::size_t kCodeBytes = 12;
  static constexpr std::size_t kCountryRecordBytes = kNameBytes + 4;
  static constexpr std::size_t kCityRecordBytes = kNameBytes + kCodeBytes + 4;

  // The tables carried in the program; empty (and not valid) when a resource
  // is missing or has a size that is no whole number of records.
  static const LocationTables& Embedded();

  // Over bytes that outlive the object. Trailing bytes short of a whole record
  // make the tables invalid and empty rather than half-read.
  LocationTables(std::span<const std::uint8_t> countryBytes, std::span<const std::uint8_t> cityBytes);

  bool IsValid() const { return FValid; }
  std::size_t CountryCount() const { return FCountries.size() / kCountryRecordBytes; }
  std::size_t CityCount() const { return FCities.size() / kCityRecordBytes; }

  // Both throw std::out_of_range past the end.
  CountryRecord Country(std::size_t index) const;
  CityRecord City(std::size_t index) const;

  // The places of a country, in table order. Places are grouped by country in
  // ascending order, so this is one contiguous run, found by binary search;
  // empty for a country without places or an index out of range.
  CityRange CitiesOf(std::int32_t countryIndex) const;

  // The first record whose code equals the given one exactly (case matters).
  std::optional<std::size_t> FindCode(std::string_view code) const;
  // The last record of the range with that code: with codes shared inside a
  // country, the later town is the one shown.
  std::optional<std::size_t> FindLastCodeIn(CityRange range, std::string_view code) const;

 private:
  std::int32_t CountryIndexAt(std::size_t cityIndex) const;
  std::string_view CodeAt(std::size_t cityIndex) const;

  std::span<const std::uint8_t> FCountries;
  std::span<const std::uint8_t> FCities;
  bool FValid = false;
};

}  // namespace config
