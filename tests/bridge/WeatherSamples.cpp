#include "WeatherSamples.h"

#include <cstdio>
#include <ctime>
#include <sstream>

namespace testing_bridge {

std::string OpenMeteoSample(int currentCode, int isDay, double temperature, OpenMeteoDay tomorrow) {
  std::ostringstream s;
  s << "{\"latitude\":38.9122,\"longitude\":-77.0177,\"generationtime_ms\":0.06,\"utc_offset_seconds\":-18000,"
       "\"timezone\":\"America/New_York\",\"timezone_abbreviation\":\"EST\",\"elevation\":22.0,"
       "\"current_units\":{\"time\":\"iso8601\",\"interval\":\"seconds\",\"temperature_2m\":\"\xC2\xB0" "F\","
       "\"weather_code\":\"wmo code\",\"is_day\":\"\"},"
       "\"current\":{\"time\":\"2024-01-31T16:45\",\"interval\":900,\"temperature_2m\":"
    << temperature << ",\"weather_code\":" << currentCode << ",\"is_day\":" << isDay
    << "},"
       "\"daily_units\":{\"time\":\"iso8601\",\"weather_code\":\"wmo code\",\"temperature_2m_max\":\"\xC2\xB0" "F\","
       "\"temperature_2m_min\":\"\xC2\xB0" "F\"},"
       "\"daily\":{\"time\":[\"2024-01-31\",\"2024-02-01\",\"2024-02-02\",\"2024-02-03\",\"2024-02-04\"],"
       "\"weather_code\":[3,"
    << tomorrow.code << ",0,2,80],\"temperature_2m_max\":[45.3," << tomorrow.max
    << ",48.1,39.9,41.0],\"temperature_2m_min\":[33.2," << tomorrow.min << ",30.4,28.8,27.5]}}";
  return s.str();
}

namespace {

std::string Step(const char* time, double temperature, const char* symbol1, const char* symbol6, const char* symbol12,
                 const char* sixHourDetails = "") {
  std::ostringstream s;
  s << "{\"time\":\"" << time << "\",\"data\":{\"instant\":{\"details\":{\"air_pressure_at_sea_level\":1012.3,"
    << "\"air_temperature\":" << temperature << ",\"cloud_area_fraction\":12.5,\"relative_humidity\":70.1,"
    << "\"wind_from_direction\":200.4,\"wind_speed\":3.1}}";
  if (*symbol12) s << ",\"next_12_hours\":{\"summary\":{\"symbol_code\":\"" << symbol12 << "\"},\"details\":{}}";
  if (*symbol1)
    s << ",\"next_1_hours\":{\"summary\":{\"symbol_code\":\"" << symbol1
      << "\"},\"details\":{\"precipitation_amount\":0.0}}";
  if (*symbol6)
    s << ",\"next_6_hours\":{\"summary\":{\"symbol_code\":\"" << symbol6 << "\"},\"details\":{" << sixHourDetails
      << "}}";
  s << "}}";
  return s.str();
}

}  // namespace

std::string MetNoSample() {
  return "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[-77.0,38.9,22]},"
         "\"properties\":{\"meta\":{\"updated_at\":\"2024-01-31T14:30:12Z\",\"units\":{\"air_temperature\":\"celsius\"}},"
         "\"timeseries\":[" +
         Step("2024-01-31T15:00:00Z", 5.0, "clearsky_day", "fair_day", "partlycloudy_day") + "," +
         Step("2024-01-31T20:00:00Z", 9.4, "fair_day", "", "") + "," +
         Step("2024-02-01T03:00:00Z", 1.5, "clearsky_night", "clearsky_night", "") + "," +
         Step("2024-02-01T05:00:00Z", 0.5, "cloudy", "cloudy", "") + "," +
         Step("2024-02-01T11:00:00Z", -3.5, "lightrain", "rain", "rain",
              "\"air_temperature_max\":0.2,\"air_temperature_min\":-4.6,\"precipitation_amount\":3.1") + "," +
         Step("2024-02-01T17:00:00Z", 4.4, "", "snow", "") + "," +
         Step("2024-02-02T04:00:00Z", 2.0, "", "cloudy", "") + "," +
         Step("2024-02-02T05:00:00Z", 1.0, "", "fog", "fog") + "]}}";
}

}  // namespace testing_bridge

namespace testing_bridge {

std::string MetNoAround(long long nowUtc) {
  const long long first = nowUtc - nowUtc % 3600;
  const long long localDay = (nowUtc - 5 * 3600) / 86400;  // today, local
  std::string steps;
  for (int h = 0; h < 60; ++h) {
    const long long t = first + h * 3600LL;
    const long long day = (t - 5 * 3600) / 86400;
    const double temperature = day == localDay + 1 ? (h % 2 ? 12.4 : 2.0) : 10.0;
    char time[32];
    const time_t when = static_cast<time_t>(t);
    tm civil{};
    gmtime_r(&when, &civil);
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:00:00Z", &civil);
    if (!steps.empty()) steps += ",";
    steps += Step(time, temperature, "rain", "rain", "snow");
  }
  return "{\"type\":\"Feature\",\"properties\":{\"meta\":{\"updated_at\":\"x\"},\"timeseries\":[" + steps + "]}}";
}

}  // namespace testing_bridge
