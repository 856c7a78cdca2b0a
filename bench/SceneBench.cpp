// One whole frame of the lake composed on the back surface (the scene's frame
// handler: every sprite, the flight paths and the gadgets), against a cold
// memcpy of a 1024 x 768 x 4 frame in the same loop ("x_memcpy"), with the
// gadgets on and off.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "scene/SceneFixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::SceneOnHeadless;
using testing_support::SceneSettings;

constexpr std::size_t kFramePixels = 1024 * 768;
// Enough frames that each copy comes from memory, not from the caches.
constexpr int kColdBuffers = 12;

void ComposeAgainstColdMemcpy(benchmark::State& state, const SceneSettings& settings) {
  SceneOnHeadless scene(settings, false);
  std::vector<std::vector<std::uint32_t>> from(kColdBuffers, std::vector<std::uint32_t>(kFramePixels, 0x00123456));
  std::vector<std::vector<std::uint32_t>> to(kColdBuffers, std::vector<std::uint32_t>(kFramePixels, 0));
  double composeSeconds = 0, memcpySeconds = 0;
  int i = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    scene.form->Wss1Timer(scene.form->Wss1);
    const auto t1 = Clock::now();
    std::memcpy(to[static_cast<std::size_t>(i)].data(), from[static_cast<std::size_t>(i)].data(), kFramePixels * 4);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    i = (i + 1) % kColdBuffers;
    const double c = std::chrono::duration<double>(t1 - t0).count();
    composeSeconds += c;
    memcpySeconds += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(c);
  }
  state.counters["x_memcpy"] = memcpySeconds > 0 ? composeSeconds / memcpySeconds : 0;
}

void BM_SceneFrameAllGadgets(benchmark::State& state) {
  ComposeAgainstColdMemcpy(state, SceneSettings().Set("ShowTime", 1).Set("ShowWeather", 1).Set("ShowNews", 1));
}
BENCHMARK(BM_SceneFrameAllGadgets)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SceneFrameNoGadgets(benchmark::State& state) { ComposeAgainstColdMemcpy(state, SceneSettings()); }
BENCHMARK(BM_SceneFrameNoGadgets)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
