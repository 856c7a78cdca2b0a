#include "platform/SdlVideo.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/Allocator.h"
#include "platform/SessionBus.h"

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

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Without a render node (or the proprietary driver's device) no GPU can draw, and
// probing would only load a CPU rasteriser into the process. A "card" node
// alone is a display controller (firmware frame buffers have one): no GPU.
bool MayHaveGpu() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", ec))
    if (entry.path().filename().string().rfind("renderD", 0) == 0) return true;
  return std::filesystem::exists("/dev/nvidiactl", ec);
}

SDL_Rect ToRect(const FramePlacement& p) { return {p.x, p.y, p.width, p.height}; }

// Runs of rows this close are sent as one rectangle: each costs a request.
constexpr int kRunGap = 16;

}  // namespace

SdlVideo::SdlVideo() = default;

std::shared_ptr<SdlVideo> SdlVideo::Create(std::string* error) {
  // The window's own framebuffer: with no GPU, SDL's OpenGL path costs several times more.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "1");
  {
    // SDL connects to the session bus while it starts, and only then.
    const NoBusAutolaunch noDaemon;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      if (error) *error = SDL_GetError();
      return nullptr;
    }
  }
  std::shared_ptr<SdlVideo> video(new SdlVideo);
  const Uint32 base = SDL_RegisterEvents(2);
  video->wakeEvent_ = base;
  video->presentEvent_ = base + 1;
  return video;
}

std::shared_ptr<SdlVideo> SdlVideo::CreateHosted(unsigned long window, std::string* error) {
  if (!HostWindow::Check(window, error)) return nullptr;
  // The host decides when the screen blanks: never hold its own saver off.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  std::shared_ptr<SdlVideo> video = Create(error);
  if (!video) return nullptr;
  SDL_Window* sdlWindow = SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)));
  if (!sdlWindow) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  const WindowId id = SDL_GetWindowID(sdlWindow);
  Window& record = video->windows_[id];
  record.window = sdlWindow;
  record.foreign = true;
  video->hostId_ = id;
  video->host_ = HostWindow::Watch(sdlWindow);
  if (!video->host_) {
    if (error) *error = "not an X window";
    return nullptr;
  }
  return video;
}

bool SdlVideo::HostCoversPrimaryMonitor() const { return host_ && host_->CoversPrimaryMonitor(); }

SdlVideo::~SdlVideo() {
  for (auto& [id, w] : windows_) {
    DropRenderer(w);
    SDL_DestroyWindow(w.window);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

RendererFacts SdlVideo::ProbeRenderer() {
  RendererFacts facts;
  facts.probed = true;
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
  if (!probe) probe = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
  if (!probe) return facts;
  if (SDL_Renderer* renderer = SDL_CreateRenderer(probe, -1, SDL_RENDERER_ACCELERATED)) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) == 0) {
      facts.found = true;
      facts.name = info.name ? info.name : "";
      facts.accelerated = (info.flags & SDL_RENDERER_ACCELERATED) != 0;
    }
    // OpenGL renderers leave their context current; its renderer string names the device.
    if (facts.name.rfind("opengl", 0) == 0 && SDL_GL_GetCurrentContext()) {
      using GetString = const unsigned char* (*)(unsigned);
      if (auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString")))
        if (const unsigned char* device = get(0x1F01))  // GL_RENDERER
          facts.device = reinterpret_cast<const char*>(device);
    }
    SDL_DestroyRenderer(renderer);
  }
  SDL_DestroyWindow(probe);
  return facts;
}

const PresentChoice& SdlVideo::Choice() {
  if (!choiceMade_) {
    const std::string present = Env("BRISVANE_PRESENT");
    // A host's window keeps the visual the host gave it: no renderer of ours.
    if (!host_ && (present == "texture" || (present != "framebuffer" && MayHaveGpu()))) facts_ = ProbeRenderer();
    choice_ = ChoosePresenting(facts_, Env("BRISVANE_SCALE"), present,
                               FrameScaler::CurrentLevel() == FrameScaler::Level::Avx2);
    choiceMade_ = true;
  }
  return choice_;
}

std::string SdlVideo::PresentingPath() { return DescribeChoice(Choice(), facts_); }

void SdlVideo::DropRenderer(Window& w) {
  if (w.texture) SDL_DestroyTexture(w.texture);
  if (w.renderer) SDL_DestroyRenderer(w.renderer);
  w.texture = nullptr;
  w.renderer = nullptr;
  w.textureWidth = w.textureHeight = 0;
}

