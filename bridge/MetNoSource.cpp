#include "bridge/MetNoSource.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "bridge/LegacyWeatherCodes.h"
#include "bridge/OpenMeteoSource.h"

namespace bridge {

using nlohmann::json;

std::string MetNoSource::RequestUrl(std::string_view base, const Coordinates& where) {
  return JoinBase(base, "/weatherapi/locationforecast/2.0/compact") + "?lat=" + FormatCoordinate(where.latitude) +
         "&lon=" + FormatCoordinate(where.longitude);
}

WeatherCredit MetNoSource::Credit() { return {"Data from MET Norway", "https://www.met.no/en"}; }

int MetNoSource::SolarOffsetHours(double longitude) {
  return std::clamp(static_cast<int>(std::lround(longitude / 15.0)), -12, 12);
}

namespace {

struct Step {
  std::int64_t time = 0;  // UTC seconds
  double temperature = std::numeric_limits<double>::quiet_NaN();
  double min6 = std::numeric_limits<double>::quiet_NaN();
  double max6 = std::numeric_limits<double>::quiet_NaN();
  std::string symbol1, symbol6, symbol12;
};

const json* Path(const json& j, std::initializer_list<const char*> names) {
  const json* at = &j;
  for (const char* name : names) {
    if (!at->is_object()) return nullptr;
    auto it = at->find(name);
    if (it == at->end()) return nullptr;
    at = &*it;
  }
  return at;
}

double NumberAt(const json& j, std::initializer_list<const char*> names) {
  const json* v = Path(j, names);
  if (!v || !v->is_number()) return std::numeric_limits<double>::quiet_NaN();
  const double d = v->get<double>();
  return std::fabs(d) < 200 ? d : std::numeric_limits<double>::quiet_NaN();
}

std::string TextAt(const json& j, std::initializer_list<const char*> names) {
  const json* v = Path(j, names);
  return v && v->is_string() ? v->get<std::string>().substr(0, 64) : std::string();
}

double InUnit(double celsius, TemperatureUnit unit) {
  return unit == TemperatureUnit::Fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

std::string ZoneName(int hours) {
  if (hours == 0) return "UTC";
  return std::string("UTC") + (hours > 0 ? "+" : "-") + std::to_string(std::abs(hours));
}

// The step whose local hour is nearest to the wanted one and has the symbol.
const std::string* SymbolNear(const std::vector<const Step*>& steps, std::int64_t offset, int hour,
                              std::string Step::*field) {
  const std::string* best = nullptr;
  std::int64_t bestDistance = 0;
  for (const Step* s : steps) {
    if ((s->*field).empty()) continue;
    const CivilTime local = CivilFromSeconds(s->time + offset);
    const std::int64_t distance = std::abs(local.hour * 60 + local.minute - hour * 60);
    if (!best || distance < bestDistance) {
      best = &(s->*field);
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

std::optional<WeatherReport> MetNoSource::Parse(std::string_view text, const Coordinates& where, std::int64_t nowUtc,
                                                TemperatureUnit unit) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded()) return std::nullopt;
  const json* series = Path(doc, {"properties", "timeseries"});
  if (!series || !series->is_array()) return std::nullopt;

  std::vector<Step> steps;
  for (const json& entry : *series) {
    if (steps.size() >= 400) break;
    const json* time = Path(entry, {"time"});
    std::optional<CivilTime> t = time && time->is_string() ? ParseIsoTime(time->get<std::string>()) : std::nullopt;
    if (!t) continue;
    Step s;
    s.time = SecondsFromCivil(*t);
    s.temperature = NumberAt(entry, {"data", "instant", "details", "air_temperature"});
    s.min6 = NumberAt(entry, {"data", "next_6_hours", "details", "air_temperature_min"});
    s.max6 = NumberAt(entry, {"data", "next_6_hours", "details", "air_temperature_max"});
    s.symbol1 = TextAt(entry, {"data", "next_1_hours", "summary", "symbol_code"});
    s.symbol6 = TextAt(entry, {"data", "next_6_hours", "summary", "symbol_code"});
    s.symbol12 = TextAt(entry, {"data", "next_12_hours", "summary", "symbol_code"});
    steps.push_back(std::move(s));
  }
  std::sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.time < b.time; });

  // Current values: the step nearest to now that has a temperature and a symbol.
  const Step* current = nullptr;
  for (const Step& s : steps) {
    if (std::isnan(s.temperature) || (s.symbol1.empty() && s.symbol6.empty())) continue;
    if (!current || std::llabs(s.time - nowUtc) < std::llabs(current->time - nowUtc)) current = &s;
  }
  if (!current || std::llabs(current->time - nowUtc) > 3 * 3600) return std::nullopt;

  const int offsetHours = SolarOffsetHours(where.longitude);
  const std::int64_t offset = offsetHours * 3600;
  WeatherReport report;
  report.observed = CivilFromSeconds(nowUtc + offset);
  report.zone = ZoneName(offsetHours);
  report.temperature = InUnit(current->temperature, unit);
  report.code = LegacyCodeForMetSymbol(current->symbol1.empty() ? current->symbol6 : current->symbol1);

  // Local days from today on, built from the steps that start in them.
  const std::int64_t today = DaysFromCivil(report.observed.year, report.observed.month, report.observed.day);
  std::map<std::int64_t, std::vector<const Step*>> byDay;
  for (const Step& s : steps) {
    if (s.time < current->time) continue;
    const CivilTime local = CivilFromSeconds(s.time + offset);
    const std::int64_t day = DaysFromCivil(local.year, local.month, local.day);
    if (day >= today && day < today + kMaxDays) byDay[day].push_back(&s);
  }
  // Late in the evening the nearest step may already lie in tomorrow.
  if (byDay.empty() || byDay.begin()->first != today) byDay[today].push_back(current);
  for (const auto& [day, members] : byDay) {
    if (day != today + static_cast<std::int64_t>(report.days.size())) break;  // no gaps
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const Step* s : members)
      for (double v : {s->temperature, s->min6, s->max6})
        if (!std::isnan(v)) {
          low = std::min(low, v);
          high = std::max(high, v);
        }
    const std::string* symbol = SymbolNear(members, offset, 6, &Step::symbol12);
    if (!symbol) symbol = SymbolNear(members, offset, 12, &Step::symbol6);
    if (!symbol) symbol = SymbolNear(members, offset, 12, &Step::symbol1);
    if (!symbol || low > high) break;
    DailyForecast f;
    f.date = CivilFromSeconds(day * 86400);
    f.low = InUnit(low, unit);
    f.high = InUnit(high, unit);
    // Daily forecasts show the day picture.
    std::string base = *symbol;
    for (std::string_view suffix : {"_night", "_polartwilight"})
      if (base.ends_with(suffix)) base = base.substr(0, base.size() - suffix.size()) + "_day";
    f.code = LegacyCodeForMetSymbol(base);
    report.days.push_back(f);
  }
  if (report.days.size() < 2) return std::nullopt;
  return report;
}

}  // namespace bridge
