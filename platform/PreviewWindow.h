// The host's preview window, reached through Xlib by its decimal window id.
// A bad id is reported, never fatal: Xlib's default error handler would end
// the process, so a handler of our own is installed while we talk to X.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class PreviewWindow {
 public:
  PreviewWindow();
  ~PreviewWindow();
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  // Connects to the X server named by DISPLAY and watches the window.
  bool Open(unsigned long window, std::string* error);
  bool Exists();
  // Mapped, with every ancestor mapped.
  bool Viewable();
  // Sleeps until the X connection has an event or the time runs out.
  void WaitForEvent(int timeoutMs);
  // Puts XRGB pixels at the window's (0, 0); the server clips to the window.
  bool Draw(const std::uint32_t* pixels, int width, int height);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
