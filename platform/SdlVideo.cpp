#include "platform/SdlVideo.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

int VirtualKey(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
  switch (k) {
    case SDLK_ESCAPE: return 27;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_SPACE: return 32;
    case SDLK_TAB: return 9;
    case SDLK_BACKSPACE: return 8;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_PRINTSCREEN: return 44;
    default: return 0;
  }
}

// Keys whose key-press character Windows sends besides the key-down.
int ControlCharacter(SDL_Keycode k) {
  switch (k) {
    case SDLK_ESCAPE: return 27;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    default: return 0;
  }
}

int ShiftState(Uint16 mod) {
  return ((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_ALT) ? 2 : 0) | ((mod & KMOD_CTRL) ? 4 : 0);
}

}  // namespace

SdlVideo::SdlVideo() = default;

std::shared_ptr<SdlVideo> SdlVideo::Create(std::string* error) {
  // The window's own framebuffer: with no GPU, SDL's OpenGL path costs several times more.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  std::shared_ptr<SdlVideo> video(new SdlVideo);
  const Uint32 base = SDL_RegisterEvents(2);
  video->wakeEvent_ = base;
  video->presentEvent_ = base + 1;
  return video;
}

SdlVideo::~SdlVideo() {
  for (auto& [id, w] : windows_) SDL_DestroyWindow(w.window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

SdlVideo::Window* SdlVideo::Find(WindowId id) {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : &it->second;
}

WindowId SdlVideo::CreateWindow(const WindowOptions& options) {
  const int w = options.width > 0 ? options.width : 640;
  const int h = options.height > 0 ? options.height : 480;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (options.borderless) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* window = SDL_CreateWindow(options.caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w,
                                        h, flags);
  if (!window) return 0;
  const WindowId id = SDL_GetWindowID(window);
  Window& record = windows_[id];
  record.window = window;
  record.options = options;
  return id;
}

void SdlVideo::DestroyWindow(WindowId id) {
  Window* w = Find(id);
  if (!w) return;
  if (bound_ == id) {
    bound_ = 0;
    shown_.clear();
  }
  SDL_DestroyWindow(w->window);
  windows_.erase(id);
}

void SdlVideo::PaintWindow(Window& w) { Blit(w); }

void SdlVideo::Blit(Window& w) {
  SDL_Surface* target = SDL_GetWindowSurface(w.window);
  if (!target) return;
  const bool frame = bound_ && Find(bound_) == &w && !shown_.empty();
  const std::uint32_t c = frame ? 0 : w.options.color;  // 0x00BBGGRR; bars are black
  const Uint32 fill = SDL_MapRGB(target->format, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  if (!frame) {
    SDL_FillRect(target, nullptr, fill);
    SDL_UpdateWindowSurface(w.window);
    return;
  }
  // The logical mode scaled to the window with its aspect kept.
  const double scale = std::min(static_cast<double>(target->w) / shownWidth_,
                                static_cast<double>(target->h) / shownHeight_);
  SDL_Rect dst;
  dst.w = std::max(1, static_cast<int>(shownWidth_ * scale));
  dst.h = std::max(1, static_cast<int>(shownHeight_ * scale));
  dst.x = (target->w - dst.w) / 2;
  dst.y = (target->h - dst.h) / 2;
  const SDL_Rect bars[4] = {{0, 0, target->w, dst.y},
                            {0, dst.y + dst.h, target->w, target->h - dst.y - dst.h},
                            {0, dst.y, dst.x, dst.h},
                            {dst.x + dst.w, dst.y, target->w - dst.x - dst.w, dst.h}};
  for (const SDL_Rect& bar : bars)
    if (bar.w > 0 && bar.h > 0) SDL_FillRect(target, &bar, fill);
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(shown_.data(), shownWidth_, shownHeight_, 32,
                                                           shownWidth_ * 4, SDL_PIXELFORMAT_RGB888);
  if (!source) return;
  if (dst.w == shownWidth_ && dst.h == shownHeight_)
    SDL_BlitSurface(source, nullptr, target, &dst);
  else
    SDL_BlitScaled(source, nullptr, target, &dst);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(w.window);
}

void SdlVideo::ShowWindow(WindowId id, bool visible) {
  Window* w = Find(id);
  if (!w) return;
  if (visible) {
    SDL_ShowWindow(w->window);
    SDL_RaiseWindow(w->window);
    PaintWindow(*w);
  } else {
    SDL_HideWindow(w->window);
  }
}

void SdlVideo::SetWindowOptions(WindowId id, const WindowOptions& options) {
  Window* w = Find(id);
  if (!w) return;
  const WindowOptions old = w->options;
  w->options = options;
  if (options.caption != old.caption) SDL_SetWindowTitle(w->window, options.caption.c_str());
  if (options.borderless != old.borderless) SDL_SetWindowBordered(w->window, options.borderless ? SDL_FALSE : SDL_TRUE);
  // While it is the exclusive display window it keeps covering the desktop.
  if (!w->exclusive && (options.width != old.width || options.height != old.height) && options.width > 0 &&
      options.height > 0)
    SDL_SetWindowSize(w->window, options.width, options.height);
  if (!w->exclusive && (options.left != old.left || options.top != old.top))
    SDL_SetWindowPosition(w->window, options.left, options.top);
  if (options.color != old.color && (SDL_GetWindowFlags(w->window) & SDL_WINDOW_SHOWN)) PaintWindow(*w);
}

bool SdlVideo::NextEvent(GuiEvent& event, int timeoutMs) {
  if (!pending_.empty()) {
    event = pending_.front();
    pending_.pop_front();
    return true;
  }
  SDL_Event e;
  int got = timeoutMs > 0 ? SDL_WaitEventTimeout(&e, timeoutMs) : SDL_PollEvent(&e);
  while (got) {
    if (Translate(e, event)) return true;
    got = SDL_PollEvent(&e);
  }
  return false;
}

bool SdlVideo::Translate(const SDL_Event& e, GuiEvent& event) {
  event = GuiEvent{};
  if (e.type == presentEvent_) {
    PresentPending();
    return false;
  }
  if (e.type == wakeEvent_) {
    wakeQueued_.store(false);
    event.type = GuiEvent::Type::Wake;
    return true;
  }
  switch (e.type) {
    case SDL_KEYDOWN: {
      const int vk = VirtualKey(e.key.keysym.sym);
      if (!vk) return false;
      event.type = GuiEvent::Type::KeyDown;
      event.window = e.key.windowID;
      event.key = vk;
      event.shift = ShiftState(e.key.keysym.mod);
      if (const int ch = ControlCharacter(e.key.keysym.sym))
        pending_.push_back({GuiEvent::Type::KeyPress, e.key.windowID, ch, event.shift, 0, 0});
      return true;
    }
    case SDL_TEXTINPUT: {
      // Printable characters; a multi-byte character arrives byte by byte, as ANSI text would.
      const char* text = e.text.text;
      const std::size_t n = std::strlen(text);
      if (n == 0) return false;
      for (std::size_t i = 1; i < n; ++i)
        pending_.push_back({GuiEvent::Type::KeyPress, e.text.windowID, static_cast<unsigned char>(text[i]), 0, 0, 0});
      event.type = GuiEvent::Type::KeyPress;
      event.window = e.text.windowID;
      event.key = static_cast<unsigned char>(text[0]);
      return true;
    }
    case SDL_MOUSEMOTION:
      event.type = GuiEvent::Type::MouseMove;
      event.window = e.motion.windowID;
      event.x = e.motion.x;
      event.y = e.motion.y;
      return true;
    case SDL_WINDOWEVENT:
      event.window = e.window.windowID;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          event.type = GuiEvent::Type::Activate;
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          event.type = GuiEvent::Type::Deactivate;
          return true;
        case SDL_WINDOWEVENT_CLOSE:
          event.type = GuiEvent::Type::Close;
          return true;
        case SDL_WINDOWEVENT_MINIMIZED:
          minimised_.store(true);
          if (event.window == bound_) LoseSurfaces();
          return false;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
          minimised_.store(false);
          return false;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          if (Window* w = Find(event.window)) PaintWindow(*w);
          return false;
        default:
          return false;
      }
    case SDL_RENDER_DEVICE_RESET:
    case SDL_RENDER_TARGETS_RESET:
      LoseSurfaces();
      return false;
    case SDL_QUIT:
      // A termination request (signal or session end) closes the main form.
      event.type = GuiEvent::Type::Close;
      event.window = 0;
      return true;
    default:
      return false;
  }
}

void SdlVideo::Wake() {
  if (wakeQueued_.exchange(true)) return;
  SDL_Event e{};
  e.type = wakeEvent_;
  if (SDL_PushEvent(&e) != 1) wakeQueued_.store(false);
}

void SdlVideo::ShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

// ---- presenter ----

int SdlVideo::MonitorCount() const {
  const int n = SDL_GetNumVideoDisplays();
  return n > 0 ? n : 1;
}

bool SdlVideo::BindWindow(WindowId id, bool exclusive, int monitor) {
  Window* w = Find(id);
  if (!w) return false;
  bound_ = id;
  w->exclusive = exclusive;
  if (exclusive) {
    // A borderless window covering the desktop; Xvfb and some window managers
    // place true full-screen windows off-centre.
    int display = SDL_GetWindowDisplayIndex(w->window);
    if (monitor >= 0 && monitor < SDL_GetNumVideoDisplays()) display = monitor;
    if (display < 0) display = 0;
    SDL_Rect bounds{0, 0, 1024, 768};
    SDL_GetDisplayBounds(display, &bounds);
    SDL_SetWindowBordered(w->window, SDL_FALSE);
    SDL_SetWindowPosition(w->window, bounds.x, bounds.y);
    SDL_SetWindowSize(w->window, bounds.w, bounds.h);
    SDL_ShowWindow(w->window);
    SDL_RaiseWindow(w->window);
  }
  return SDL_GetWindowSurface(w->window) != nullptr;
}

void SdlVideo::ModeChanged(int width, int height, int) {
  modeWidth_ = width;
  modeHeight_ = height;
  shown_.clear();
  if (Window* w = Find(bound_)) PaintWindow(*w);
}

void SdlVideo::Released() {
  shown_.clear();
  if (Window* w = Find(bound_)) {
    w->exclusive = false;
    PaintWindow(*w);
  }
  bound_ = 0;
}

void SdlVideo::Present(std::vector<std::uint32_t>& frame, int width, int height) {
  {
    std::lock_guard<std::mutex> lock(mailboxMutex_);
    // Take the frame by trading buffers: no copy on the frame thread.
    const std::size_t n = static_cast<std::size_t>(width) * height;
    if (mailbox_.size() != n) mailbox_.assign(n, 0);
    mailbox_.swap(frame);
    mailboxWidth_ = width;
    mailboxHeight_ = height;
    mailboxFull_ = true;
  }
  if (presentQueued_.exchange(true)) return;  // the GUI thread will take the newest frame
  SDL_Event e{};
  e.type = presentEvent_;
  if (SDL_PushEvent(&e) != 1) presentQueued_.store(false);
}

void SdlVideo::PresentPending() {
  presentQueued_.store(false);
  {
    std::lock_guard<std::mutex> lock(mailboxMutex_);
    if (!mailboxFull_) return;
    shown_.swap(mailbox_);  // no copy: the buffers trade places
    shownWidth_ = mailboxWidth_;
    shownHeight_ = mailboxHeight_;
    mailboxFull_ = false;
  }
  Window* w = Find(bound_);
  if (!w || shownWidth_ != modeWidth_ || shownHeight_ != modeHeight_) return;
  if (!GammaIsIdentity()) ApplyRamp(GammaRamp(), shown_.data(), shown_.size());
  Blit(*w);
  presented_.fetch_add(1);
}

}  // namespace platform
