// Waiting on a condition in tests: polled, with a time limit.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Waits until pred holds or the time runs out; returns pred's last value. Poll
// slowly where asking is costly (a screen grab).
inline bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(5),
                    std::chrono::milliseconds poll = std::chrono::milliseconds(2)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return pred();
    std::this_thread::sleep_for(poll);
  }
  return true;
}

}  // namespace testing_support
