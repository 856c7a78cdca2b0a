// What the bridge knows about one location's weather, already in legacy
// condition codes and in the unit the saver asked for.
#pragma once

#include <string>
#include <vector>

#include "bridge/CivilTime.h"

namespace bridge {

enum class TemperatureUnit { Fahrenheit, Celsius };

struct DailyForecast {
  CivilTime date;  // local date; the time fields are unused
  double low = 0;
  double high = 0;
  int code = 0;
};

struct WeatherReport {
  CivilTime observed;  // local time of the current values
  std::string zone;    // short zone name for the dates, may be empty
  double temperature = 0;
  int code = 0;
  std::vector<DailyForecast> days;  // today first
};

// Which service the report came from, for the credit its licence asks for.
struct WeatherCredit {
  std::string text;
  std::string link;
};

}  // namespace bridge
