// One whole frame of the lake composed on the back surface (the clear and the
// scene's frame handler: every sprite, the flight paths and the gadgets, drawn
// where the frame before does not already hold them), against a cold
// memcpy of a 1024 x 768 x 4 frame in the same loop ("x_memcpy"), with the
// gadgets on (as at start, and with a long news line) and off.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "scene/SceneFixture.h"

namespace {

using testing_support::SceneOnHeadless;
using testing_support::SceneSettings;

void ComposeAgainstColdMemcpy(benchmark::State& state, const SceneSettings& settings, bool fed = false) {
  SceneOnHeadless scene(settings, false);
  if (fed) {
    scene.form->WGW1->SetTodayCode(32);
    scene.form->WGW1->SetTomorrowCode(30);
    scene.form->WGW1->SetTodayNow("71");
    scene.form->WGW1->SetTomorrowLow("58");
    scene.form->WGW1->SetTomorrowHi("80");
    scene.form->WGR1->SetNameNews("World News");
    scene.form->WGR1->SetRssLine(bench_support::LongNewsLine());
  }
  platform::IDirectDrawSurface* back = scene.form->Wss1->FDDBACK.load();
  bench_support::AgainstColdMemcpy(state, [&] {
    scene.form->Wss1->ClearBackSurface();
    scene.form->Wss1Timer(scene.form->Wss1);
    // The display draws what it was given once the pixels are needed.
    platform::DDSURFACEDESC desc;
    back->Lock(nullptr, &desc, platform::DDLOCK_READONLY, nullptr);
    back->Unlock(nullptr);
  });
}

void BM_SceneFrameAllGadgets(benchmark::State& state) {
  ComposeAgainstColdMemcpy(state, SceneSettings().Set("ShowTime", 1).Set("ShowWeather", 1).Set("ShowNews", 1));
}
BENCHMARK(BM_SceneFrameAllGadgets)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same with weather values and a 200-item news line.
void BM_SceneFrameAllGadgetsLongNews(benchmark::State& state) {
  ComposeAgainstColdMemcpy(state, SceneSettings().Set("ShowTime", 1).Set("ShowWeather", 1).Set("ShowNews", 1), true);
}
BENCHMARK(BM_SceneFrameAllGadgetsLongNews)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SceneFrameNoGadgets(benchmark::State& state) { ComposeAgainstColdMemcpy(state, SceneSettings()); }
BENCHMARK(BM_SceneFrameNoGadgets)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
