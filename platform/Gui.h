// The window system under the forms: native windows and the event queue of the
// GUI thread. SDL in run mode, Qt in configuration mode, a headless one for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/DDraw.h"

namespace platform {

struct GuiEvent {
  enum class Type { None, Wake, KeyDown, KeyPress, MouseMove, Activate, Deactivate, Close, Quit };
  Type type = Type::None;
  WindowId window = 0;
  int key = 0;       // KeyDown: Windows virtual-key number; KeyPress: the character
  int shift = 0;     // modifier state (ssShift 1, ssAlt 2, ssCtrl 4)
  int x = 0, y = 0;  // MouseMove: pointer position in the window
};

struct WindowOptions {
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;
  bool borderless = false;
  std::uint32_t color = 0;  // 0x00BBGGRR, as the framework stores colours
};

class Gui {
 public:
  virtual ~Gui() = default;
  virtual WindowId CreateWindow(const WindowOptions& options) = 0;
  virtual void DestroyWindow(WindowId window) = 0;
  virtual void ShowWindow(WindowId window, bool visible) = 0;
  virtual void SetWindowOptions(WindowId window, const WindowOptions& options) = 0;
  // Waits up to timeoutMs (0 = do not wait) for the next event.
  virtual bool NextEvent(GuiEvent& event, int timeoutMs) = 0;
  // Thread-safe: makes a waiting NextEvent return a Wake event.
  virtual void Wake() = 0;
  virtual void ShowCursor(bool show) = 0;
};

void SetGui(std::shared_ptr<Gui> gui);
// The system call's stand-in: shows or hides the mouse cursor of the current window system.
void ShowCursor(bool show);
std::shared_ptr<Gui> GetGui();

}  // namespace platform
