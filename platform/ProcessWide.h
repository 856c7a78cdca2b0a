// A value the whole process shares (the active driver, a test's stand-in),
// swapped and read under a lock; readers get their own copy.
#pragma once

#include <mutex>
#include <utility>

namespace platform {

template <class T>
class ProcessWide {
 public:
  void Set(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
  }
  T Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace platform
