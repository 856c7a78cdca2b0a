// The locale's short time without seconds, as the system's own time
// formatting writes it ("9:05 PM" in a 12-hour English locale, "21:05" in
// en_GB, de_DE or ja_JP): CLDR's short formats through Qt's locale tables,
// since the C library's formats differ ("09:05:00 PM").
#pragma once

#include <functional>
#include <string>

#include "platform/LocalClock.h"

namespace platform {

// The locale that formats times, the POSIX way: the first non-empty of
// LC_ALL, LC_TIME and LANG; empty when none is set.
std::string TimeLocaleName(const char* lcAll, const char* lcTime, const char* lang);

// t as the named locale writes a short time, seconds left out, a non-breaking
// or narrow no-break space as a plain blank. "H:mm" for "C", "POSIX", an empty
// name or a locale the tables do not know. The text is UTF-8.
std::string FormatShortTime(const std::string& locale, const LocalTime& t);

// The same in the process's locale (the environment's, read once), unless a
// tool or a test has put its own formatting in place. Safe from any thread.
std::string FormatShortTime(const LocalTime& t);
// A time pattern in Qt's notation with the seconds (and fractions) and the
// separator before them removed, as the system's no-seconds flag removes them.
std::string WithoutSeconds(const std::string& pattern);

// Replaces the process's short-time formatting; an empty function puts the
// environment's locale back. Safe while other threads format.
void SetShortTimeFormatter(std::function<std::string(const LocalTime&)> format);

}  // namespace platform
