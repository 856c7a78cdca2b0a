#include "components/Wgw.h"

#include <gtest/gtest.h>

#include <string>

#include "GadgetFixture.h"
#include "components/Wmv.h"

namespace {

using components::TWGW;
using components::TWMV;
using gadget_test::Rect;
using gadget_test::Reference;
using sprite_test::Numbered;

// Where the scene puts the panel with all three gadgets on.
constexpr int kX = 571, kY = 698;
const Rect kTodayIcon{kX + 94, kY + 8, kX + 94 + 52, kY + 8 + 52};
const Rect kTomorrowIcon{kX + 206, kY + 8, kX + 206 + 52, kY + 8 + 52};

struct WgwTest : gadget_test::GadgetFixture {
  TWGW* weather = nullptr;
  TWMV* icons = nullptr;
  void SetUp() override {
    GadgetFixture::SetUp();
    // 49 icons of 52 x 52, every pixel telling its icon and place.
    icons = Make<TWMV>();
    icons->Picture()->Assign(sprite_test::NumberedBitmap(52, 52 * 49));
    icons->SetYOffsetFrame(52);
    icons->CreateDXMovie();
    ASSERT_EQ(icons->GetFrameCount(), 49);
    weather = Make<TWGW>();
    weather->SetShowX(kX);
    weather->SetShowY(kY);
    weather->SetWeatherPicVCL(icons);
  }
  void Frame() {
    wss->ClearBackSurface();
    weather->DrawGadgetWeather();
  }
  // Which icon is drawn with its top-left corner at (x, y), -1 for none.
  int IconAt(int x, int y) const {
    for (int n = 0; n < 49; ++n)
      if (BackAt(x, y) == Numbered(0, 52 * n) && BackAt(x + 51, y + 51) == Numbered(51, 52 * n + 51)) return n;
    return -1;
  }
  static Reference Texts(const std::string& today, const std::string& tomorrow) {
    Reference ref;
    ref.Text(kX + 153, kY + 29, today, 20, gadget_test::kWhite);
    ref.Text(kX + 265, kY + 29, tomorrow, 20, gadget_test::kWhite);
    return ref;
  }
};

TEST_F(WgwTest, BeforeAnyFetchBothDaysAreNotAvailable) {
  Frame();
  EXPECT_EQ(IconAt(kTodayIcon.left, kTodayIcon.top), 48);
  EXPECT_EQ(IconAt(kTomorrowIcon.left, kTomorrowIcon.top), 48);
  EXPECT_EQ(Differing(Texts("NA\xB0", "NA...NA\xB0"), {kTodayIcon, kTomorrowIcon}), 0);
  EXPECT_EQ(LitIn(kTodayIcon), 52 * 52);
}

TEST_F(WgwTest, TemperaturesAreWrittenAsTheFeedSentThem) {
  struct Case {
    const char *now, *low, *high, *today, *tomorrow;
  } cases[] = {
      {"71", "58", "80", "71\xB0", "58...80\xB0"},
      {"", "", "", "\xB0", "...\xB0"},
      {"-12", "-20", "-3", "-12\xB0", "-20...-3\xB0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.now);
    weather->SetTodayNow(c.now);
    weather->SetTomorrowLow(c.low);
    weather->SetTomorrowHi(c.high);
    Frame();
    EXPECT_EQ(Differing(Texts(c.today, c.tomorrow), {kTodayIcon, kTomorrowIcon}), 0);
  }
}

TEST_F(WgwTest, CodesAboveTheTableShowNotAvailableAndAreStoredSo) {
  struct Case {
    int code, icon, after;
  } cases[] = {
      {0, 0, 0}, {32, 32, 32}, {47, 47, 47}, {48, 48, 48}, {49, 48, 48}, {3200, 48, 48},
      {-1, -1, -1},  // below the table: left as it is, and no icon to draw
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    weather->SetTodayCode(c.code);
    weather->SetTomorrowCode(c.code == 47 ? 3200 : 12);
    Frame();
    EXPECT_EQ(IconAt(kTodayIcon.left, kTodayIcon.top), c.icon);
    EXPECT_EQ(weather->GetTodayCode(), c.after);
    EXPECT_EQ(IconAt(kTomorrowIcon.left, kTomorrowIcon.top), c.code == 47 ? 48 : 12);
    EXPECT_EQ(weather->GetTomorrowCode(), c.code == 47 ? 48 : 12);
  }
}

TEST_F(WgwTest, WithoutADrawingContextOnlyTheIconsShow) {
  weather->SetTodayCode(5);
  env.display->faults().failGetDC = true;
  Frame();
  env.display->faults().failGetDC = false;
  EXPECT_EQ(IconAt(kTodayIcon.left, kTodayIcon.top), 5);
  EXPECT_EQ(IconAt(kTomorrowIcon.left, kTomorrowIcon.top), 48);
  EXPECT_EQ(LitBack(), 2 * 52 * 52);
}

TEST_F(WgwTest, WithoutAnIconStripNothingOfItsOwnIsDrawn) {
  weather->SetWeatherPicVCL(nullptr);
  weather->SetTodayCode(3200);
  Frame();
  EXPECT_EQ(LitBack(), 0);
  EXPECT_EQ(weather->GetTodayCode(), 3200);  // not even corrected
}

}  // namespace
