// What the frame benchmarks share: timing a draw with a cold memcpy of a
// 1024 x 768 x 4 frame beside it in the same loop (the "x_memcpy" counter),
// and the news line of a busy feed.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace bench_support {

inline void AgainstColdMemcpy(benchmark::State& state, const std::function<void()>& draw) {
  using Clock = std::chrono::steady_clock;
  constexpr std::size_t kFramePixels = 1024 * 768;
  // Enough frames that each copy comes from memory, not from the caches.
  constexpr int kColdBuffers = 12;
  std::vector<std::vector<std::uint32_t>> from(kColdBuffers, std::vector<std::uint32_t>(kFramePixels, 0x00123456));
  std::vector<std::vector<std::uint32_t>> to(kColdBuffers, std::vector<std::uint32_t>(kFramePixels, 0));
  double drawSeconds = 0, memcpySeconds = 0;
  int i = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    draw();
    const auto t1 = Clock::now();
    std::memcpy(to[static_cast<std::size_t>(i)].data(), from[static_cast<std::size_t>(i)].data(), kFramePixels * 4);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    i = (i + 1) % kColdBuffers;
    const double d = std::chrono::duration<double>(t1 - t0).count();
    drawSeconds += d;
    memcpySeconds += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(d);
  }
  state.counters["x_memcpy"] = memcpySeconds > 0 ? drawSeconds / memcpySeconds : 0;
}

// 200 items, about 80,000 pixels wide in the ticker's font.
inline std::string LongNewsLine() {
  std::string line;
  for (int i = 0; i < 200; ++i) line += "Item " + std::to_string(i) + ": ministers meet again over the harbour plan  ***  ";
  return line;
}

}  // namespace bench_support
