// The local wall-clock time the clock gadget and the refresh schedule read.
// The system's clock by default; a tool or a test may put its own in place
// (a fixed start that advances with the frames, say) so pictures and
// schedules are repeatable.
#pragma once

#include <functional>

namespace platform {

struct LocalTime {
  int year = 1970, month = 1, day = 1;       // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;      // 0..23, 0..59, 0..59
  int millisecond = 0;                       // 0..999
  int dayOfWeek = 4;                         // 0 = Sunday
};

LocalTime LocalNow();

// Replaces the clock for the whole process; an empty function restores the
// system's. Safe to call while other threads read the time.
void SetLocalClock(std::function<LocalTime()> clock);

// "YYYY-MM-DD HH:MM:SS" to a time (day of week filled in); false on any other form.
bool ParseLocalTime(const char* text, LocalTime& out);
// The time ms milliseconds after t, calendar carried (no time zone rules).
LocalTime AddMilliseconds(const LocalTime& t, long long ms);

}  // namespace platform
