#include "components/Wgc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GadgetFixture.h"

namespace {

using components::TWGC;
using gadget_test::Rect;
using gadget_test::Reference;

constexpr int kX0 = 911, kY0 = 726;  // 1024 - 113, 768 - 42
constexpr platform::COLORREF kGrey = 0x808080;
const Rect kClockArea{850, 700, 1024, 768};

struct Piece {
  std::string text;
  std::string before;  // the text whose width, after the start, places this piece
  platform::COLORREF colour;
};

struct WgcTest : gadget_test::GadgetFixture {
  TWGC* clock = nullptr;
  void SetUp() override {
    GadgetFixture::SetUp();
    clock = Make<TWGC>();
  }
  void Frame() {
    wss->ClearBackSurface();
    clock->DrawGadgetClock();
  }
  // The pieces of a time text written where the clock's field puts them: the
  // whole text centred in the 106 pixels from x0, each piece after the width
  // of what precedes it.
  static Reference Expected(const std::string& whole, const std::vector<Piece>& pieces) {
    Reference ref;
    const int start = kX0 + (106 - ref.Width(whole, 22)) / 2;
    for (const Piece& p : pieces) ref.Text(start + ref.Width(p.before, 22), kY0, p.text, 22, p.colour);
    return ref;
  }
  static Reference TwentyOne(bool colon) {
    std::vector<Piece> pieces{{"21", "", gadget_test::kWhite}};
    if (colon) pieces.push_back({":", "21", gadget_test::kWhite});
    pieces.push_back({"05", "21:", gadget_test::kWhite});
    return Expected("21:05", pieces);
  }
};

TEST_F(WgcTest, TwentyFourHourTimeIsWhiteWithABlinkingColonAndStillMinutes) {
  Frame();
  EXPECT_EQ(Differing(TwentyOne(true)), 0);
  EXPECT_EQ(NotGreyUpTo(kClockArea, 0xFF), 0);  // white text only, no grey part
  for (int i = 1; i < 12; ++i) Frame();
  EXPECT_EQ(Differing(TwentyOne(true)), 0) << "the twelfth frame of the second still shows the colon";
  Frame();
  // Hidden colon: the hours and the minutes are exactly where they were.
  EXPECT_EQ(Differing(TwentyOne(false)), 0);
  EXPECT_EQ(clock->GetBlinkCount(), 12);
}

TEST_F(WgcTest, TwelveHourTimeHasAGreyDesignatorAndIsCentredAsAWhole) {
  UseLocale("en_US.UTF-8");
  Frame();
  const Piece parts[] = {{"9", "", gadget_test::kWhite},
                         {":", "9", gadget_test::kWhite},
                         {"05", "9:", gadget_test::kWhite},
                         {" PM", "9:05", kGrey}};
  EXPECT_EQ(Differing(Expected("9:05 PM", {std::begin(parts), std::end(parts)})), 0);

  // Seen from outside: grey right of the minutes, white left of them, and the
  // lit pixels centred in the field 911 .. 1017.
  Reference ref;
  const int left = kX0 + (106 - ref.Width("9:05 PM", 22)) / 2;
  const int pm = left + ref.Width("9:05", 22);
  EXPECT_EQ(NotGreyUpTo({pm, kY0, 1024, kY0 + 22}, 0x80), 0);
  EXPECT_GT(LitIn({pm, kY0, 1024, kY0 + 22}), 50);
  int lo = 1024, hi = -1, white = 0;
  for (int y = kY0; y < kY0 + 22; ++y)
    for (int x = 850; x < 1024; ++x)
      if (BackAt(x, y)) {
        lo = std::min(lo, x), hi = std::max(hi, x);
        white += x < pm && BackAt(x, y) == gadget_test::kWhiteXrgb;
      }
  EXPECT_GT(white, 30);
  EXPECT_NEAR((lo + hi + 1) / 2.0, kX0 + 53, 2.5);
}

TEST_F(WgcTest, TheColonShowsInTheFirstHalfSecondOnly) {
  struct Case {
    int interval;
    std::vector<int> shownAtMs;  // within each second
  } cases[] = {
      {40, {0, 40, 80, 120, 160, 200, 240, 280, 320, 360, 400, 440}},
      {100, {0, 100, 200, 300, 400}},
      {250, {0, 250}},
      {500, {0}},
      {501, {}},
      {1000, {}},
  };
  const Reference on = TwentyOne(true), off = TwentyOne(false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    wss->SetInterval(c.interval);
    TWGC* fresh = Make<TWGC>();
    const platform::LocalTime start = gadget_test::Time("2026-12-08 21:05:07");
    std::vector<int> shown;
    for (int ms = 0; ms < 2000; ms += c.interval) {
      now = platform::AddMilliseconds(start, ms);
      wss->ClearBackSurface();
      fresh->DrawGadgetClock();
      const bool colon = Differing(on, {}, kClockArea) == 0;
      ASSERT_TRUE(colon || Differing(off, {}, kClockArea) == 0) << ms;
      if (colon) shown.push_back(ms);
    }
    std::vector<int> want = c.shownAtMs;
    for (int ms : c.shownAtMs) want.push_back(ms + 1000);
    EXPECT_EQ(shown, want);
    delete fresh;
  }
}

TEST_F(WgcTest, OddTimeTextsAreCutAsTheyCome) {
  const auto W = gadget_test::kWhite;
  struct Case {
    std::string text;
    std::vector<Piece> pieces;
  } cases[] = {
      // Five characters take the 24-hour branch whatever they hold.
      {"9:05P", {{"9", "", W}, {":", "9", W}, {"05P", "9:", W}}},
      // Without a colon: the colon at the start, the whole text as the minutes.
      {"2105", {{":", "", W}, {"2105", ":", W}}},
      {"21.05 PM", {{":", "", W}, {"21.05", ":", W}, {" PM", ":21.05", kGrey}}},
      {"", {{":", "", W}}},
      {"12:34:56 AM", {{"12", "", W}, {":", "12", W}, {"34:56", "12:", W}, {" AM", "12:34:56", kGrey}}},
      // Wider than the field: centred all the same, overhanging both sides.
      {"12:00 in the afternoon", {{"12", "", W}, {":", "12", W}, {"00", "12:", W}, {" in the afternoon", "12:00", kGrey}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    UseTimeText(c.text);
    Frame();
    EXPECT_EQ(Differing(Expected(c.text, c.pieces)), 0);
  }
}

TEST_F(WgcTest, WithoutADrawingContextTheFrameIsSkippedAndTheBlinkWaits) {
  Frame();
  ASSERT_EQ(clock->GetBlinkCount(), 0);
  env.display->faults().failGetDC = true;
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_EQ(LitBack(), 0);
  EXPECT_EQ(clock->GetBlinkCount(), 0);
  env.display->faults().failGetDC = false;
  Frame();
  EXPECT_EQ(clock->GetBlinkCount(), 1);
  EXPECT_GT(LitBack(), 0);
}

TEST_F(WgcTest, TheFieldFollowsTheDisplaySize) {
  wss->SetEnabled(false);
  Open(800, 600);
  Frame();
  const int lit = LitBack();
  EXPECT_GT(lit, 0);
  EXPECT_EQ(LitIn({800 - 113, 600 - 42, 800 - 113 + 106, 600 - 42 + 22}), lit);
}

TEST_F(WgcTest, Parse1CutsAtTheFirstEndMarker) {
  struct Case {
    const char *text, *begin, *end, *segment, *rest;
  } cases[] = {
      {"21:05", "BEGIN", ":", "21", "05"},
      {"9:05 PM", "BEGIN", ":", "9", "05 PM"},
      {"05 PM", "BEGIN", " ", "05", "PM"},
      {"12:34:56", "BEGIN", ":", "12", "34:56"},
      {":05", "BEGIN", ":", "", "05"},
      {"2105", "BEGIN", ":", "", "2105"},  // no end marker: empty segment, the whole text
      {"", "BEGIN", ":", "", ""},
      {"a<b>c>d", "<", ">", "b", "c>d"},
      {"abc", "x", "c", "ab", ""},  // a missing begin marker starts at the first character
  };
  for (const Case& c : cases) {
    std::string segment = "before";
    EXPECT_EQ(TWGC::Parse1(c.text, c.begin, c.end, segment), c.rest) << c.text;
    EXPECT_EQ(segment, c.segment) << c.text;
  }
}

}  // namespace
