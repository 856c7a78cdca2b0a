// Whether a window can be shown at all: Qt ends the process when it cannot
// reach its display, so every Qt application is made only after asking here.
// The probe keeps its connection until it is destroyed: when it is the X
// server's only client, closing it makes a bare server (Xvfb) reset, and a
// connection Qt makes during the reset fails. Destroy it once Qt is connected.
#pragma once

#include <memory>

namespace platform {

class DisplayProbe {
 public:
  // Null when no window can be shown. Not null when QT_QPA_PLATFORM names a
  // platform other than X11 (the tests' offscreen one, say), or when the X
  // display in DISPLAY accepts a connection.
  static std::unique_ptr<DisplayProbe> Connect();
  ~DisplayProbe();
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;

 private:
  explicit DisplayProbe(void* display) : display_(display) {}
  void* display_;  // the X connection, or null for another platform
};

}  // namespace platform
