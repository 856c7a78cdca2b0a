// Scaling the 1024 x 768 frame to the screens of today, beside SDL's own
// stretches and a memcpy of the frame, all in one run so ratios can be read off.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/FrameScaler.h"

namespace {

using platform::FrameScaler;
using platform::ScaleFilter;

constexpr int kW = 1024, kH = 768;

std::vector<std::uint32_t> Frame() {
  std::vector<std::uint32_t> f(static_cast<std::size_t>(kW) * kH);
  std::uint32_t seed = 11;
  for (auto& p : f) p = (seed = seed * 1664525u + 1013904223u) >> 8;
  return f;
}

// Arguments: the screen's width and height.
void Scale(benchmark::State& state, ScaleFilter filter, FrameScaler::Level level) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto frame = Frame();
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(w) * h);
  FrameScaler scaler;
  FrameScaler::UseLevel(level);
  if (FrameScaler::CurrentLevel() != level) state.SkipWithError("not on this processor");
  for (auto _ : state) {
    scaler.Draw(frame.data(), kW, kH, screen.data(), w, w, h, filter, false);
    benchmark::ClobberMemory();
  }
  FrameScaler::UseLevel(FrameScaler::BestLevel());
}

using Level = FrameScaler::Level;
void BM_ScaleNearest(benchmark::State& s) { Scale(s, ScaleFilter::Nearest, FrameScaler::BestLevel()); }
void BM_ScaleLinearAvx2(benchmark::State& s) { Scale(s, ScaleFilter::Linear, Level::Avx2); }
void BM_ScaleLinearSsse3(benchmark::State& s) { Scale(s, ScaleFilter::Linear, Level::Ssse3); }
void BM_ScaleLinearPortable(benchmark::State& s) { Scale(s, ScaleFilter::Linear, Level::Portable); }

void SdlStretch(benchmark::State& state, bool linear) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  auto frame = Frame();
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(w) * h);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(frame.data(), kW, kH, 32, kW * 4, SDL_PIXELFORMAT_RGB888);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(screen.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_RGB888);
  const platform::FramePlacement p = platform::FitFrame(kW, kH, w, h);
  SDL_Rect rect{p.x, p.y, p.width, p.height};
  for (auto _ : state) {
    if (linear)
      SDL_SoftStretchLinear(src, nullptr, dst, &rect);
    else
      SDL_SoftStretch(src, nullptr, dst, &rect);
    benchmark::ClobberMemory();
  }
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void BM_SdlSoftStretch(benchmark::State& s) { SdlStretch(s, false); }
void BM_SdlSoftStretchLinear(benchmark::State& s) { SdlStretch(s, true); }

void BM_MemcpyFrame(benchmark::State& state) {
  const auto a = Frame();
  std::vector<std::uint32_t> b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * 4);
    benchmark::ClobberMemory();
  }
}

#define SCREENS ->Args({1920, 1080})->Args({2560, 1440})->Args({3840, 2160})->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_ScaleNearest) SCREENS;
BENCHMARK(BM_ScaleLinearAvx2) SCREENS;
BENCHMARK(BM_ScaleLinearSsse3) SCREENS;
BENCHMARK(BM_ScaleLinearPortable) SCREENS;
BENCHMARK(BM_SdlSoftStretch) SCREENS;
BENCHMARK(BM_SdlSoftStretchLinear) SCREENS;
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
