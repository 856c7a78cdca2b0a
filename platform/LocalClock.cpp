#include "platform/LocalClock.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/time.h>

#include "platform/ProcessWide.h"

namespace platform {

namespace {

using Clock = std::shared_ptr<const std::function<LocalTime()>>;

ProcessWide<Clock>& ReplacedClock() {
  static ProcessWide<Clock> clock;
  return clock;
}

LocalTime FromTm(const std::tm& tm, int millisecond) {
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second shows as :59
  t.millisecond = millisecond;
  t.dayOfWeek = tm.tm_wday;
  return t;
}

// Calendar arithmetic in UTC terms, so no time zone or daylight rule moves it.
std::time_t ToCalendarSeconds(const LocalTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  return timegm(&tm);
}

LocalTime FromCalendarSeconds(std::time_t s, int millisecond) {
  std::tm tm{};
  gmtime_r(&s, &tm);
  return FromTm(tm, millisecond);
}

}  // namespace

LocalTime LocalNow() {
  if (Clock replaced = ReplacedClock().Get()) return (*replaced)();
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  const std::time_t s = tv.tv_sec;
  localtime_r(&s, &tm);
  return FromTm(tm, static_cast<int>(tv.tv_usec / 1000));
}

void SetLocalClock(std::function<LocalTime()> clock) {
  ReplacedClock().Set(clock ? std::make_shared<const std::function<LocalTime()>>(std::move(clock)) : nullptr);
}

bool ParseLocalTime(const char* text, LocalTime& out) {
  int y, mo, d, h, mi, s, used = 0;
  if (std::sscanf(text, "%4d-%2d-%2d %2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used) != 6 || text[used] != '\0')
    return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return false;
  LocalTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  const LocalTime normal = FromCalendarSeconds(ToCalendarSeconds(t), 0);
  if (normal.day != d || normal.month != mo) return false;  // 31 April and the like
  out = normal;
  return true;
}

LocalTime AddMilliseconds(const LocalTime& t, long long ms) {
  long long total = t.millisecond + ms;
  long long seconds = total / 1000;
  long long rest = total % 1000;
  if (rest < 0) rest += 1000, seconds -= 1;
  return FromCalendarSeconds(ToCalendarSeconds(t) + static_cast<std::time_t>(seconds), static_cast<int>(rest));
}

}  // namespace platform
