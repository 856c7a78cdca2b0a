// The reply to the saver's weather request, in the legacy feed's RSS form: the
// saver cuts the condition's code and temp and the forecasts' low, high and
// code out of it by fixed markers, so those elements keep the legacy layout.
#pragma once

#include <string>
#include <string_view>

#include "bridge/LocationCoordinates.h"
#include "bridge/WeatherReport.h"
#include "bridge/XmlText.h"

namespace bridge {

// Whole degrees, halves rounded away from zero, as the legacy feed sent them.
std::string WholeDegrees(double value);

std::string LegacyWeatherReply(std::string_view code, const Coordinates& where, TemperatureUnit unit,
                               const WeatherReport& report, const WeatherCredit& credit);

}  // namespace bridge
