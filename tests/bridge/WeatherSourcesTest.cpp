#include <gtest/gtest.h>

#include "SaverSide.h"
#include "WeatherSamples.h"
#include "bridge/CivilTime.h"
#include "bridge/LegacyWeatherReply.h"
#include "bridge/LocationCoordinates.h"
#include "bridge/MetNoSource.h"
#include "bridge/OpenMeteoSource.h"

namespace {

using namespace bridge;

TEST(WholeDegrees, HalvesRoundAwayFromZero) {
  const std::pair<double, const char*> cases[] = {{0.0, "0"},   {0.4, "0"},    {0.5, "1"},    {-0.4, "0"},
                                                  {-0.5, "-1"}, {1.5, "2"},    {-1.5, "-2"},  {2.49, "2"},
                                                  {72.5, "73"}, {-17.5, "-18"}, {99.99, "100"}, {-0.0, "0"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(WholeDegrees(value), text) << value;
}

TEST(OpenMeteoSource, RequestAsksForEverythingTheSaverShowsInOneCall) {
  const std::string url =
      OpenMeteoSource::RequestUrl("http://127.0.0.1:9/base/", {38.91224, -77.0177}, TemperatureUnit::Celsius);
  EXPECT_EQ(url,
            "http://127.0.0.1:9/base/v1/forecast?latitude=38.9122&longitude=-77.0177"
            "&current=temperature_2m,weather_code,is_day&daily=weather_code,temperature_2m_max,temperature_2m_min"
            "&temperature_unit=celsius&timezone=auto&forecast_days=5");
  EXPECT_NE(OpenMeteoSource::RequestUrl("https://x", {0, 0}, TemperatureUnit::Fahrenheit)
                .find("temperature_unit=fahrenheit"),
            std::string::npos);
}

TEST(OpenMeteoSource, ReadsTheRecordedShape) {
  std::optional<WeatherReport> r = OpenMeteoSource::Parse(testing_bridge::OpenMeteoSample(3, 1, 41.5));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, 26);
  EXPECT_DOUBLE_EQ(r->temperature, 41.5);
  EXPECT_EQ(r->zone, "EST");
  EXPECT_EQ(r->observed.hour, 16);
  EXPECT_EQ(r->observed.minute, 45);
  ASSERT_EQ(r->days.size(), 5u);
  EXPECT_EQ(r->days[0].date.day, 31);
  EXPECT_EQ(r->days[1].code, 11);  // WMO 61, daily: day picture
  EXPECT_DOUBLE_EQ(r->days[1].low, -0.5);
  EXPECT_DOUBLE_EQ(r->days[1].high, 50.5);
}

TEST(OpenMeteoSource, NightTakesTheNightPicture) {
  std::optional<WeatherReport> r = OpenMeteoSource::Parse(testing_bridge::OpenMeteoSample(0, 0, 20));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, 31);
}

TEST(OpenMeteoSource, RefusesRepliesThatAreNotTheForecast) {
  const std::string good = testing_bridge::OpenMeteoSample(3, 1, 41.5);
  auto without = [&](const std::string& part, const std::string& replacement) {
    std::string s = good;
    const size_t at = s.find(part);
    EXPECT_NE(at, std::string::npos) << part;
    if (at != std::string::npos) s.replace(at, part.size(), replacement);
    return s;
  };
  const std::string cases[] = {
      "",
      "not json",
      "{\"error\":true,\"reason\":\"Latitude must be in range of -90 to 90\"}",
      "[1,2,3]",
      without("\"temperature_2m\":41.5", "\"temperature_2m\":null"),
      without("\"weather_code\":3,", "\"weather_code\":\"3\","),
      without("\"time\":\"2024-01-31T16:45\"", "\"time\":\"yesterday\""),
      without("\"temperature_2m_max\":[45.3,50.5,48.1,39.9,41.0]", "\"temperature_2m_max\":[45.3]"),  // one day
      without("\"is_day\":1", "\"is_day\":1.5"),
  };
  for (const std::string& text : cases) EXPECT_FALSE(OpenMeteoSource::Parse(text)) << text.substr(0, 80);
}

TEST(OpenMeteoSource, ADayWithAMissingValueEndsTheForecast) {
  std::string s = testing_bridge::OpenMeteoSample(3, 1, 41.5);
  const std::string part = "\"weather_code\":[3,61,0,2,80]";
  s.replace(s.find(part), part.size(), "\"weather_code\":[3,61,null,2,80]");
  std::optional<WeatherReport> r = OpenMeteoSource::Parse(s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->days.size(), 2u);
}

TEST(MetNoSource, RequestHasFourDecimalsAtMost) {
  EXPECT_EQ(MetNoSource::RequestUrl("https://api.met.no", {59.913868, 10.752245}),
            "https://api.met.no/weatherapi/locationforecast/2.0/compact?lat=59.9139&lon=10.7522");
  EXPECT_EQ(MetNoSource::RequestUrl("http://h:1/", {-33.0, 0.0}),
            "http://h:1/weatherapi/locationforecast/2.0/compact?lat=-33.0&lon=0.0");
}

TEST(MetNoSource, SolarOffsetFromLongitude) {
  const std::pair<double, int> cases[] = {{0, 0}, {7.4, 0}, {7.6, 1}, {-77.0, -5}, {139.7, 9}, {179.9, 12}, {-179.9, -12}};
  for (const auto& [lon, hours] : cases) EXPECT_EQ(MetNoSource::SolarOffsetHours(lon), hours) << lon;
}

TEST(MetNoSource, GathersLocalDaysFromTheSteps) {
  const Coordinates washington{38.9, -77.0};  // five hours behind UTC by the sun
  const std::int64_t now = SecondsFromCivil(*ParseIsoTime("2024-01-31T15:00:00Z"));
  std::optional<WeatherReport> c = MetNoSource::Parse(testing_bridge::MetNoSample(), washington, now, TemperatureUnit::Celsius);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->code, 32);
  EXPECT_EQ(c->observed.hour, 10);
  EXPECT_EQ(c->zone, "UTC-5");
  ASSERT_EQ(c->days.size(), 3u);
  // Today: the steps from 10:00 to 22:00 local.
  EXPECT_EQ(WholeDegrees(c->days[0].low), "2");
  EXPECT_EQ(WholeDegrees(c->days[0].high), "9");
  EXPECT_EQ(c->days[0].code, 30);
  // Tomorrow: six-hourly extremes count, the twelve-hour symbol near 06:00 wins.
  EXPECT_EQ(c->days[1].date.day, 1);
  EXPECT_EQ(WholeDegrees(c->days[1].low), "-5");
  EXPECT_EQ(WholeDegrees(c->days[1].high), "4");
  EXPECT_EQ(c->days[1].code, 12);
  EXPECT_EQ(c->days[2].code, 20);

