// The engine's empty frame and the display's copies, each copy beside a memcpy
// of the same bytes in the same run, so ratios can be read off one report.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "components/Wss.h"
#include "platform/DDraw.h"
#include "support/FlipChain.h"
#include "support/HeadlessEnvironment.h"

namespace {

using namespace platform;

struct Display {
  std::shared_ptr<HeadlessDisplayDriver> driver = std::make_shared<HeadlessDisplayDriver>();
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* back = nullptr;
  IDirectDrawSurface* primary = nullptr;
  Display() {
    SetDisplayDriver(driver);
    testing_support::OpenFlipChain(1024, 768, &dd, &primary, &back);
  }
  IDirectDrawSurface* Plain(int w, int h, bool keyed) {
    IDirectDrawSurface* s = testing_support::MakePlainSurface(dd, w, h);
    std::uint32_t seed = 7;
    for (int i = 0; i < w * h; ++i) {
      seed = seed * 1664525u + 1013904223u;
      s->Pixels()[i] = keyed && (seed >> 28) < 6 ? 0u : (seed >> 8);  // about 40 % keyed out, scattered
    }
    if (keyed) {
      DDCOLORKEY key{0, 0};
      s->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    return s;
  }
  ~Display() {
    back->Release();
    primary->Release();
    dd->Release();
    SetDisplayDriver(nullptr);
  }
};

void BM_MemcpyFullScreen(benchmark::State& state) {
  std::vector<std::uint32_t> a(1024 * 768, 1), b(1024 * 768, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(a.size() * 4));
}
BENCHMARK(BM_MemcpyFullScreen);

void BM_BltFastFullScreen(benchmark::State& state) {
  Display d;
  IDirectDrawSurface* s = d.Plain(1024, 768, false);
  for (auto _ : state) {
    d.back->BltFast(0, 0, s, nullptr, DDBLTFAST_NOCOLORKEY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 1024 * 768 * 4);
  s->Release();
}
BENCHMARK(BM_BltFastFullScreen);

void BM_MemcpyTree(benchmark::State& state) {
  std::vector<std::uint32_t> a(644 * 341, 1), b(644 * 341, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(a.size() * 4));
}
BENCHMARK(BM_MemcpyTree);

void BM_BltFastKeyedTree(benchmark::State& state) {
  Display d;
  IDirectDrawSurface* s = d.Plain(644, 341, true);
  for (auto _ : state) {
    d.back->BltFast(379, 119, s, nullptr, DDBLTFAST_SRCCOLORKEY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 644 * 341 * 4);
  s->Release();
}
BENCHMARK(BM_BltFastKeyedTree);

// Restore check, clear, (empty) frame and flip, as every tick runs them.
void BM_EngineEmptyFrame(benchmark::State& state) {
  testing_support::HeadlessEnvironment env;
  framework::TForm* form = nullptr;
  env.app->CreateForm(&form);
  auto* wss = new components::TWss(form);
  wss->SetUseIdle(false);
  wss->SetWidthScreen(1024);
  wss->SetHeightScreen(768);
  wss->SetColorDepth(32);
  wss->SetEnabled(true);
  for (auto _ : state) wss->Tick();
  wss->SetEnabled(false);
}
BENCHMARK(BM_EngineEmptyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
