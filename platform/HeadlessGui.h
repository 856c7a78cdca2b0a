// A window system without a display: windows are records, events are what a
// test (or a headless run) posts. Thread-safe.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/Gui.h"

namespace platform {

class HeadlessGui : public Gui {
 public:
  struct Window {
    WindowOptions options;
    bool visible = false;
  };

  WindowId CreateWindow(const WindowOptions& options) override;
  void DestroyWindow(WindowId window) override;
  void ShowWindow(WindowId window, bool visible) override;
  void SetWindowOptions(WindowId window, const WindowOptions& options) override;
  bool NextEvent(GuiEvent& event, int timeoutMs) override;
  void Wake() override;
  void ShowCursor(bool show) override;

  void Post(const GuiEvent& event);
  bool Find(WindowId window, Window* out) const;
  int WindowCount() const;
  bool CursorShown() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<WindowId, Window> windows_;
  std::deque<GuiEvent> events_;
  WindowId next_ = 1;
  bool cursor_ = true;
};

}  // namespace platform
