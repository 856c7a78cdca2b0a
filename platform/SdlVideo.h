// The run mode's window system and presenter on SDL: native windows, the GUI
// thread's event queue (keys as Windows virtual-key numbers and characters,
// mouse, focus), and the display's presenter. A flip on the frame thread only
// copies the finished frame into a mailbox and wakes the GUI thread, which
// uploads and presents it, so a half-drawn frame is never shown.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/DisplayDriver.h"
#include "platform/Gui.h"

struct SDL_Window;
union SDL_Event;

namespace platform {

class SdlVideo : public Gui, public DisplayDriver {
 public:
  // Initialises SDL's video; false (with the reason) when there is no display.
  static std::shared_ptr<SdlVideo> Create(std::string* error);
  ~SdlVideo() override;

  // Gui
  WindowId CreateWindow(const WindowOptions& options) override;
  void DestroyWindow(WindowId window) override;
  void ShowWindow(WindowId window, bool visible) override;
  void SetWindowOptions(WindowId window, const WindowOptions& options) override;
  bool NextEvent(GuiEvent& event, int timeoutMs) override;
  void Wake() override;
  void ShowCursor(bool show) override;

  // DisplayDriver
  int MonitorCount() const override;
  bool BindWindow(WindowId window, bool exclusive, int monitor) override;
  void ModeChanged(int width, int height, int bpp) override;
  void Released() override;
  void Present(std::vector<std::uint32_t>& frame, int width, int height) override;
  bool CanRestore() const override { return !minimised_.load(); }

  // Frames shown so far (for tests and the benchmark).
  std::uint64_t PresentedFrames() const { return presented_.load(); }

 private:
  SdlVideo();
  struct Window {
    SDL_Window* window = nullptr;
    WindowOptions options;
    bool exclusive = false;
  };
  bool Translate(const SDL_Event& e, GuiEvent& event);
  void PresentPending();
  void PaintWindow(Window& w);
  Window* Find(WindowId id);

  std::uint32_t wakeEvent_ = 0;
  std::uint32_t presentEvent_ = 0;
  std::map<WindowId, Window> windows_;
  std::deque<GuiEvent> pending_;  // extra events a translation produced

  // Draws the shown frame (or the window's colour) straight into the window's
  // own framebuffer: one copy, or one scaled copy with black bars.
  void Blit(Window& w);

  // The presenter's state; the mailbox is shared with the frame thread.
  WindowId bound_ = 0;
  int modeWidth_ = 0, modeHeight_ = 0;
  std::mutex mailboxMutex_;
  std::vector<std::uint32_t> mailbox_;
  int mailboxWidth_ = 0, mailboxHeight_ = 0;
  bool mailboxFull_ = false;
  std::vector<std::uint32_t> shown_;
  int shownWidth_ = 0, shownHeight_ = 0;
  std::atomic<bool> presentQueued_{false};
  std::atomic<bool> wakeQueued_{false};
  std::atomic<bool> minimised_{false};
  std::atomic<std::uint64_t> presented_{0};
};

}  // namespace platform
