#include "bridge/CivilTime.h"

#include <charconv>

namespace bridge {

namespace {

constexpr std::string_view kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool Digits(std::string_view text, size_t at, size_t count, int& value) {
  if (at + count > text.size()) return false;
  for (size_t i = at; i < at + count; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  std::from_chars(text.data() + at, text.data() + at + count, value);
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

// Howard Hinnant's days_from_civil.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilTime CivilFromSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

std::int64_t SecondsFromCivil(const CivilTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

int Weekday(const CivilTime& t) {
  const std::int64_t days = DaysFromCivil(t.year, t.month, t.day);
  return static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1 January 1970 was a Thursday
}

std::optional<CivilTime> ParseIsoTime(std::string_view text) {
  if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
  CivilTime t;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, t.year) ||
      !Digits(text, 5, 2, t.month) || !Digits(text, 8, 2, t.day))
    return std::nullopt;
  if (text.size() > 10) {
    if (text.size() < 16 || text[10] != 'T' || text[13] != ':' || !Digits(text, 11, 2, t.hour) ||
        !Digits(text, 14, 2, t.minute))
      return std::nullopt;
    if (text.size() > 16 && (text.size() != 19 || text[16] != ':' || !Digits(text, 17, 2, t.second)))
      return std::nullopt;
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
      t.minute > 59 || t.second > 60)
    return std::nullopt;
  return t;
}

std::string_view WeekdayAbbreviation(const CivilTime& t) { return kWeekdays[Weekday(t)]; }

std::string LegacyDate(const CivilTime& t) {
  return std::to_string(t.day) + " " + std::string(kMonths[t.month - 1]) + " " + std::to_string(t.year);
}

std::string LegacyClock(const CivilTime& t, std::string_view zone) {
  const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  std::string out = std::to_string(hour12) + (t.minute < 10 ? ":0" : ":") + std::to_string(t.minute) +
                    (t.hour < 12 ? " am" : " pm");
  if (!zone.empty()) out.append(" ").append(zone);
  return out;
}

std::string LegacyDateTime(const CivilTime& t, std::string_view zone) {
  return std::string(WeekdayAbbreviation(t)) + ", " + LegacyDate(t) + " " + LegacyClock(t, zone);
}

}  // namespace bridge