  std::optional<WeatherReport> f =
      MetNoSource::Parse(testing_bridge::MetNoSample(), washington, now, TemperatureUnit::Fahrenheit);
  ASSERT_TRUE(f);
  EXPECT_EQ(WholeDegrees(f->temperature), "41");
  EXPECT_EQ(WholeDegrees(f->days[0].low), "35");
  EXPECT_EQ(WholeDegrees(f->days[0].high), "49");
  EXPECT_EQ(WholeDegrees(f->days[1].low), "24");
  EXPECT_EQ(WholeDegrees(f->days[1].high), "40");
}

TEST(MetNoSource, NightStepGivesTheNightPictureButDaysKeepTheDayOne) {
  const std::int64_t now = SecondsFromCivil(*ParseIsoTime("2024-02-01T03:10:00Z"));
  std::optional<WeatherReport> r =
      MetNoSource::Parse(testing_bridge::MetNoSample(), {38.9, -77.0}, now, TemperatureUnit::Celsius);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, 31);
  ASSERT_GE(r->days.size(), 2u);
  EXPECT_EQ(r->days[0].date.day, 31);
  EXPECT_EQ(r->days[0].code, 32);  // clearsky_night, shown by day
}

TEST(MetNoSource, OldDataOrNoStepsIsUnusable) {
  const Coordinates where{38.9, -77.0};
  const std::int64_t muchLater = SecondsFromCivil(*ParseIsoTime("2024-02-05T00:00:00Z"));
  EXPECT_FALSE(MetNoSource::Parse(testing_bridge::MetNoSample(), where, muchLater, TemperatureUnit::Celsius));
  for (const char* text : {"", "{}", "{\"properties\":{\"timeseries\":[]}}", "{\"properties\":{\"timeseries\":7}}"})
    EXPECT_FALSE(MetNoSource::Parse(text, where, muchLater, TemperatureUnit::Celsius)) << text;
}

