// The gadgets drawn on the engine's frame thread while the GUI thread replaces
// their values as fast as it can: every value a frame reads is one that was
// set, whole, and the weather's clamping never undoes a newer code.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

#include "GadgetFixture.h"
#include "components/Wgc.h"
#include "components/Wgr.h"
#include "components/Wgw.h"
#include "components/Wmv.h"

namespace {

using namespace std::chrono_literals;

struct Values {
  int today, tomorrow;
  std::string now, low, high, line, title;
};

const Values kA{3200, 5, std::string(40, '1'), std::string(33, '2'), std::string(50, '3'),
                std::string(300, 'a') + " *** " + std::string(300, 'b'), std::string(64, 'T')};
const Values kB{7, 3200, "4", "5", "6", "short line", ""};

bool OneOf(const std::string& v, const std::string& a, const std::string& b) { return v == a || v == b; }

struct GadgetThreadTest : gadget_test::GadgetFixture {};

TEST_F(GadgetThreadTest, FramesNeverSeeHalfReplacedValues) {
  auto* icons = Make<components::TWMV>();
  icons->Picture()->Assign(sprite_test::NumberedBitmap(52, 52 * 49));
  icons->SetYOffsetFrame(52);
  icons->CreateDXMovie();
  auto* clock = Make<components::TWGC>();
  auto* weather = Make<components::TWGW>();
  weather->SetShowX(571);
  weather->SetShowY(698);
  weather->SetWeatherPicVCL(icons);
  auto* ticker = Make<components::TWGR>();
  ticker->SetShowY(698);

  std::atomic<int> frames{0}, torn{0};
  wss->OnTimer = [&](framework::TObject*) {
    clock->DrawGadgetClock();
    weather->DrawGadgetWeather();
    ticker->DrawRssNews();
    // A code is one that was set, or 48 for 3200 once a frame has drawn it.
    const auto code = [](int c) { return c == 3200 || c == 48 || c == 5 || c == 7; };
    const bool whole = code(weather->GetTodayCode()) && code(weather->GetTomorrowCode()) &&
                       OneOf(weather->GetTodayNow(), kA.now, kB.now) &&
                       OneOf(weather->GetTomorrowLow(), kA.low, kB.low) &&
                       OneOf(weather->GetTomorrowHi(), kA.high, kB.high) &&
                       OneOf(ticker->GetRssLine(), kA.line, kB.line) &&
                       OneOf(ticker->GetNameNews(), kA.title, kB.title);
    if (!whole) ++torn;
    ++frames;
  };
  const auto set = [&](const Values& v) {
    weather->SetTodayCode(v.today);
    weather->SetTomorrowCode(v.tomorrow);
    weather->SetTodayNow(v.now);
    weather->SetTomorrowLow(v.low);
    weather->SetTomorrowHi(v.high);
    ticker->SetRssLine(v.line);
    ticker->SetNameNews(v.title);
  };
  set(kA);
  wss->SetInterval(1);
  wss->SetTimerEnabled(true);
  ASSERT_TRUE(testing_support::WaitFor([&] { return frames.load() > 0; }, 10s));

  // 100,000 replacements at least, and on until frames ran alongside them.
  const int before = frames.load();
  const auto limit = std::chrono::steady_clock::now() + 20s;
  int replaced = 0;
  while (replaced < 100000 || (frames.load() - before < 20 && std::chrono::steady_clock::now() < limit)) {
    set(replaced % 2 ? kB : kA);
    ++replaced;
  }
  const int during = frames.load() - before;

  // A last code set while frames run stays as set.
  weather->SetTodayCode(5);
  weather->SetTomorrowCode(5);
  const int last = frames.load();
  ASSERT_TRUE(testing_support::WaitFor([&] { return frames.load() >= last + 3; }, 10s));
  wss->SetTimerEnabled(false);

  EXPECT_GE(during, 1) << "no frame ran while the values were replaced";
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(weather->GetTodayCode(), 5);
  EXPECT_EQ(weather->GetTomorrowCode(), 5);
}

}  // namespace
