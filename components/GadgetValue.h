// A gadget property written on the GUI thread and read by the frame thread:
// copied in and out under a small lock, so a frame never sees a half-replaced
// text. The lock is held only while copying.
#pragma once

#include <mutex>
#include <utility>

namespace components {

template <class T>
class GadgetValue {
 public:
  explicit GadgetValue(T initial) : value_(std::move(initial)) {}

  T Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }
  // Stores only a value that differs, as the gadgets' setters do.
  void Set(const T& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!(value_ == value)) value_ = value;
  }
  // Replaces the value by fix(value) and returns the result, in one step, so a
  // correction made while drawing cannot undo a setter that ran meanwhile.
  template <class Fix>
  T Amend(Fix fix) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = fix(value_);
    return value_;
  }

 private:
  mutable std::mutex mutex_;
  T value_;
};

}  // namespace components
