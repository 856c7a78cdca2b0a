// The X side of drawing into a window that a desktop screensaver host made.
// SDL asks for no events on a window it did not create, so sizes, exposure and
// the window's end are selected here; and Xlib's default error handlers would
// end the process with code 1 when the host destroys the window under a draw.
#pragma once

#include <memory>
#include <string>

struct SDL_Window;
union SDL_Event;

namespace platform {

class HostWindow {
 public:
  // Installs error handlers that never end the process (for the rest of it)
  // and checks that window names an existing window; false, with the reason,
  // when it does not. Call before SDL touches the window.
  static bool Check(unsigned long window, std::string* error);
  // Starts watching SDL's foreign window on SDL's own connection; null when it
  // is no X window.
  static std::unique_ptr<HostWindow> Watch(SDL_Window* window);

  // The event (enable SDL_SYSWMEVENT) tells that the window was destroyed.
  bool Destroyed(const SDL_Event& event) const;
  // An X error has named the window: it is gone.
  bool Lost() const;
  // The window covers the primary monitor of the first X screen: of one
  // window per monitor, the one that plays the music.
  bool CoversPrimaryMonitor() const;

  HostWindow(void* display, unsigned long window) : display_(display), window_(window) {}

 private:
  void* display_;  // SDL's Display*
  unsigned long window_;
};

}  // namespace platform
