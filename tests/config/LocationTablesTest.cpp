#include "config/LocationTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Resources.h"

using config::CityRange;
using config::LocationTables;

namespace {

constexpr std::int32_t kUsa = 210;
constexpr std::int32_t kZambia = 219;

const char* const kCountryNames[] = {
    "Afghanistan", "Albania", "Algeria", "American Samoa", "Andorra", "Angola", "Anguilla",
    "Antarctica", "Antigua and Barbuda", "Argentina", "Armenia", "Aruba", "Ascension Island",
    "Australia", "Austria", "Azerbaijan", "Bahamas", "Bahrain", "Bangladesh", "Barbados",
    "Belarus", "Belgium", "Belize", "Benin", "Bermuda", "Bhutan", "Bolivia",
    "Bosnia and Herzegovina", "Botswana", "Brazil", "British Virgin Islands", "Brunei", "Bulgaria",
    "Burkina Faso", "Burundi", "Cambodia", "Cameroon", "Canada", "Cape Verde", "Cayman Islands",
    "Central African Republic", "Chad", "Chile", "China", "Christmas Island", "Colombia",
    "Comoros", "Congo (Brazzaville)", "Congo, Democratic Republic of", "Cook Islands",
    "Costa Rica", "Cote D'Ivoire", "Croatia", "Cuba", "Cyprus", "Czech Republic", "Denmark",
    "Djibouti", "Dominica", "Dominican Republic", "Ecuador", "Egypt", "El Salvador",
    "Equatorial Guinea", "Eritrea", "Estonia", "Ethiopia", "Falkland Islands", "Fiji", "Finland",
    "France", "French Guiana", "French Polynesia", "Gabon", "Gambia", "Georgia", "Germany",
    "Ghana", "Gibraltar", "Greece", "Greenland", "Grenada", "Guadeloupe", "Guam", "Guatemala",
    "Guinea", "Guinea-Bissau", "Guyana", "Haiti", "Honduras", "Hungary", "Iceland", "India",
    "Indonesia", "Iran", "Iraq", "Ireland", "Isle of Man", "Israel", "Italy", "Jamaica", "Japan",
    "Jordan", "Kazakhstan", "Kenya", "Kiribati", "Korea, North", "Kuwait", "Kwajalein",
    "Kyrgyzstan", "Laos", "Latvia", "Lebanon", "Lesotho", "Liberia", "Libya", "Liechtenstein",
    "Lithuania", "Luxembourg", "Macedonia, Former Yugoslav Republic of", "Madagascar", "Malawi",
    "Malaysia", "Maldives", "Mali", "Malta", "Marshall Islands", "Martinique", "Mauritania",
    "Mauritius", "Mayotte", "Mexico", "Micronesia, Federated States of", "Moldova", "Monaco",
    "Mongolia", "Morocco", "Mozambique", "Myanmar", "Namibia", "Nauru", "Nepal", "Netherlands",
    "Netherlands Antilles", "New Caledonia", "New Zealand", "Nicaragua", "Niger", "Nigeria",
    "Northern Mariana Islands", "Norway", "Oman", "Pakistan", "Palau", "Palestinian Authority",
    "Panama", "Papua New Guinea", "Paraguay", "Peru", "Philippines", "Poland", "Portugal",
    "Puerto Rico", "Qatar", "Reunion", "Romania", "Russia", "Rwanda",
    "S. Georgia and S. Sandwich Islands", "Saint Kitts and Nevis", "Saint Lucia", "San Marino",
    "Sao Tome and Principe", "Saudi Arabia", "Senegal", "Seychelles", "Sierra Leone", "Singapore",
    "Slovakia", "Slovenia", "Solomon Islands", "Somalia", "South Africa", "South Korea", "Spain",
    "Sri Lanka", "Sudan", "Suriname", "Swaziland", "Sweden", "Switzerland", "Syria", "Taiwan",
    "Tajikistan", "Tanzania", "Thailand", "Togo", "Tonga", "Trinidad and Tobago", "Tunisia",
    "Turkey", "Turkmenistan", "Turks and Caicos Islands", "Tuvalu", "U.S. Virgin Islands",
    "Uganda", "Ukraine", "United Arab Emirates", "United Kingdom", "Uruguay", "USA", "Uzbekistan",
    "Vanuatu", "Venezuela", "Vietnam", "Wake Island", "Western Sahara", "Yemen", "Yugoslavia",
    "Zambia", "Zimbabwe"
};

const LocationTables& Tables() { return LocationTables::Embedded(); }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::int32_t CountryNamed(std::string_view name) {
  for (std::size_t i = 0; i < Tables().CountryCount(); ++i)
    if (Tables().Country(i).Name == name) return static_cast<std::int32_t>(i);
  return -1;
}

std::vector<std::string> NamesOf(std::int32_t country) {
  std::vector<std::string> names;
  const CityRange range = Tables().CitiesOf(country);
  for (std::size_t i = range.First; i < range.End(); ++i) names.emplace_back(Tables().City(i).Name);
  return names;
}

// After the text's NUL every byte of a field must be NUL too.
void ExpectNulPadded(std::span<const std::uint8_t> field, const std::string& what) {
  auto nul = std::find(field.begin(), field.end(), std::uint8_t{0});
  ASSERT_NE(nul, field.end()) << what << " is not NUL-terminated";
  EXPECT_TRUE(std::all_of(nul, field.end(), [](std::uint8_t b) { return b == 0; })) << what << " has bytes after its NUL";
}

}  // namespace

