#include "bridge/LegacyWeatherCodes.h"

#include <array>
#include <iterator>

namespace bridge {

namespace {

constexpr std::array<std::string_view, 48> kConditionTexts = {
    "Tornado", "Tropical Storm", "Hurricane", "Severe Thunderstorms", "Thunderstorms",
    "Mixed Rain and Snow", "Mixed Rain and Sleet", "Mixed Snow and Sleet", "Freezing Drizzle", "Drizzle",
    "Freezing Rain", "Showers", "Showers", "Snow Flurries", "Light Snow Showers",
    "Blowing Snow", "Snow", "Hail", "Sleet", "Dust",
    "Foggy", "Haze", "Smoky", "Blustery", "Windy",
    "Cold", "Cloudy", "Mostly Cloudy", "Mostly Cloudy", "Partly Cloudy",
    "Partly Cloudy", "Clear", "Sunny", "Fair", "Fair",
    "Mixed Rain and Hail", "Hot", "Isolated Thunderstorms", "Scattered Thunderstorms", "Scattered Thunderstorms",
    "Scattered Showers", "Heavy Snow", "Scattered Snow Showers", "Heavy Snow", "Partly Cloudy",
    "Thundershowers", "Snow Showers", "Isolated Thundershowers"};

struct WmoRow {
  int wmo;
  int day;
  int night;
};

// The legacy table has no plain rain: its two shower codes stood for rain.
constexpr WmoRow kWmoTable[] = {
    {0, 32, 31},  {1, 34, 33},  {2, 30, 29},  {3, 26, 26},  {45, 20, 20}, {48, 20, 20},
    {51, 9, 9},   {53, 9, 9},   {55, 9, 9},   {56, 8, 8},   {57, 8, 8},   {61, 11, 11},
    {63, 12, 12}, {65, 12, 12}, {66, 10, 10}, {67, 10, 10}, {71, 14, 14}, {73, 16, 16},
    {75, 41, 41}, {77, 13, 13}, {80, 40, 40}, {81, 11, 11}, {82, 12, 12}, {85, 42, 42},
    {86, 43, 43}, {95, 4, 4},   {96, 3, 3},   {99, 3, 3},
};

struct MetRow {
  std::string_view base;
  int day;
  int night;
};

// Rain with thunder keeps a thunder picture; sleet or snow with thunder keeps
// its precipitation picture, because the legacy table has no combined one.
// MET's sleet is a rain-and-snow mix. The two "lights..." spellings are MET's own.
constexpr MetRow kMetTable[] = {
    {"clearsky", 32, 31},
    {"fair", 34, 33},
    {"partlycloudy", 30, 29},
    {"cloudy", 26, 26},
    {"fog", 20, 20},
    {"lightrainshowers", 40, 40},
    {"rainshowers", 11, 11},
    {"heavyrainshowers", 12, 12},
    {"lightrainshowersandthunder", 47, 47},
    {"rainshowersandthunder", 45, 45},
    {"heavyrainshowersandthunder", 4, 4},
    {"lightsleetshowers", 5, 5},
    {"sleetshowers", 5, 5},
    {"heavysleetshowers", 5, 5},
    {"lightssleetshowersandthunder", 5, 5},
    {"sleetshowersandthunder", 5, 5},
    {"heavysleetshowersandthunder", 5, 5},
    {"lightsnowshowers", 42, 42},
    {"snowshowers", 46, 46},
    {"heavysnowshowers", 43, 43},
    {"lightssnowshowersandthunder", 42, 42},
    {"snowshowersandthunder", 46, 46},
    {"heavysnowshowersandthunder", 43, 43},
    {"lightrain", 11, 11},
    {"rain", 12, 12},
    {"heavyrain", 12, 12},
    {"lightrainandthunder", 4, 4},
    {"rainandthunder", 4, 4},
    {"heavyrainandthunder", 3, 3},
    {"lightsleet", 5, 5},
    {"sleet", 5, 5},
    {"heavysleet", 5, 5},
    {"lightsleetandthunder", 5, 5},
    {"sleetandthunder", 5, 5},
    {"heavysleetandthunder", 5, 5},
    {"lightsnow", 14, 14},
    {"snow", 16, 16},
    {"heavysnow", 41, 41},
    {"lightsnowandthunder", 14, 14},
    {"snowandthunder", 16, 16},
    {"heavysnowandthunder", 41, 41},
};

constexpr std::string_view kSuffixes[] = {"_day", "_night", "_polartwilight"};

std::string_view WithoutSuffix(std::string_view symbol) {
  for (std::string_view suffix : kSuffixes)
    if (symbol.size() > suffix.size() && symbol.ends_with(suffix)) return symbol.substr(0, symbol.size() - suffix.size());
  return symbol;
}

}  // namespace

std::string_view LegacyConditionText(int code) {
  if (code >= 0 && code < static_cast<int>(kConditionTexts.size())) return kConditionTexts[static_cast<size_t>(code)];
  return "Not Available";
}

int LegacyCodeForWmo(int wmo, bool night) {
  for (const WmoRow& row : kWmoTable)
    if (row.wmo == wmo) return night ? row.night : row.day;
  return kNotAvailableCode;
}

bool IsMetNightSymbol(std::string_view symbol) {
  return symbol.ends_with("_night") || symbol.ends_with("_polartwilight");
}

int LegacyCodeForMetSymbol(std::string_view symbol) {
  const std::string_view base = WithoutSuffix(symbol);
  const bool night = IsMetNightSymbol(symbol);
  for (const MetRow& row : kMetTable)
    if (row.base == base) return night ? row.night : row.day;
  return kNotAvailableCode;
}

}  // namespace bridge
