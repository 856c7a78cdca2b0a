#include <gtest/gtest.h>

#include "bridge/LegacyWeatherCodes.h"

namespace {

using bridge::LegacyCodeForMetSymbol;
using bridge::LegacyCodeForWmo;
using bridge::LegacyConditionText;

struct WmoCase {
  int wmo;
  int day;
  int night;
};

// Every code Open-Meteo sends, with the legacy day and night pictures.
const WmoCase kWmoCases[] = {
    {0, 32, 31},  {1, 34, 33},  {2, 30, 29},  {3, 26, 26},  {45, 20, 20}, {48, 20, 20}, {51, 9, 9},
    {53, 9, 9},   {55, 9, 9},   {56, 8, 8},   {57, 8, 8},   {61, 11, 11}, {63, 12, 12}, {65, 12, 12},
    {66, 10, 10}, {67, 10, 10}, {71, 14, 14}, {73, 16, 16}, {75, 41, 41}, {77, 13, 13}, {80, 40, 40},
    {81, 11, 11}, {82, 12, 12}, {85, 42, 42}, {86, 43, 43}, {95, 4, 4},   {96, 3, 3},   {99, 3, 3},
};

TEST(LegacyWeatherCodes, EveryWmoCodeDayAndNight) {
  for (const WmoCase& c : kWmoCases) {
    EXPECT_EQ(LegacyCodeForWmo(c.wmo, false), c.day) << "WMO " << c.wmo << " by day";
    EXPECT_EQ(LegacyCodeForWmo(c.wmo, true), c.night) << "WMO " << c.wmo << " by night";
  }
}

TEST(LegacyWeatherCodes, WmoCodesOpenMeteoNeverSendsAreNotAvailable) {
  for (int wmo : {-1, 4, 10, 44, 50, 60, 70, 90, 98, 100, 3200})
    EXPECT_EQ(LegacyCodeForWmo(wmo, false), bridge::kNotAvailableCode) << wmo;
}

struct MetCase {
  const char* symbol;
  int code;
};

const MetCase kMetCases[] = {
    {"clearsky_day", 32}, {"clearsky_night", 31}, {"clearsky_polartwilight", 31},
    {"fair_day", 34}, {"fair_night", 33}, {"partlycloudy_day", 30}, {"partlycloudy_night", 29},
    {"cloudy", 26}, {"fog", 20},
    {"lightrainshowers_day", 40}, {"rainshowers_night", 11}, {"heavyrainshowers_day", 12},
    {"lightrainshowersandthunder_day", 47}, {"rainshowersandthunder_night", 45},
    {"heavyrainshowersandthunder_day", 4},
    {"lightsleetshowers_day", 5}, {"sleetshowers_night", 5}, {"heavysleetshowers_day", 5},
    {"lightssleetshowersandthunder_day", 5}, {"sleetshowersandthunder_day", 5},
    {"heavysleetshowersandthunder_night", 5},
    {"lightsnowshowers_day", 42}, {"snowshowers_night", 46}, {"heavysnowshowers_day", 43},
    {"lightssnowshowersandthunder_day", 42}, {"snowshowersandthunder_night", 46},
    {"heavysnowshowersandthunder_day", 43},
    {"lightrain", 11}, {"rain", 12}, {"heavyrain", 12},
    {"lightrainandthunder", 4}, {"rainandthunder", 4}, {"heavyrainandthunder", 3},
    {"lightsleet", 5}, {"sleet", 5}, {"heavysleet", 5},
    {"lightsleetandthunder", 5}, {"sleetandthunder", 5}, {"heavysleetandthunder", 5},
    {"lightsnow", 14}, {"snow", 16}, {"heavysnow", 41},
    {"lightsnowandthunder", 14}, {"snowandthunder", 16}, {"heavysnowandthunder", 41},
};

TEST(LegacyWeatherCodes, EveryMetSymbolWithItsVariant) {
  for (const MetCase& c : kMetCases) EXPECT_EQ(LegacyCodeForMetSymbol(c.symbol), c.code) << c.symbol;
}

TEST(LegacyWeatherCodes, UnknownOrDamagedMetSymbolsAreNotAvailable) {
  for (const char* s : {"", "_day", "sunny", "clearsky_evening", "CLEARSKY_DAY", "clearsky_day_night", "rain_day2"})
    EXPECT_EQ(LegacyCodeForMetSymbol(s), bridge::kNotAvailableCode) << s;
}

TEST(LegacyWeatherCodes, TextsFollowTheLegacyTable) {
  EXPECT_EQ(LegacyConditionText(0), "Tornado");
  EXPECT_EQ(LegacyConditionText(26), "Cloudy");
  EXPECT_EQ(LegacyConditionText(31), "Clear");
  EXPECT_EQ(LegacyConditionText(32), "Sunny");
  EXPECT_EQ(LegacyConditionText(47), "Isolated Thundershowers");
  EXPECT_EQ(LegacyConditionText(48), "Not Available");
  EXPECT_EQ(LegacyConditionText(3200), "Not Available");
  EXPECT_EQ(LegacyConditionText(-1), "Not Available");
}

}  // namespace
