// The gadgets' own drawing over their panels, one frame each: a font made and
// deleted, the texts measured and written. Beside each, a cold memcpy of a
// 1024 x 768 x 4 frame in the same loop ("x_memcpy"); a fixed count of
// iterations, as a microsecond draw would otherwise run the copy for minutes.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "components/Wgc.h"
#include "components/Wgr.h"
#include "components/Wgw.h"
#include "components/Wmv.h"
#include "support/EngineOnForm.h"

namespace {

using bench_support::AgainstColdMemcpy;

struct Gadgets : testing_support::EngineOnForm {
  components::TWMV* icons = new components::TWMV(form);
  components::TWGC* clock = new components::TWGC(form);
  components::TWGW* weather = new components::TWGW(form);
  components::TWGR* ticker = new components::TWGR(form);
  Gadgets() {
    ConfigureLikeTheScene();
    wss->SetEnabled(true);
    for (components::TWSprite* s : std::initializer_list<components::TWSprite*>{icons, clock, weather, ticker})
      s->SetParent(wss);
    icons->Picture()->LoadFromResource("WMV3Weather");
    icons->SetYOffsetFrame(52);
    icons->CreateDXMovie();
    weather->SetShowX(571);
    weather->SetShowY(698);
    weather->SetWeatherPicVCL(icons);
    ticker->SetShowY(698);
  }
  ~Gadgets() { wss->SetEnabled(false); }
};

void BM_ClockText(benchmark::State& state) {
  Gadgets g;
  AgainstColdMemcpy(state, [&] { g.clock->DrawGadgetClock(); });
}
BENCHMARK(BM_ClockText)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_WeatherIconsAndTexts(benchmark::State& state) {
  Gadgets g;
  g.weather->SetTodayCode(32);
  g.weather->SetTodayNow("71");
  AgainstColdMemcpy(state, [&] { g.weather->DrawGadgetWeather(); });
}
BENCHMARK(BM_WeatherIconsAndTexts)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_TickerAtStart(benchmark::State& state) {
  Gadgets g;
  AgainstColdMemcpy(state, [&] { g.ticker->DrawRssNews(); });
}
BENCHMARK(BM_TickerAtStart)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// 200 items, about 80,000 pixels: measured and drawn whole every frame.
void BM_TickerTwoHundredItems(benchmark::State& state) {
  Gadgets g;
  g.ticker->SetRssLine(bench_support::LongNewsLine());
  g.ticker->SetNameNews("World News");
  AgainstColdMemcpy(state, [&] { g.ticker->DrawRssNews(); });
}
BENCHMARK(BM_TickerTwoHundredItems)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace
