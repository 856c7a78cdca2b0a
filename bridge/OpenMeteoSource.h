// The key-less Open-Meteo forecast service: one request gives the current
// temperature, code and day/night flag and the daily maximum, minimum and code,
// in the unit asked, dated in the location's own time zone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bridge/LocationCoordinates.h"
#include "bridge/WeatherReport.h"

namespace bridge {

class OpenMeteoSource {
 public:
  static constexpr std::string_view kDefaultBase = "https://api.open-meteo.com";
  static constexpr int kForecastDays = 5;

  static std::string RequestUrl(std::string_view base, const Coordinates& where, TemperatureUnit unit);
  // Nothing when the reply is not the forecast asked for or misses a value the
  // saver shows.
  static std::optional<WeatherReport> Parse(std::string_view json);
  static WeatherCredit Credit();
};

// Base addresses are given with or without a trailing slash.
std::string JoinBase(std::string_view base, std::string_view path);
// Coordinates as the services want them: fixed point, at most four decimals.
std::string FormatCoordinate(double value);

}  // namespace bridge