SdlVideo::Window* SdlVideo::Find(WindowId id) {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : &it->second;
}

WindowId SdlVideo::CreateWindow(const WindowOptions& options) {
  if (host_ && !hostClaimed_) {
    hostClaimed_ = true;
    windows_[hostId_].options = options;
    return hostId_;
  }
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
    Uncover();
    bound_ = 0;
    shown_ = {};
    shownOnScreen_ = false;
  }
  DropRenderer(*w);
  SDL_DestroyWindow(w->window);
  windows_.erase(id);
}

void SdlVideo::PaintWindow(Window& w) { Blit(w, true); }

bool SdlVideo::ShowsFrame(Window& w) { return bound_ && Find(bound_) == &w && !shown_.pixels.empty(); }

bool SdlVideo::Blit(Window& w, bool full, bool changed) {
  if (!w.renderer) return BlitFramebuffer(w, full, changed);
  BlitTexture(w);
  return false;
}

bool SdlVideo::BlitFramebuffer(Window& w, bool full, bool changed) {
  SDL_Surface* target = SDL_GetWindowSurface(w.window);
  if (!target) return false;
  // A new window buffer (shared with the X server) gets its pages in one call, not a fault per page.
  if (w.barsDrawn != target && !SDL_MUSTLOCK(target))
    BackPagesNow(target->pixels, static_cast<std::size_t>(target->pitch) * target->h);
  if (!ShowsFrame(w)) {
    const std::uint32_t c = w.options.color;  // 0x00BBGGRR
    SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    SDL_UpdateWindowSurface(w.window);
    w.barsDrawn = nullptr;
    return false;
  }
  // The bars stay black in the window's own buffer until it is replaced or painted over.
  full = full || w.barsDrawn != target || w.barsWidth != target->w || w.barsHeight != target->h;
  const ScaleFilter filter = Choice().filter;
  FramePlacement placed;
  const bool xrgb = target->format->format == SDL_PIXELFORMAT_RGB888 && !SDL_MUSTLOCK(target) && target->pitch % 4 == 0;
  auto* pixels = static_cast<std::uint32_t*>(target->pixels);
  const auto rows = static_cast<std::size_t>(shownHeight_);
  if (xrgb && changed && !full && shown_.rows.size() == rows && drawnRows_.size() == rows) {
    MarkChangedRows();
    placed = scaler_.DrawChanged(shown_.pixels.data(), shownWidth_, shownHeight_, changed_.data(), pixels,
                                 target->pitch / 4, target->w, target->h, filter, runs_);
    std::vector<SDL_Rect> rects;
    for (const RowRun& run : runs_) {
      if (!rects.empty() && run.first - (rects.back().y + rects.back().h) <= kRunGap)
        rects.back().h = run.first + run.count - rects.back().y;
      else
        rects.push_back({placed.x, run.first, placed.width, run.count});
    }
    return rects.empty() || SDL_UpdateWindowSurfaceRects(w.window, rects.data(), static_cast<int>(rects.size())) == 0;
  }
  if (xrgb) {
    placed = scaler_.Draw(shown_.pixels.data(), shownWidth_, shownHeight_, pixels, target->pitch / 4, target->w,
                          target->h, filter, full);
  } else {
    // Another pixel layout: scale into our own buffer, then let SDL convert it.
    scratch_.resize(static_cast<std::size_t>(target->w) * target->h);
    placed = scaler_.Draw(shown_.pixels.data(), shownWidth_, shownHeight_, scratch_.data(), target->w, target->w,
                          target->h, filter, true);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(scratch_.data(), target->w, target->h, 32,
                                                             target->w * 4, SDL_PIXELFORMAT_RGB888);
    if (!source) return false;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    full = true;
  }
  const SDL_Rect picture = ToRect(placed);
  const int updated = full || picture.w == 0 ? SDL_UpdateWindowSurface(w.window)
                                             : SDL_UpdateWindowSurfaceRects(w.window, &picture, 1);
  w.barsDrawn = target;
  w.barsWidth = target->w;
  w.barsHeight = target->h;
  return updated == 0;
}

