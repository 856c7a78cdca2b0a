#include "platform/DisplayProbe.h"

#include <cstdlib>
#include <string_view>

#include <X11/Xlib.h>

namespace platform {

bool DisplayAvailable() {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (qpa && *qpa && std::string_view(qpa).substr(0, 3) != "xcb") return true;
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  Display* display = XOpenDisplay(name);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace platform
