#include "platform/DisplayProbe.h"

#include <cstdlib>
#include <string_view>

#include <X11/Xlib.h>

namespace platform {

std::unique_ptr<DisplayProbe> DisplayProbe::Connect() {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (qpa && *qpa && std::string_view(qpa).substr(0, 3) != "xcb")
    return std::unique_ptr<DisplayProbe>(new DisplayProbe(nullptr));
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return nullptr;
  Display* display = XOpenDisplay(name);
  if (!display) return nullptr;
  return std::unique_ptr<DisplayProbe>(new DisplayProbe(display));
}

DisplayProbe::~DisplayProbe() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

}  // namespace platform