void SdlVideo::BlitTexture(Window& w) {
  int width = 0, height = 0;
  if (SDL_GetRendererOutputSize(w.renderer, &width, &height) != 0) return;
  if (!ShowsFrame(w)) {
    const std::uint32_t c = w.options.color;
    SDL_SetRenderDrawColor(w.renderer, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 255);
    SDL_RenderClear(w.renderer);
    SDL_RenderPresent(w.renderer);
    return;
  }
  const ScaleFilter filter = Choice().filter;
  if (w.texture && (w.textureWidth != shownWidth_ || w.textureHeight != shownHeight_)) {
    SDL_DestroyTexture(w.texture);
    w.texture = nullptr;
  }
  if (!w.texture) {
    w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, shownWidth_,
                                  shownHeight_);
    if (!w.texture) return;
    w.textureWidth = shownWidth_;
    w.textureHeight = shownHeight_;
  }
  SDL_SetTextureScaleMode(w.texture, filter == ScaleFilter::Linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  SDL_UpdateTexture(w.texture, nullptr, shown_.pixels.data(), shownWidth_ * 4);
  const SDL_Rect picture = ToRect(FitFrame(shownWidth_, shownHeight_, width, height));
  SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);  // the bars
  SDL_RenderClear(w.renderer);
  SDL_RenderCopy(w.renderer, w.texture, nullptr, &picture);
  SDL_RenderPresent(w.renderer);
}