TEST(LocationTables, EmbeddedTablesHaveTheirRecordCountsAndSizes) {
  auto countries = platform::FindResource("CountryTable");
  auto cities = platform::FindResource("CityTable");
  ASSERT_TRUE(countries && cities);
  EXPECT_EQ(countries->size(), 221u * 44u);
  EXPECT_EQ(cities->size(), 1339744u);
  ASSERT_TRUE(Tables().IsValid());
  EXPECT_EQ(Tables().CountryCount(), 221u);
  EXPECT_EQ(Tables().CityCount(), 23924u);
}

TEST(LocationTables, CountriesAreTheListInOrderWithTheirOwnIndex) {
  ASSERT_EQ(Tables().CountryCount(), std::size(kCountryNames));
  auto bytes = *platform::FindResource("CountryTable");
  for (std::size_t i = 0; i < std::size(kCountryNames); ++i) {
    EXPECT_EQ(Tables().Country(i).Name, kCountryNames[i]) << i;
    EXPECT_EQ(Tables().Country(i).Index, static_cast<std::int32_t>(i));
    ExpectNulPadded(bytes.subspan(i * 44, 40), "country name " + std::to_string(i));
  }
  EXPECT_EQ(Tables().Country(kUsa).Name, "USA");
  EXPECT_EQ(Tables().Country(kZambia).Name, "Zambia");
}

TEST(LocationTables, PlacesAreGroupedByCountryAndSortedWithoutRegardToCase) {
  for (std::size_t i = 1; i < Tables().CityCount(); ++i) {
    const auto before = Tables().City(i - 1);
    const auto here = Tables().City(i);
    ASSERT_LE(before.CountryIndex, here.CountryIndex) << "record " << i;
    if (before.CountryIndex == here.CountryIndex) {
      EXPECT_LT(Lower(before.Name), Lower(here.Name)) << "record " << i << " " << here.Name;
    }
  }
  EXPECT_GE(Tables().City(0).CountryIndex, 0);
  EXPECT_LT(Tables().City(Tables().CityCount() - 1).CountryIndex, 221);
}

TEST(LocationTables, NamesAreShortAsciiAndNulPadded) {
  auto bytes = *platform::FindResource("CityTable");
  std::size_t longest = 0;
  for (std::size_t i = 0; i < Tables().CityCount(); ++i) {
    const auto name = Tables().City(i).Name;
    ASSERT_FALSE(name.empty()) << i;
    EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7e; })) << name;
    EXPECT_NE(name.front(), ' ');
    EXPECT_NE(name.back(), ' ');
    longest = std::max(longest, name.size());
    ExpectNulPadded(bytes.subspan(i * 56, 40), "name of " + std::to_string(i));
    ExpectNulPadded(bytes.subspan(i * 56 + 40, 12), "code of " + std::to_string(i));
  }
  EXPECT_EQ(longest, 25u);
}

