// MET Norway's Locationforecast 2.0 (compact): hourly, then six-hourly steps
// in UTC with symbol codes. The service names no time zone, so local days are
// reckoned by the location's longitude (solar time, whole hours), and the
// daily low, high and symbol are gathered here from the steps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/LocationCoordinates.h"
#include "bridge/WeatherReport.h"
#include "config/MakerSite.h"

namespace bridge {

class MetNoSource {
 public:
  static constexpr std::string_view kDefaultBase = "https://api.met.no";
  // The service's terms: the application's name and a way to reach its
  // maker; requests without them are refused.
  static inline const std::string kUserAgent =
      std::string("brisvane-bridge/1.0 (Brisvane Screensaver local weather bridge; ") + config::kMakerSite + ")";
  static constexpr int kMaxDays = 5;

  static std::string RequestUrl(std::string_view base, const Coordinates& where);
  // nowUtc: seconds since the epoch; the current values are those of the step
  // nearest to it. Temperatures arrive in Celsius and leave in the unit asked.
  static std::optional<WeatherReport> Parse(std::string_view json, const Coordinates& where, std::int64_t nowUtc,
                                            TemperatureUnit unit);
  // Whole hours east of UTC, from the longitude.
  static int SolarOffsetHours(double longitude);
  static WeatherCredit Credit();
};

}  // namespace bridge