void SdlVideo::ShowWindow(WindowId id, bool visible) {
  Window* w = Find(id);
  if (!w) return;
  if (w->foreign) {
    if (visible) PaintWindow(*w);
    return;
  }
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
  if (w->foreign) return;
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

bool SdlVideo::HostEnded(const SDL_Event* e, GuiEvent& event) {
  if (!host_ || hostEnded_ || !(e ? host_->Destroyed(*e) : host_->Lost())) return false;
  hostEnded_ = true;
  event = GuiEvent{GuiEvent::Type::Close, hostId_};
  return true;
}

bool SdlVideo::NextEvent(GuiEvent& event, int timeoutMs) {
  if (HostEnded(nullptr, event)) return true;
  if (!pending_.empty()) {
    event = pending_.front();
    pending_.pop_front();
    return true;
  }
  SDL_Event e;
  int got = timeoutMs > 0 ? SDL_WaitEventTimeout(&e, timeoutMs) : SDL_PollEvent(&e);
  while (got) {
    if (Translate(e, event)) {
      Readdress(event);
      for (GuiEvent& extra : pending_) Readdress(extra);
      return true;
    }
    got = SDL_PollEvent(&e);
  }
  return false;
}

void SdlVideo::Readdress(GuiEvent& event) {
  Window* from = Find(event.window);
  Window* to = Find(bound_);
  if (!from || !from->cover || !to) return;
  if (event.type == GuiEvent::Type::MouseMove) {
    int fx = 0, fy = 0, tx = 0, ty = 0;
    SDL_GetWindowPosition(from->window, &fx, &fy);
    SDL_GetWindowPosition(to->window, &tx, &ty);
    event.x += fx - tx;
    event.y += fy - ty;
  }
  event.window = bound_;
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
  if (host_) {
    if (HostEnded(&e, event)) return true;
    // The host watches the user and ends us; focus is never ours to lose.
    if (e.type == SDL_KEYDOWN || e.type == SDL_TEXTINPUT || e.type == SDL_MOUSEMOTION ||
        (e.type == SDL_WINDOWEVENT &&
         (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)))
      return false;
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
          if (focusMovedWithin_) {
            focusMovedWithin_ = false;
            return false;
          }
          event.type = GuiEvent::Type::Activate;
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          // Focus passing to another of our windows (a cover) leaves the application active.
          if (SDL_Window* now = SDL_GetKeyboardFocus()) {
            const WindowId to = SDL_GetWindowID(now);
            if (to != event.window && Find(to)) {
              focusMovedWithin_ = true;
              return false;
            }
          }
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
      // The renderers are gone with the device: the next frame makes new ones.
      for (auto& [id, w] : windows_)
        if (w.renderer) {
          DropRenderer(w);
          w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_ACCELERATED);
        }
      LoseSurfaces();
      return false;
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

void SdlVideo::ShowCursor(bool show) {
  cursorShown_ = show;
  if (host_) return;  // the host's window, the host's cursor
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// ---- presenter ----

int SdlVideo::MonitorCount() const {
  const int n = SDL_GetNumVideoDisplays();
  return n > 0 ? n : 1;
}

std::vector<WindowId> SdlVideo::CoverWindows() const {
  std::vector<WindowId> covers;
  for (const auto& [id, w] : windows_)
    if (w.cover) covers.push_back(id);
  return covers;
}

void SdlVideo::CoverOtherMonitors(int sceneDisplay) {
  Uncover();
  const int n = SDL_GetNumVideoDisplays();
  for (int i = 0; i < n; ++i) {
    if (i == sceneDisplay) continue;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    // Made on its display (an X screen of its own, where monitors are screens), then placed.
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED_DISPLAY(i), SDL_WINDOWPOS_UNDEFINED_DISPLAY(i),
                                          bounds.w, bounds.h,
                                          SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR);
    if (!window) continue;
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    Window& cover = windows_[SDL_GetWindowID(window)];
    cover.window = window;
    cover.cover = true;
    cover.exclusive = true;
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    PaintWindow(cover);
  }
  // The cursor state applies to windows that exist when it is set.
  if (!cursorShown_) SDL_SetCursor(nullptr);
}

void SdlVideo::Uncover() {
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (it->second.cover) {
      SDL_DestroyWindow(it->second.window);
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
}

bool SdlVideo::BindWindow(WindowId id, bool exclusive, int monitor) {
  Window* w = Find(id);
  if (!w || w->cover) return false;
  bound_ = id;
  shownOnScreen_ = false;
  w->exclusive = exclusive;
  if (w->foreign) return SDL_GetWindowSurface(w->window) != nullptr;
  // First: an OpenGL renderer makes SDL create the window anew, at its first place.
  if (Choice().path == PresentPath::Texture && !w->renderer)
    w->renderer = SDL_CreateRenderer(w->window, -1, SDL_RENDERER_ACCELERATED);
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
    CoverOtherMonitors(display);
  }
  if (w->renderer) return true;
  return SDL_GetWindowSurface(w->window) != nullptr;
}

void SdlVideo::ModeChanged(int width, int height, int) {
  modeWidth_ = width;
  modeHeight_ = height;
  shown_ = {};
  shownOnScreen_ = false;
  if (Window* w = Find(bound_)) PaintWindow(*w);
}

void SdlVideo::Released() {
  shown_ = {};
  shownOnScreen_ = false;
  Uncover();
  if (Window* w = Find(bound_)) {
    w->exclusive = false;
    PaintWindow(*w);
  }
  bound_ = 0;
}

void SdlVideo::Present(FrameBuffer& frame, int width, int height) {
  {
    std::lock_guard<std::mutex> lock(mailboxMutex_);
    // Take the frame by trading buffers: no copy on the frame thread.
    const std::size_t n = static_cast<std::size_t>(width) * height;
    if (mailbox_.pixels.size() != n) {
      mailbox_ = {};
      AssignBacked(mailbox_.pixels, n, 0u);
    }
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
  // What the window shows, row by row, to tell the rows that change.
  drawnRows_ = shown_.rows;
  {
    std::lock_guard<std::mutex> lock(mailboxMutex_);
    if (!mailboxFull_) return;
    // The buffers trade places, none is copied: the new frame is shown and
    // the one shown so far goes to the frame thread.
    shown_.swap(mailbox_);
    shownWidth_ = mailboxWidth_;
    shownHeight_ = mailboxHeight_;
    mailboxFull_ = false;
  }
  const bool previousOnScreen = std::exchange(shownOnScreen_, false);
  Window* w = Find(bound_);
  if (!w || shownWidth_ != modeWidth_ || shownHeight_ != modeHeight_) return;
  // A ramp is applied in place to every row, so it is drawn whole.
  const bool ramped = !GammaIsIdentity();
  if (ramped) {
    ApplyRamp(GammaRamp(), shown_.pixels.data(), shown_.pixels.size());
    shown_.rows.clear();  // the pixels no longer hold what the signatures say
  }
  shownOnScreen_ = Blit(*w, false, !ramped && previousOnScreen && !wholeFrames_) && !ramped;
  presented_.fetch_add(1);
}

void SdlVideo::MarkChangedRows() {
  changed_.resize(shown_.rows.size());
  for (std::size_t r = 0; r < changed_.size(); ++r) changed_[r] = shown_.rows[r] != drawnRows_[r];
}

}  // namespace platform
