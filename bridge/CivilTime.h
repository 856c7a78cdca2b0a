// Calendar arithmetic on the proleptic Gregorian calendar, without time zones:
// the forecast services hand out local dates and UTC instants as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bridge {

struct CivilTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

std::int64_t DaysFromCivil(int year, int month, int day);
CivilTime CivilFromSeconds(std::int64_t secondsSinceEpoch);
std::int64_t SecondsFromCivil(const CivilTime& t);
// 0 = Sunday.
int Weekday(const CivilTime& t);

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS", with an optional
// trailing "Z"; nothing else.
std::optional<CivilTime> ParseIsoTime(std::string_view text);

// The legacy feed's forms: "Thu, 31 Jan 2013 4:50 pm <zone>" and "31 Jan 2013".
std::string LegacyDateTime(const CivilTime& t, std::string_view zone);
std::string LegacyDate(const CivilTime& t);
// "4:50 pm <zone>".
std::string LegacyClock(const CivilTime& t, std::string_view zone);
std::string_view WeekdayAbbreviation(const CivilTime& t);

}  // namespace bridge