TEST(LocationTables, LongCodesCarryTheirCountrysPrefixAndRegion) {
  std::map<std::int32_t, std::set<std::string>> prefixes;
  std::set<std::string> codes;
  std::size_t longCodes = 0;
  const std::set<std::string> regionCoded = {"Mexico", "Argentina", "Puerto Rico"};
  for (std::size_t i = 0; i < Tables().CityCount(); ++i) {
    const auto city = Tables().City(i);
    if (city.CountryIndex == kUsa) continue;
    const std::string code(city.Code);
    ASSERT_EQ(code.size(), 8u) << city.Name;
    EXPECT_TRUE(std::all_of(code.begin(), code.begin() + 4, [](char c) { return c >= 'A' && c <= 'Z'; })) << code;
    EXPECT_TRUE(std::all_of(code.begin() + 4, code.end(), [](char c) { return c >= '0' && c <= '9'; })) << code;
    EXPECT_NE(code.substr(4), "0000") << code;
    const bool byRegion = regionCoded.count(std::string(Tables().Country(city.CountryIndex).Name)) > 0;
    EXPECT_EQ(code.substr(2, 2) == "XX", !byRegion) << code << " " << city.Name;
    prefixes[city.CountryIndex].insert(code.substr(0, 2));
    EXPECT_TRUE(codes.insert(code).second) << code << " occurs twice";
    ++longCodes;
  }
  EXPECT_EQ(longCodes, 21510u);
  // One prefix per country, no two countries alike.
  std::set<std::string> seen;
  for (const auto& [country, set] : prefixes) {
    ASSERT_EQ(set.size(), 1u) << Tables().Country(country).Name;
    EXPECT_TRUE(seen.insert(*set.begin()).second) << *set.begin();
  }
  const std::map<std::string, std::string> known = {
      {"Afghanistan", "AF"}, {"Algeria", "AG"},  {"United Kingdom", "UK"}, {"Germany", "GM"},
      {"Argentina", "AR"},   {"Mexico", "MX"},   {"Puerto Rico", "RQ"},    {"Brazil", "BR"},
      {"Spain", "SP"},       {"Austria", "AU"},  {"Australia", "AS"},      {"China", "CH"},
      {"Switzerland", "SZ"}, {"Wake Island", "WQ"}};
  for (const auto& [name, prefix] : known) EXPECT_EQ(*prefixes[CountryNamed(name)].begin(), prefix) << name;
  // Argentina's region is its province: Buenos Aires is "BA".
  const CityRange argentina = Tables().CitiesOf(CountryNamed("Argentina"));
  bool buenosAires = false;
  for (std::size_t i = argentina.First; i < argentina.End(); ++i)
    buenosAires = buenosAires || Tables().City(i).Code == "ARBA1903";
  EXPECT_TRUE(buenosAires);
}

TEST(LocationTables, UsaHasPostalCodesSomeSharedButNoneAbroad) {
  const CityRange usa = Tables().CitiesOf(kUsa);
  EXPECT_EQ(usa.Count, 2414u);
  std::map<std::string, int> uses;
  for (std::size_t i = usa.First; i < usa.End(); ++i) {
    const auto city = Tables().City(i);
    const std::string name(city.Name);
    ASSERT_GE(name.size(), 5u);
    const std::string state = name.substr(name.size() - 4);
    EXPECT_TRUE(state[0] == ',' && state[1] == ' ' && std::isupper(static_cast<unsigned char>(state[2])) &&
                std::isupper(static_cast<unsigned char>(state[3])))
        << name;
    EXPECT_EQ(city.Code.size(), 5u) << name;
    EXPECT_TRUE(std::all_of(city.Code.begin(), city.Code.end(), [](char c) { return c >= '0' && c <= '9'; }))
        << city.Code;
    ++uses[std::string(city.Code)];
  }
  EXPECT_EQ(std::count_if(uses.begin(), uses.end(), [](const auto& u) { return u.second > 1; }), 347);
  // No code, long or short, belongs to two countries.
  std::map<std::string, std::int32_t> owner;
  for (std::size_t i = 0; i < Tables().CityCount(); ++i) {
    const auto city = Tables().City(i);
    auto [it, fresh] = owner.emplace(std::string(city.Code), city.CountryIndex);
    EXPECT_TRUE(fresh || it->second == city.CountryIndex) << city.Code;
  }
}

TEST(LocationTables, CountrySizes) {
  std::vector<std::pair<std::size_t, std::int32_t>> sizes;
  for (std::int32_t c = 0; c < 221; ++c) sizes.emplace_back(Tables().CitiesOf(c).Count, c);
  EXPECT_EQ(sizes[kZambia].first, 0u);
  for (const auto& [size, country] : sizes)
    if (country != kZambia) {
      EXPECT_GT(size, 0u) << Tables().Country(country).Name;
    }
  std::stable_sort(sizes.begin(), sizes.end(), [](auto a, auto b) { return a.first > b.first; });
  const std::pair<const char*, std::size_t> largest[] = {{"Germany", 6378}, {"Brazil", 3538},
                                                         {"USA", 2414},     {"Mexico", 2321},
                                                         {"United Kingdom", 1989}, {"Argentina", 1250}};
  for (std::size_t k = 0; k < std::size(largest); ++k) {
    EXPECT_EQ(Tables().Country(sizes[k].second).Name, largest[k].first);
    EXPECT_EQ(sizes[k].first, largest[k].second);
  }
  EXPECT_LT(sizes[6].first, 1250u);
}

