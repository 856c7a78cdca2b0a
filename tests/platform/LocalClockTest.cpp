#include "platform/LocalClock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::LocalTime;

TEST(LocalClock, ParsesOnlyRealDatesInTheFixedForm) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"2026-12-08 21:05:30", true}, {"2024-02-29 00:00:00", true}, {"2025-02-29 00:00:00", false},
      {"2026-04-31 12:00:00", false}, {"2026-12-08 24:00:00", false}, {"2026-12-08 21:05", false},
      {"2026-12-08 21:05:30x", false}, {"", false},
  };
  for (const auto& c : cases) {
    LocalTime t;
    EXPECT_EQ(platform::ParseLocalTime(c.text, t), c.ok) << c.text;
  }
  LocalTime t;
  ASSERT_TRUE(platform::ParseLocalTime("2026-12-08 21:05:30", t));
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 8);
  EXPECT_EQ(t.hour, 21);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 30);
  EXPECT_EQ(t.dayOfWeek, 2);  // a Tuesday
}

TEST(LocalClock, AddingCarriesThroughTheCalendar) {
  LocalTime t;
  ASSERT_TRUE(platform::ParseLocalTime("2026-12-31 23:59:59", t));
  t.millisecond = 980;
  const LocalTime next = platform::AddMilliseconds(t, 40);
  EXPECT_EQ(next.year, 2027);
  EXPECT_EQ(next.month, 1);
  EXPECT_EQ(next.day, 1);
  EXPECT_EQ(next.hour, 0);
  EXPECT_EQ(next.second, 0);
  EXPECT_EQ(next.millisecond, 20);
  const LocalTime back = platform::AddMilliseconds(next, -40);
  EXPECT_EQ(back.year, 2026);
  EXPECT_EQ(back.second, 59);
  EXPECT_EQ(back.millisecond, 980);
}

TEST(LocalClock, AReplacedClockIsWhatEveryoneReadsUntilRestored) {
  LocalTime fixed;
  ASSERT_TRUE(platform::ParseLocalTime("2001-02-03 04:05:06", fixed));
  platform::SetLocalClock([fixed] { return fixed; });
  EXPECT_EQ(platform::LocalNow().year, 2001);
  EXPECT_EQ(platform::LocalNow().second, 6);
  platform::SetLocalClock(nullptr);
  EXPECT_GT(platform::LocalNow().year, 2020);
}

}  // namespace