TEST(LegacyWeatherReply, TheSaverCutsTheServicesValues) {
  std::optional<WeatherReport> r = OpenMeteoSource::Parse(testing_bridge::OpenMeteoSample(2, 1, 71.4));
  ASSERT_TRUE(r);
  const std::string reply =
      LegacyWeatherReply("20001", {38.9, -77.0}, TemperatureUnit::Fahrenheit, *r, OpenMeteoSource::Credit());
  EXPECT_EQ(testing_bridge::Weather(online::CutWeatherReply(reply)), "30 71 11 -1 51");
  EXPECT_TRUE(reply.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\""));
  EXPECT_NE(reply.find("<yweather:units temperature=\"F\""), std::string::npos);
  EXPECT_NE(reply.find("Weather data by Open-Meteo.com"), std::string::npos);
  EXPECT_NE(reply.find("day=\"Wed\" date=\"31 Jan 2024\""), std::string::npos);
  EXPECT_NE(reply.find("date=\"Wed, 31 Jan 2024 4:45 pm EST\""), std::string::npos);
}

TEST(LocationCoordinates, EmbeddedTableHoldsBothKindsOfCode) {
  EXPECT_GT(LocationCount(), 20000u);
  std::optional<Coordinates> zip = FindLocation("20001");
  ASSERT_TRUE(zip);
  EXPECT_NEAR(zip->latitude, 38.9122, 1e-9);
  EXPECT_NEAR(zip->longitude, -77.0177, 1e-9);
  EXPECT_TRUE(FindLocation("ukxx0085"));
  EXPECT_TRUE(FindLocation(" UKXX0085 "));
  for (const char* unknown : {"", "00000", "UKXX", "UKXX0085X", "code", "20001&u=c"})
    EXPECT_FALSE(FindLocation(unknown)) << unknown;
}

TEST(LocationCoordinates, DamagedRowsAreSkipped) {
  const LocationTable table(
      "code,latitude,longitude\nAAAA0001,1.5,2.5\r\nBAD,x,1\nRANGE,91,0\nSHORT,1\n,1,1\nAAAA0001,9,9\nZZZZ0009,-3,-4");
  EXPECT_EQ(table.Size(), 2u);
  ASSERT_TRUE(table.Find("AAAA0001"));
  EXPECT_DOUBLE_EQ(table.Find("aaaa0001")->latitude, 1.5);  // the first of a repeated code
  EXPECT_DOUBLE_EQ(table.Find("ZZZZ0009")->longitude, -4);
  EXPECT_FALSE(table.Find("RANGE"));
}

TEST(CivilTime, DatesAndWeekdays) {
  const std::pair<const char*, int> weekdays[] = {{"1970-01-01", 4}, {"2000-02-29", 2}, {"2024-01-31", 3},
                                                  {"1969-12-31", 3}, {"2100-03-01", 1}};
  for (const auto& [text, weekday] : weekdays) EXPECT_EQ(Weekday(*ParseIsoTime(text)), weekday) << text;
  const CivilTime t = CivilFromSeconds(SecondsFromCivil(*ParseIsoTime("2024-02-29T23:59:59Z")) + 1);
  EXPECT_EQ(LegacyDateTime(t, "GMT"), "Fri, 1 Mar 2024 12:00 am GMT");
  EXPECT_EQ(LegacyClock(*ParseIsoTime("2024-01-01T12:05"), ""), "12:05 pm");
  for (const char* bad : {"2023-02-29", "2024-13-01", "2024-01-01T24:00", "2024-1-01", "2024-01-01 10:00", ""})
    EXPECT_FALSE(ParseIsoTime(bad)) << bad;
}

}  // namespace
