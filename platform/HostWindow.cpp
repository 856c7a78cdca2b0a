#include "platform/HostWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>

#include <atomic>

namespace platform {

namespace {

std::atomic<unsigned long> gWatched{0};
std::atomic<bool> gLost{false};

// A draw racing the host's destruction of the window is expected at every
// end of a hosted run; no other error is worth ending the saver for either.
int OnXError(Display*, XErrorEvent* e) {
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid == gWatched.load())
    gLost.store(true);
  return 0;
}

// The server is gone: nothing can be drawn or released any more, and the
// host that would stop us went with it. Xlib would exit with code 1.
int OnXIoError(Display*) { _exit(0); }

void InstallErrorHandlers() {
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIoError);
}

}  // namespace

bool HostWindow::Check(unsigned long window, std::string* error) {
  InstallErrorHandlers();
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    if (error) *error = "no X display";
    return false;
  }
  XWindowAttributes a;
  const bool exists = window != 0 && XGetWindowAttributes(display, window, &a) != 0;
  XCloseDisplay(display);
  if (!exists && error) *error = "no window " + std::to_string(window);
  return exists;
}

std::unique_ptr<HostWindow> HostWindow::Watch(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  Display* display = info.info.x11.display;
  const Window xid = info.info.x11.window;
  gWatched.store(xid);
  gLost.store(false);
  InstallErrorHandlers();
  // Never ButtonPress: the host owns it, and asking for it fails.
  XSelectInput(display, xid, StructureNotifyMask | ExposureMask);
  XFlush(display);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  return std::make_unique<HostWindow>(display, xid);
}

bool HostWindow::Destroyed(const SDL_Event& event) const {
  if (event.type != SDL_SYSWMEVENT || !event.syswm.msg || event.syswm.msg->subsystem != SDL_SYSWM_X11) return false;
  const XEvent& x = event.syswm.msg->msg.x11.event;
  return x.type == DestroyNotify && x.xdestroywindow.window == window_;
}

bool HostWindow::Lost() const { return gLost.load(); }

bool HostWindow::CoversPrimaryMonitor() const {
  auto* display = static_cast<Display*>(display_);
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, window_, &a)) return false;
  // SDL lists the primary output of the default screen first.
  if (XScreenNumberOfScreen(a.screen) != 0 || DefaultScreen(display) != 0) return false;
  int x = 0, y = 0;
  Window child;
  if (!XTranslateCoordinates(display, window_, a.root, 0, 0, &x, &y, &child)) return false;
  SDL_Rect primary;
  if (SDL_GetDisplayBounds(0, &primary) != 0) return false;
  return x <= primary.x && y <= primary.y && x + a.width >= primary.x + primary.w &&
         y + a.height >= primary.y + primary.h;
}

}  // namespace platform
