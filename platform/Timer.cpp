#include "platform/Timer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ProcessWide.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct PeriodicTimer {
  std::uint32_t id = 0;
  std::chrono::milliseconds period{1};
  TimerCallback callback = nullptr;
  std::uintptr_t user = 0;
  bool oneShot = false;
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;
  ~PeriodicTimer() {
    // Timers never killed (or killed from their own tick) end on their own.
    if (thread.joinable()) thread.detach();
  }
};

std::mutex gTimersMutex;
std::map<std::uint32_t, std::shared_ptr<PeriodicTimer>> gTimers;
std::uint32_t gNextId = 1;

void RunTimer(std::shared_ptr<PeriodicTimer> t) {
  auto next = Clock::now() + t->period;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(t->mutex);
      if (t->wake.wait_until(lock, next, [&] { return t->stop; })) return;
    }
    t->callback(t->id, 0, t->user, 0, 0);
    if (t->oneShot) return;
    next = NextTickDeadline(next, Clock::now(), t->period);
  }
}

ProcessWide<std::function<std::uint32_t()>> gClock;
std::atomic<bool> gDormant{false};

}  // namespace

Clock::time_point NextTickDeadline(Clock::time_point deadline, Clock::time_point now, std::chrono::milliseconds period) {
  auto next = deadline + period;
  // A tick that overran skips the deadlines it missed instead of firing in a burst.
  if (next <= now) next += ((now - next) / period + 1) * period;
  return next;
}

std::uint32_t TimeSetEvent(std::uint32_t delayMs, std::uint32_t, TimerCallback callback, std::uintptr_t user,
                           std::uint32_t flags) {
  if (!callback || delayMs == 0) return 0;
  auto t = std::make_shared<PeriodicTimer>();
  t->period = std::chrono::milliseconds(delayMs);
  t->callback = callback;
  t->user = user;
  t->oneShot = (flags & TIME_PERIODIC) == 0;
  {
    std::lock_guard<std::mutex> lock(gTimersMutex);
    t->id = gNextId++;
    if (gNextId == 0) gNextId = 1;
    gTimers[t->id] = t;
  }
  if (!gDormant.load()) t->thread = std::thread(RunTimer, t);
  return t->id;
}

bool TimeKillEvent(std::uint32_t id) {
  std::shared_ptr<PeriodicTimer> t;
  {
    std::lock_guard<std::mutex> lock(gTimersMutex);
    auto it = gTimers.find(id);
    if (it == gTimers.end()) return false;
    t = it->second;
    gTimers.erase(it);
  }
  {
    std::lock_guard<std::mutex> lock(t->mutex);
    t->stop = true;
  }
  t->wake.notify_all();
  if (!t->thread.joinable())
    ;  // dormant: it never ran
  else if (t->thread.get_id() == std::this_thread::get_id())
    t->thread.detach();  // killed from its own tick: it ends when the tick returns
  else
    t->thread.join();  // waits for a running tick
  return true;
}

std::uint32_t TimeGetTime() {
  if (auto clock = gClock.Get()) return clock();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(ms);
}

void SetTimersDormant(bool dormant) { gDormant.store(dormant); }

void SetTimeGetTimeForTesting(std::function<std::uint32_t()> clock) { gClock.Set(std::move(clock)); }

}  // namespace platform
