#include "bridge/OpenMeteoSource.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "bridge/LegacyWeatherCodes.h"

namespace bridge {

using nlohmann::json;

std::string JoinBase(std::string_view base, std::string_view path) {
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  return std::string(base).append(path);
}

std::string FormatCoordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::string out = text;
  // Trailing zeros say nothing; keep at least one decimal.
  while (out.size() > 2 && out.back() == '0' && out[out.size() - 2] != '.') out.pop_back();
  if (out == "-0.0") out = "0.0";
  return out;
}

std::string OpenMeteoSource::RequestUrl(std::string_view base, const Coordinates& where, TemperatureUnit unit) {
  return JoinBase(base, "/v1/forecast") + "?latitude=" + FormatCoordinate(where.latitude) +
         "&longitude=" + FormatCoordinate(where.longitude) +
         "&current=temperature_2m,weather_code,is_day"
         "&daily=weather_code,temperature_2m_max,temperature_2m_min"
         "&temperature_unit=" + (unit == TemperatureUnit::Fahrenheit ? "fahrenheit" : "celsius") +
         "&timezone=auto&forecast_days=" + std::to_string(kForecastDays);
}

WeatherCredit OpenMeteoSource::Credit() { return {"Weather data by Open-Meteo.com", "https://open-meteo.com/"}; }

namespace {

bool Number(const json& j, double& value) {
  if (!j.is_number()) return false;
  value = j.get<double>();
  return std::isfinite(value) && std::fabs(value) < 1000;
}

bool Integer(const json& j, int& value) {
  double d = 0;
  if (!Number(j, d) || d != std::floor(d)) return false;
  value = static_cast<int>(d);
  return true;
}

const json* Member(const json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

}  // namespace

std::optional<WeatherReport> OpenMeteoSource::Parse(std::string_view text) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return std::nullopt;
  const json* current = Member(doc, "current");
  const json* daily = Member(doc, "daily");
  if (!current || !daily) return std::nullopt;

  WeatherReport report;
  const json* time = Member(*current, "time");
  std::optional<CivilTime> observed = time && time->is_string() ? ParseIsoTime(time->get<std::string>()) : std::nullopt;
  const json* temperature = Member(*current, "temperature_2m");
  const json* code = Member(*current, "weather_code");
  const json* isDay = Member(*current, "is_day");
  int wmo = 0, day = 1;
  if (!observed || !temperature || !Number(*temperature, report.temperature) || !code || !Integer(*code, wmo) ||
      !isDay || !Integer(*isDay, day))
    return std::nullopt;
  report.observed = *observed;
  report.code = LegacyCodeForWmo(wmo, day == 0);
  if (const json* zone = Member(doc, "timezone_abbreviation"); zone && zone->is_string())
    report.zone = zone->get<std::string>().substr(0, 16);

  const json* dates = Member(*daily, "time");
  const json* codes = Member(*daily, "weather_code");
  const json* highs = Member(*daily, "temperature_2m_max");
  const json* lows = Member(*daily, "temperature_2m_min");
  if (!dates || !codes || !highs || !lows || !dates->is_array() || !codes->is_array() || !highs->is_array() ||
      !lows->is_array())
    return std::nullopt;
  const size_t count = std::min({dates->size(), codes->size(), highs->size(), lows->size(), size_t{16}});
  for (size_t i = 0; i < count; ++i) {
    DailyForecast f;
    std::optional<CivilTime> date = (*dates)[i].is_string() ? ParseIsoTime((*dates)[i].get<std::string>()) : std::nullopt;
    int dayCode = 0;
    // A day with a missing value ends the forecast: the saver needs whole days.
    if (!date || !Integer((*codes)[i], dayCode) || !Number((*highs)[i], f.high) || !Number((*lows)[i], f.low)) break;
    f.date = *date;
    f.code = LegacyCodeForWmo(dayCode, false);
    report.days.push_back(f);
  }
  if (report.days.size() < 2) return std::nullopt;
  return report;
}

}  // namespace bridge
