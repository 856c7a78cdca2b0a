#include "platform/TimeFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

platform::LocalTime At(int hour, int minute, int second = 0) {
  platform::LocalTime t;
  t.hour = hour, t.minute = minute, t.second = second;
  return t;
}

TEST(TimeFormat, ShortTimesOfTheLocalesAsTheSystemWritesThem) {
  struct Case {
    const char* locale;
    platform::LocalTime t;
    const char* text;
  } cases[] = {
      {"en_US", At(21, 5, 30), "9:05 PM"},       {"en_US.UTF-8", At(9, 5), "9:05 AM"},
      {"en_US.UTF-8", At(0, 0), "12:00 AM"},     {"en_US.UTF-8", At(12, 59, 59), "12:59 PM"},
      {"en_GB.UTF-8", At(21, 5, 30), "21:05"},   {"en_GB.UTF-8", At(9, 5), "09:05"},
      {"de_DE.UTF-8", At(21, 5), "21:05"},       {"de_DE@euro", At(21, 5), "21:05"},
      {"ja_JP.UTF-8", At(21, 5), "21:05"},       {"ja_JP.UTF-8", At(9, 5), "9:05"},
      // No locale, the C locale or one the tables do not know: 24 hours, no leading zero.
      {"", At(9, 5, 30), "9:05"},                {"C", At(21, 5, 30), "21:05"},
      {"POSIX", At(9, 5), "9:05"},               {"C.UTF-8", At(9, 5), "9:05"},
      {"xx_YY", At(21, 5), "21:05"},             {"not a locale at all", At(21, 5), "21:05"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::FormatShortTime(c.locale, c.t), c.text) << c.locale;
}

TEST(TimeFormat, NoSecondsAndOnlyPlainBlanks) {
  // Whatever locale: never the seconds, never a non-breaking space of any width.
  for (const char* locale : {"en_US", "en_AU", "ko_KR", "fr_CA", "es_MX", "hi_IN", "C"}) {
    const std::string text = platform::FormatShortTime(locale, At(21, 5, 37));
    EXPECT_EQ(text.find("37"), std::string::npos) << locale << ": " << text;
    EXPECT_EQ(text.find("\xC2\xA0"), std::string::npos) << locale;
    EXPECT_EQ(text.find("\xE2\x80\xAF"), std::string::npos) << locale;
  }
}

TEST(TimeFormat, TheLocaleIsTakenThePosixWay) {
  struct Case {
    const char *all, *time, *lang, *chosen;
  } cases[] = {
      {"de_DE.UTF-8", "en_US.UTF-8", "ja_JP.UTF-8", "de_DE.UTF-8"},
      {nullptr, "en_US.UTF-8", "ja_JP.UTF-8", "en_US.UTF-8"},
      {"", "", "en_GB.UTF-8", "en_GB.UTF-8"},  // empty counts as unset
      {nullptr, nullptr, "en_US.UTF-8", "en_US.UTF-8"},
      {nullptr, nullptr, nullptr, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::TimeLocaleName(c.all, c.time, c.lang), c.chosen);
}

TEST(TimeFormat, AToolMayPutItsOwnFormattingInPlace) {
  const platform::LocalTime t = At(21, 5);
  const std::string environments = platform::FormatShortTime(t);
  platform::SetShortTimeFormatter([](const platform::LocalTime& t) { return platform::FormatShortTime("en_US", t); });
  EXPECT_EQ(platform::FormatShortTime(t), "9:05 PM");
  platform::SetShortTimeFormatter([](const platform::LocalTime&) { return std::string("9:05P"); });
  EXPECT_EQ(platform::FormatShortTime(t), "9:05P");
  platform::SetShortTimeFormatter(nullptr);
  EXPECT_EQ(platform::FormatShortTime(t), environments);
}

}  // namespace

namespace {

TEST(TimeFormat, SecondsGoWithTheSeparatorBeforeThem) {
  struct Case {
    const char *pattern, *kept;
  } cases[] = {
      {"HH:mm:ss", "HH:mm"},         {"h:mm:ss AP", "h:mm AP"}, {"H:mm:ss.zzz", "H:mm"},
      {"H' h 'mm' min 'ss", "H' h 'mm"}, {"h:mm AP", "h:mm AP"}, {"ss", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::WithoutSeconds(c.pattern), c.kept) << c.pattern;
}

}  // namespace
