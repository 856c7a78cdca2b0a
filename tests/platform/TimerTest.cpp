#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Probe {
  std::atomic<int> ticks{0};
  std::atomic<int> running{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> sleepMs{0};
  std::atomic<std::uint32_t> killSelf{0};
};

void OnTick(std::uint32_t id, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  auto* p = reinterpret_cast<Probe*>(user);
  if (p->running.fetch_add(1) != 0) ++p->overlaps;
  if (p->sleepMs.load()) std::this_thread::sleep_for(std::chrono::milliseconds(p->sleepMs.load()));
  ++p->ticks;
  if (p->killSelf.load() == id) platform::TimeKillEvent(id);
  p->running.fetch_sub(1);
}

TEST(Timer, KillWaitsForARunningTickAndNoneStartsAfterIt) {
  Probe probe;
  probe.sleepMs = 3;  // slower than the period: ticks queue up behind each other
  for (int cycle = 0; cycle < 60; ++cycle) {
    const std::uint32_t id = platform::TimeSetEvent(1, 0, &OnTick, reinterpret_cast<std::uintptr_t>(&probe),
                                                    platform::TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(std::chrono::microseconds(500 * (cycle % 7)));
    ASSERT_TRUE(platform::TimeKillEvent(id));
    EXPECT_EQ(probe.running.load(), 0) << "a tick was still running after kill returned";
    const int after = probe.ticks.load();
    std::this_thread::sleep_for(2ms);
    EXPECT_EQ(probe.ticks.load(), after) << "a tick started after kill returned";
  }
  EXPECT_EQ(probe.overlaps.load(), 0);
  EXPECT_GT(probe.ticks.load(), 0);
}

TEST(Timer, KillFromInsideItsOwnTickDoesNotDeadlock) {
  Probe probe;
  const std::uint32_t id =
      platform::TimeSetEvent(2, 0, &OnTick, reinterpret_cast<std::uintptr_t>(&probe), platform::TIME_PERIODIC);
  probe.killSelf = id;
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (probe.ticks.load() == 0 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(probe.ticks.load(), 1);
  EXPECT_FALSE(platform::TimeKillEvent(id));  // already gone
}

TEST(Timer, ScheduleDoesNotDrift) {
  Probe probe;
  probe.sleepMs = 4;  // each tick costs a good part of the period
  const auto start = std::chrono::steady_clock::now();
  const std::uint32_t id =
      platform::TimeSetEvent(10, 0, &OnTick, reinterpret_cast<std::uintptr_t>(&probe), platform::TIME_PERIODIC);
  std::this_thread::sleep_for(505ms);
  platform::TimeKillEvent(id);
  const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  // Drift would lose 4 ms per tick (about 14 ticks of 50); a loaded machine may lose a few.
  EXPECT_GE(probe.ticks.load(), static_cast<int>(elapsed / 10) - 6);
  EXPECT_LE(probe.ticks.load(), 51);
}

TEST(Timer, RejectsZeroPeriodAndUnknownIds) {
  Probe probe;
  EXPECT_EQ(platform::TimeSetEvent(0, 0, &OnTick, 0, platform::TIME_PERIODIC), 0u);
  EXPECT_EQ(platform::TimeSetEvent(10, 0, nullptr, 0, platform::TIME_PERIODIC), 0u);
  EXPECT_FALSE(platform::TimeKillEvent(0xFFFFFFF0u));
}

}  // namespace
