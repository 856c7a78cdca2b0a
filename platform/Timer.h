// The multimedia-timer stand-in: periodic callbacks on a timer thread, one tick
// at a time, scheduled against absolute deadlines so the period does not drift.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace platform {

using TimerCallback = void (*)(std::uint32_t id, std::uint32_t msg, std::uintptr_t user, std::uintptr_t dw1,
                               std::uintptr_t dw2);
constexpr std::uint32_t TIME_ONESHOT = 0x0;
constexpr std::uint32_t TIME_PERIODIC = 0x1;

// Starts a periodic timer; returns its id (never 0), or 0 when it cannot start.
std::uint32_t TimeSetEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, TimerCallback callback,
                           std::uintptr_t user, std::uint32_t flags);
// Stops a timer. From another thread it waits for a running tick, and no tick
// starts after it returns. From inside the timer's own tick it only marks the
// timer stopped (it cannot wait for itself): no further tick starts, and the
// thread ends when the tick returns.
bool TimeKillEvent(std::uint32_t id);

// The deadline after one at `deadline` that has just passed at `now`: one period
// later, or, when the tick overran, the first whole period after now. Deadlines
// stay on the grid of the start time, so the schedule never drifts.
std::chrono::steady_clock::time_point NextTickDeadline(std::chrono::steady_clock::time_point deadline,
                                                       std::chrono::steady_clock::time_point now,
                                                       std::chrono::milliseconds period);

// While dormant, new timers get an id but never tick: a tool that steps the
// frames itself (the renderer) keeps the engine's own timer from racing it.
void SetTimersDormant(bool dormant);

// Milliseconds of the multimedia clock (wraps at 2^32); tests may replace it.
std::uint32_t TimeGetTime();
void SetTimeGetTimeForTesting(std::function<std::uint32_t()> clock);

}  // namespace platform