TEST(LocationTables, RecordsNamedForTheDialog) {
  const auto first = Tables().City(0);
  EXPECT_EQ(first.Name, "Bost/Laskar");
  EXPECT_EQ(first.Code, "AFXX0005");
  EXPECT_EQ(first.CountryIndex, 0);

  const CityRange algeria = Tables().CitiesOf(CountryNamed("Algeria"));
  ASSERT_GE(algeria.Count, 3u);
  EXPECT_EQ(Tables().City(algeria.First).Name, "Adrar");
  EXPECT_EQ(Tables().City(algeria.First).Code, "AGXX0034");
  EXPECT_EQ(Tables().City(algeria.First + 1).Name, "Algiers");
  EXPECT_EQ(Tables().City(algeria.First + 1).Code, "AGXX0001");
  const auto names = NamesOf(CountryNamed("Algeria"));
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
            (std::vector<std::string>{"Adrar", "Algiers", "Amsel"}));

  auto codeOf = [](std::string_view country, std::string_view name) {
    const CityRange range = Tables().CitiesOf(CountryNamed(country));
    for (std::size_t i = range.First; i < range.End(); ++i)
      if (Tables().City(i).Name == name) return std::string(Tables().City(i).Code);
    return std::string("(missing)");
  };
  EXPECT_EQ(codeOf("United Kingdom", "Abbey"), "UKXX1294");
  EXPECT_EQ(codeOf("USA", "Washington, DC"), "20001");
  EXPECT_EQ(codeOf("USA", "Abington, MA"), "02301");
  EXPECT_EQ(codeOf("USA", "Brockton, MA"), "02301");
}

// What the picker does when the tab is shown: the first record with the code
// picks the country, the last one inside it picks the place.
TEST(LocationTables, PendingCodeSelectsCountryAndPlace) {
  auto show = [](std::string_view code) -> std::pair<std::string, std::string> {
    auto first = Tables().FindCode(code);
    if (!first) return {};
    const auto country = Tables().City(*first).CountryIndex;
    auto place = Tables().FindLastCodeIn(Tables().CitiesOf(country), code);
    return {std::string(Tables().Country(country).Name), place ? std::string(Tables().City(*place).Name) : ""};
  };
  EXPECT_EQ(show("20001"), std::make_pair(std::string("USA"), std::string("Washington, DC")));
  EXPECT_EQ(show("02301"), std::make_pair(std::string("USA"), std::string("Brockton, MA")));
  EXPECT_EQ(show("AFXX0005"), std::make_pair(std::string("Afghanistan"), std::string("Bost/Laskar")));
  EXPECT_EQ(show("afxx0005"), std::make_pair(std::string(), std::string()));
  EXPECT_EQ(show(""), std::make_pair(std::string(), std::string()));
  EXPECT_EQ(show("AFXX000"), std::make_pair(std::string(), std::string()));
}

TEST(LocationTables, CitiesOfMatchesAScanOfTheWholeTable) {
  std::map<std::int32_t, CityRange> scanned;
  for (std::size_t i = 0; i < Tables().CityCount(); ++i) {
    auto& range = scanned[Tables().City(i).CountryIndex];
    if (range.Count == 0) range.First = i;
    ++range.Count;
  }
  for (std::int32_t c = 0; c < 221; ++c) {
    const CityRange got = Tables().CitiesOf(c);
    const CityRange want = scanned.count(c) ? scanned[c] : CityRange{};
    EXPECT_EQ(got.Count, want.Count) << c;
    if (!want.Empty()) {
      EXPECT_EQ(got.First, want.First) << c;
    }
  }
  EXPECT_TRUE(Tables().CitiesOf(-1).Empty());
  EXPECT_TRUE(Tables().CitiesOf(221).Empty());
  EXPECT_TRUE(Tables().CitiesOf(kZambia).Empty());
}

