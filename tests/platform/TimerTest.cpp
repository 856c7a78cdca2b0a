#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>
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
  // The detached tick has finished with the probe before it goes out of scope.
  const auto settle = std::chrono::steady_clock::now() + 5s;
  while (probe.running.load() != 0 && std::chrono::steady_clock::now() < settle) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(platform::TimeKillEvent(id));  // already gone
}

struct PhaseProbe {
  std::chrono::steady_clock::time_point start;
  std::vector<double> phases;  // ms past the last grid point of the period
};

void OnPhaseTick(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  auto* p = reinterpret_cast<PhaseProbe*>(user);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - p->start).count();
  if (p->phases.size() < 200) p->phases.push_back(std::fmod(ms, 20.0));
  std::this_thread::sleep_for(8ms);  // a tick that costs a good part of the period
}

TEST(Timer, ScheduleDoesNotDrift) {
  // Ticks that sleep for the period after each callback would wander around the
  // grid (phases 0, 8, 16, 4, ...); ticks held to absolute deadlines stay on it.
  PhaseProbe probe;
  probe.start = std::chrono::steady_clock::now();
  const std::uint32_t id =
      platform::TimeSetEvent(20, 0, &OnPhaseTick, reinterpret_cast<std::uintptr_t>(&probe), platform::TIME_PERIODIC);
  std::this_thread::sleep_for(410ms);
  platform::TimeKillEvent(id);
  ASSERT_GE(probe.phases.size(), 5u);
  std::vector<double> phases = probe.phases;
  std::nth_element(phases.begin(), phases.begin() + phases.size() / 2, phases.end());
  EXPECT_LT(phases[phases.size() / 2], 7.0) << "median phase of " << phases.size() << " ticks";
}

TEST(Timer, RejectsZeroPeriodAndUnknownIds) {
  Probe probe;
  EXPECT_EQ(platform::TimeSetEvent(0, 0, &OnTick, 0, platform::TIME_PERIODIC), 0u);
  EXPECT_EQ(platform::TimeSetEvent(10, 0, nullptr, 0, platform::TIME_PERIODIC), 0u);
  EXPECT_FALSE(platform::TimeKillEvent(0xFFFFFFF0u));
}

}  // namespace
