#include "platform/HeadlessGui.h"

#include <chrono>

namespace platform {

WindowId HeadlessGui::CreateWindow(const WindowOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  const WindowId id = next_++;
  windows_[id] = {options, false};
  return id;
}

void HeadlessGui::DestroyWindow(WindowId window) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_.erase(window);
}

void HeadlessGui::ShowWindow(WindowId window, bool visible) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto it = windows_.find(window); it != windows_.end()) it->second.visible = visible;
}

void HeadlessGui::SetWindowOptions(WindowId window, const WindowOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto it = windows_.find(window); it != windows_.end()) it->second.options = options;
}

bool HeadlessGui::NextEvent(GuiEvent& event, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (events_.empty() && timeoutMs > 0)
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !events_.empty(); });
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

void HeadlessGui::Wake() { Post({GuiEvent::Type::Wake}); }

void HeadlessGui::ShowCursor(bool show) {
  std::lock_guard<std::mutex> lock(mutex_);
  cursor_ = show;
}

void HeadlessGui::Post(const GuiEvent& event) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  changed_.notify_all();
}

bool HeadlessGui::Find(WindowId window, Window* out) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return false;
  if (out) *out = it->second;
  return true;
}

int HeadlessGui::WindowCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(windows_.size());
}

bool HeadlessGui::CursorShown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cursor_;
}

}  // namespace platform