TEST(LocationTables, SideTableGivesEveryCodeAPosition) {
  const char* source = std::getenv("BRISVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream file(std::string(source) + "/config/data/CityCoordinates.csv");
  ASSERT_TRUE(file) << "config/data/CityCoordinates.csv";
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "code,latitude,longitude");
  std::set<std::string> listed;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::string code, lat, lon;
    ASSERT_TRUE(std::getline(fields, code, ',') && std::getline(fields, lat, ',') && std::getline(fields, lon))
        << line;
    EXPECT_TRUE(listed.insert(code).second) << code << " listed twice";
    const double la = std::stod(lat), lo = std::stod(lon);
    EXPECT_TRUE(la >= -90 && la <= 90 && lo >= -180 && lo <= 180) << line;
  }
  std::set<std::string> used;
  for (std::size_t i = 0; i < Tables().CityCount(); ++i) used.emplace(Tables().City(i).Code);
  EXPECT_EQ(listed, used);
}

// The reader on tables made here: bounds, broken fields, broken sizes.
namespace {

std::vector<std::uint8_t> CountryBytes(std::initializer_list<const char*> names) {
  std::vector<std::uint8_t> out;
  std::int32_t index = 0;
  for (const char* name : names) {
    std::uint8_t record[44] = {};
    std::copy_n(name, std::min<std::size_t>(std::strlen(name), 40), record);
    for (int b = 0; b < 4; ++b) record[40 + b] = static_cast<std::uint8_t>(index >> (8 * b));
    out.insert(out.end(), record, record + 44);
    ++index;
  }
  return out;
}

std::vector<std::uint8_t> CityBytes(std::initializer_list<std::tuple<const char*, const char*, std::int32_t>> rows) {
  std::vector<std::uint8_t> out;
  for (const auto& [name, code, country] : rows) {
    std::uint8_t record[56] = {};
    std::copy_n(name, std::min<std::size_t>(std::strlen(name), 40), record);
    std::copy_n(code, std::min<std::size_t>(std::strlen(code), 12), record + 40);
    for (int b = 0; b < 4; ++b) record[52 + b] = static_cast<std::uint8_t>(country >> (8 * b));
    out.insert(out.end(), record, record + 56);
  }
  return out;
}

}  // namespace

TEST(LocationTablesReader, AccessPastTheEndThrows) {
  const auto countries = CountryBytes({"A", "B", "C"});
  const auto cities = CityBytes({{"x", "AAXX0001", 0}, {"y", "CCXX0001", 2}});
  const LocationTables tables(countries, cities);
  ASSERT_TRUE(tables.IsValid());
  EXPECT_EQ(tables.Country(2).Name, "C");
  EXPECT_EQ(tables.Country(2).Index, 2);
  EXPECT_THROW(tables.Country(3), std::out_of_range);
  EXPECT_THROW(tables.City(2), std::out_of_range);
  EXPECT_EQ(tables.City(1).CountryIndex, 2);
  // A country between two others without places, and one past the end.
  EXPECT_TRUE(tables.CitiesOf(1).Empty());
  EXPECT_EQ(tables.CitiesOf(2).First, 1u);
  EXPECT_EQ(tables.CitiesOf(2).Count, 1u);
  EXPECT_TRUE(tables.CitiesOf(3).Empty());
  EXPECT_FALSE(tables.FindLastCodeIn({1, 99}, "AAXX0001"));
  EXPECT_EQ(tables.FindLastCodeIn({0, 99}, "CCXX0001"), 1u);
}

TEST(LocationTablesReader, FieldsWithoutTheirNulStayInsideTheirWidth) {
  const std::string full(40, 'N');
  const auto countries = CountryBytes({full.c_str()});
  const auto cities = CityBytes({{full.c_str(), "ABCDEFGHIJKL", 0}});
  const LocationTables tables(countries, cities);
  EXPECT_EQ(tables.Country(0).Name, full);
  EXPECT_EQ(tables.City(0).Name, full);
  EXPECT_EQ(tables.City(0).Code, "ABCDEFGHIJKL");
  EXPECT_EQ(tables.City(0).CountryIndex, 0);
}

TEST(LocationTablesReader, PartialRecordsMakeTheTablesInvalidAndEmpty) {
  auto countries = CountryBytes({"A"});
  auto cities = CityBytes({{"x", "AAXX0001", 0}});
  cities.pop_back();
  const LocationTables shortCities(countries, cities);
  EXPECT_FALSE(shortCities.IsValid());
  EXPECT_EQ(shortCities.CountryCount(), 0u);
  EXPECT_EQ(shortCities.CityCount(), 0u);
  EXPECT_THROW(shortCities.Country(0), std::out_of_range);
  EXPECT_FALSE(shortCities.FindCode("AAXX0001"));
  const LocationTables noCountries({}, {});
  EXPECT_FALSE(noCountries.IsValid());
  EXPECT_TRUE(noCountries.CitiesOf(0).Empty());
}
