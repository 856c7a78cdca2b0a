// The run mode's window system and presenter on SDL: native windows, the GUI
// thread's event queue (keys as Windows virtual-key numbers and characters,
// mouse, focus), and the display's presenter. A flip on the frame thread only
// trades the finished frame into a mailbox and wakes the GUI thread, which
// presents it, so a half-drawn frame is never shown. Presenting scales the frame
// smoothly: through a texture where a GPU renders, otherwise with our own filter
// straight into the window's framebuffer, where only the rows whose signatures
// differ from the frame before's are drawn and sent again. While the display is
// exclusive, every other monitor is covered by a black window whose input counts
// as the scene's. Hosted, it draws into the window a screensaver host made
// instead, and leaves that window, the cursor and the user's input to the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DisplayDriver.h"
#include "platform/FrameScaler.h"
#include "platform/Gui.h"
#include "platform/HostWindow.h"
#include "platform/PresentChoice.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;
union SDL_Event;

namespace platform {

class SdlVideo : public Gui, public DisplayDriver {
 public:
  // Initialises SDL's video; false (with the reason) when there is no display.
  static std::shared_ptr<SdlVideo> Create(std::string* error);
  // The same for a host's X window: the first window asked for is that one.
  static std::shared_ptr<SdlVideo> CreateHosted(unsigned long window, std::string* error);
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
  void Present(FrameBuffer& frame, int width, int height) override;
  bool CanRestore() const override { return !minimised_.load(); }

  // Frames shown so far (for tests and the benchmark).
  std::uint64_t PresentedFrames() const { return presented_.load(); }
  // Every frame drawn and sent whole, unchanged rows too: the presenting floor's cost.
  void PresentWholeFrames(bool whole) { wholeFrames_ = whole; }
  // How frames are presented here ("cpu-linear", "gpu-linear", ...), decided on
  // first use from the machine's renderer and BRISVANE_SCALE / BRISVANE_PRESENT.
  std::string PresentingPath();
  // Looks at the accelerated renderer SDL would give (a hidden probe window).
  static RendererFacts ProbeRenderer();
  // The windows covering the other monitors while the display is exclusive.
  std::vector<WindowId> CoverWindows() const;
  // Hosted: the host's window covers the primary monitor (see HostWindow).
  bool HostCoversPrimaryMonitor() const;

 private:
  SdlVideo();
  struct Window {
    SDL_Window* window = nullptr;
    WindowOptions options;
    bool exclusive = false;
    bool cover = false;  // black over another monitor; its input goes to the bound window
    bool foreign = false;  // the host's: never shown, hidden, moved, sized or titled by us
    // Texture path: the window's renderer and the frame's texture.
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    // Framebuffer path: the surface whose bars are already black.
    SDL_Surface* barsDrawn = nullptr;
    int barsWidth = 0, barsHeight = 0;
  };
  bool Translate(const SDL_Event& e, GuiEvent& event);
  // The host's window has gone (destroyed, as e tells, or named by an X error
  // when e is null): a Close event for it, once.
  bool HostEnded(const SDL_Event* e, GuiEvent& event);
  void PresentPending();
  // shown_'s rows against the ones the window shows, into changed_.
  void MarkChangedRows();
  void PaintWindow(Window& w);
  Window* Find(WindowId id);
  const PresentChoice& Choice();
  void CoverOtherMonitors(int sceneDisplay);
  void Uncover();
  void DropRenderer(Window& w);
  // Events of a cover window are the bound window's, positions in its coordinates.
  void Readdress(GuiEvent& event);

  std::uint32_t wakeEvent_ = 0;
  std::uint32_t presentEvent_ = 0;
  std::map<WindowId, Window> windows_;
  std::deque<GuiEvent> pending_;  // extra events a translation produced

  // Draws the shown frame (or the window's colour): full repaints redraw the
  // bars too, frames after the first only the picture, and changed only the
  // rows that differ from the frame the window shows. True when the window
  // shows the frame afterwards.
  bool Blit(Window& w, bool full, bool changed = false);
  bool BlitFramebuffer(Window& w, bool full, bool changed);
  void BlitTexture(Window& w);
  bool ShowsFrame(Window& w);

  // The presenter's state; the mailbox is shared with the frame thread.
  WindowId bound_ = 0;
  int modeWidth_ = 0, modeHeight_ = 0;
  std::mutex mailboxMutex_;
  FrameBuffer mailbox_;
  int mailboxWidth_ = 0, mailboxHeight_ = 0;
  bool mailboxFull_ = false;
  FrameBuffer shown_;
  int shownWidth_ = 0, shownHeight_ = 0;
  // Rows are compared, by their signatures, only while the bound window still
  // shows shown_, untouched by a ramp.
  bool shownOnScreen_ = false;
  bool wholeFrames_ = false;
  std::vector<std::uint64_t> drawnRows_;
  std::vector<std::uint8_t> changed_;
  std::vector<RowRun> runs_;
  std::atomic<bool> presentQueued_{false};
  std::atomic<bool> wakeQueued_{false};
  std::atomic<bool> minimised_{false};
  std::atomic<std::uint64_t> presented_{0};

  bool choiceMade_ = false;
  RendererFacts facts_;
  PresentChoice choice_;
  FrameScaler scaler_;
  std::vector<std::uint32_t> scratch_;  // for window surfaces that are not XRGB
  // Hosted run: the host's window, handed out by the first CreateWindow.
  std::unique_ptr<HostWindow> host_;
  WindowId hostId_ = 0;
  bool hostClaimed_ = false;
  bool hostEnded_ = false;  // its end was reported
  bool cursorShown_ = true;
  bool focusMovedWithin_ = false;  // a focus change between our own windows is no deactivation
};

}  // namespace platform
