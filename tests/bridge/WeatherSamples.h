// Replies in the shapes the forecast services send (values chosen for the tests).
#pragma once

#include <string>

namespace testing_bridge {

// Washington in the afternoon of 31 January 2024: the current code, day flag
// and temperature as given; daily codes 3,61,0,2,80; tomorrow -0.5 to 50.5,
// unless tomorrow's code and range are given.
struct OpenMeteoDay {
  int code = 61;
  double min = -0.5, max = 50.5;
};
std::string OpenMeteoSample(int currentCode, int isDay, double temperature, OpenMeteoDay tomorrow = {});
// Steps around 31 January 2024 15:00 UTC, in Celsius.
std::string MetNoSample();

}  // namespace testing_bridge

namespace testing_bridge {

// Hourly MET Norway steps for two days from the hour of nowUtc: 10.0 °C with
// "rain" for the next hour throughout and "snow" for the next twelve, except
// in the local day after (longitude -77: five hours behind UTC), whose steps
// alternate between 2.0 and 12.4 °C.
std::string MetNoAround(long long nowUtc);

}  // namespace testing_bridge
