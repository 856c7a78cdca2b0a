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
  // The detached tick has finished with the probe before it goes out of scope.
  const auto settle = std::chrono::steady_clock::now() + 5s;
  while (probe.running.load() != 0 && std::chrono::steady_clock::now() < settle) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(platform::TimeKillEvent(id));  // already gone
}

TEST(Timer, DeadlinesStayOnTheGridOfTheStart) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start{};
  const auto period = 40ms;
  // A tick that takes 30 ms of a 40 ms period: the next one is still due at 80.
  EXPECT_EQ(platform::NextTickDeadline(start + 40ms, start + 70ms, period), start + 80ms);
  // Lateness does not carry over: many late wake-ups in a row stay on the grid.
  auto deadline = start + 40ms;
  for (int k = 1; k <= 1000; ++k) {
    deadline = platform::NextTickDeadline(deadline, deadline + 39ms, period);
    ASSERT_EQ(deadline, start + (k + 1) * period);
  }
  // An overrun of two and a half periods skips the missed deadlines, no burst.
  EXPECT_EQ(platform::NextTickDeadline(start + 40ms, start + 140ms, period), start + 160ms);
  EXPECT_EQ(platform::NextTickDeadline(start + 40ms, start + 80ms, period), start + 120ms);
}

TEST(Timer, TicksKeepComingUnderASlowCallback) {
  Probe probe;
  probe.sleepMs = 4;
  const std::uint32_t id =
      platform::TimeSetEvent(10, 0, &OnTick, reinterpret_cast<std::uintptr_t>(&probe), platform::TIME_PERIODIC);
  std::this_thread::sleep_for(300ms);
  platform::TimeKillEvent(id);
  EXPECT_GE(probe.ticks.load(), 5);  // loose: a loaded machine may lose many
  EXPECT_LE(probe.ticks.load(), 31);
  EXPECT_EQ(probe.overlaps.load(), 0);
}

TEST(Timer, RejectsZeroPeriodAndUnknownIds) {
  Probe probe;
  EXPECT_EQ(platform::TimeSetEvent(0, 0, &OnTick, 0, platform::TIME_PERIODIC), 0u);
  EXPECT_EQ(platform::TimeSetEvent(10, 0, nullptr, 0, platform::TIME_PERIODIC), 0u);
  EXPECT_FALSE(platform::TimeKillEvent(0xFFFFFFF0u));
}

}  // namespace
