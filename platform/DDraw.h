// A DirectDraw-shaped software display. Surfaces are 32-bit XRGB buffers in
// memory; a flip hands the finished frame to the active DisplayDriver, which
// presents it (SDL window, headless memory, test hooks). The names, flags and
// result codes follow the DirectDraw ones so the engine and the sprites keep
// their exact logic and messages.
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using WindowId = std::uintptr_t;  // stands in for a window handle; 0 = none

constexpr HRESULT MakeDDHResult(int code) { return static_cast<HRESULT>(0x88760000u | static_cast<unsigned>(code)); }

constexpr HRESULT DD_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDMODE = MakeDDHResult(120);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDHResult(130);
constexpr HRESULT DDERR_INVALIDRECT = MakeDDHResult(150);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDDHResult(212);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDDHResult(225);
constexpr HRESULT DDERR_NOTFOUND = MakeDDHResult(255);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDDHResult(430);
constexpr HRESULT DDERR_SURFACELOST = MakeDDHResult(450);
constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDDHResult(540);
constexpr HRESULT DDERR_CANTCREATEDC = MakeDDHResult(581);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDHResult(582);
constexpr HRESULT DDERR_NOTLOCKED = MakeDDHResult(584);
constexpr HRESULT DDERR_UNSUPPORTEDMODE = MakeDDHResult(590);
constexpr HRESULT DDERR_NODC = MakeDDHResult(585);
constexpr HRESULT DDERR_NOCOLORKEY = MakeDDHResult(215);
constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = MakeDDHResult(561);
constexpr HRESULT DDERR_WRONGMODE = MakeDDHResult(587);

// The DDERR name of a result code ("DD_OK", "DDERR_SURFACELOST", ...).
std::string DDErrorName(HRESULT hr);
inline bool Succeeded(HRESULT hr) { return hr >= 0; }

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;

// Surface description fields and capabilities.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;

constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;

// Blits.
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr DWORD DDBLTFAST_WAIT = 0x10;
constexpr DWORD DDFLIP_WAIT = 0x1;

// Colour keys and locks.
constexpr DWORD DDCKEY_SRCBLT = 0x8;
constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x0;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;

// Capabilities and enumeration.
constexpr DWORD DDCAPS2_PRIMARYGAMMA = 0x20000;
constexpr DWORD DDENUM_ATTACHEDSECONDARYDEVICES = 0x1;

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
  friend bool operator==(const GUID&, const GUID&) = default;
};
extern const GUID IID_IDirectDrawGammaControl;  // {69C11C3E-B46B-11D1-AD7A-00C04FC29B4E}

struct RECT {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue = 0;
  DWORD dwColorSpaceHighValue = 0;
};

struct DDSCAPS {
  DWORD dwCaps = 0;
};

struct DDPIXELFORMAT {
  DWORD dwSize = sizeof(DDPIXELFORMAT);
  DWORD dwFlags = 0;
  DWORD dwRGBBitCount = 0;
  DWORD dwRBitMask = 0, dwGBitMask = 0, dwBBitMask = 0;
};

struct DDSURFACEDESC {
  DWORD dwSize = sizeof(DDSURFACEDESC);
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  std::int32_t lPitch = 0;  // bytes per row
  DWORD dwBackBufferCount = 0;
  void* lpSurface = nullptr;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

struct DDBLTFX {
  DWORD dwSize = sizeof(DDBLTFX);
  DWORD dwFillColor = 0;
};

struct DDCAPS {
  DWORD dwSize = sizeof(DDCAPS);
  DWORD dwCaps = 0;
  DWORD dwCaps2 = 0;
  DWORD dwVidMemTotal = 0;
  DWORD dwVidMemFree = 0;
};

struct DDGAMMARAMP {
  std::uint16_t red[256] = {};
  std::uint16_t green[256] = {};
  std::uint16_t blue[256] = {};
};

// A frame's pixels and, row by row, a signature of the drawing that made the
// row: rows with equal signatures hold equal pixels. Rows without a signature
// (fewer signatures than rows) are not known to equal anything.
struct FrameBuffer {
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint64_t> rows;
  void swap(FrameBuffer& other) noexcept {
    pixels.swap(other.pixels);
    rows.swap(other.rows);
  }
};

class DisplayDriver;
class DrawingContext;
using HDC = DrawingContext*;
struct DeviceState;

// Shared by the COM-like objects: reference counted, released with Release().
class RefCounted {
 public:
  DWORD AddRef();
  DWORD Release();

 protected:
  RefCounted() = default;
  virtual ~RefCounted() = default;

 private:
  std::atomic<DWORD> refs_{1};
};

class IDirectDrawSurface;

class IDirectDrawGammaControl : public RefCounted {
 public:
  HRESULT GetGammaRamp(DWORD flags, DDGAMMARAMP* ramp);
  HRESULT SetGammaRamp(DWORD flags, const DDGAMMARAMP* ramp);

 private:
  friend class IDirectDrawSurface;
  explicit IDirectDrawGammaControl(std::shared_ptr<DeviceState> device);
  std::shared_ptr<DeviceState> device_;
};

class IDirectDrawSurface : public RefCounted {
 public:
  HRESULT QueryInterface(const GUID& iid, void** out);
  HRESULT Blt(const RECT* dst, IDirectDrawSurface* src, const RECT* srcRect, DWORD flags, const DDBLTFX* fx);
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, const RECT* srcRect, DWORD trans);
  HRESULT Flip(IDirectDrawSurface* overrideSurface, DWORD flags);
  HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface** out);
  HRESULT GetCaps(DDSCAPS* caps);
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc);
  HRESULT IsLost();
  HRESULT Restore();
  HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, DWORD flags, void* event);
  HRESULT Unlock(void* rect);
  HRESULT GetDC(HDC* dc);
  HRESULT ReleaseDC(HDC dc);
  HRESULT SetColorKey(DWORD flags, const DDCOLORKEY* key);
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Row-major XRGB pixels, Pitch() pixels per row, with everything drawn so far
  // written. For tests and tools: since the caller may write into them at any
  // time, this surface is drawn on at once from then on and its rows always
  // count as changed.
  std::uint32_t* Pixels();
  int Pitch() const { return width_; }

 private:
  friend class IDirectDraw;
  // A copy or fill recorded on this surface. Copies and fills are drawn only
  // when the pixels are needed (a flip, a lock, a drawing context, a copy from
  // this surface), and after a cover of the whole surface only on the rows
  // whose drawing differs from what those rows already hold: the frame before's
  // unchanged rows cost nothing.
  struct DrawOp {
    enum class Kind : std::uint8_t { Fill, Copy, CopyKeyed };
    Kind kind = Kind::Fill;
    int x = 0, y = 0, w = 0, h = 0;  // on this surface
    IDirectDrawSurface* src = nullptr;
    int sx = 0, sy = 0;  // where the copy starts in src
    std::uint32_t color = 0, keyLow = 0, keyHigh = 0;
  };

  IDirectDrawSurface(std::shared_ptr<DeviceState> device, int width, int height, DWORD caps);
  ~IDirectDrawSurface() override;
  bool LostNow() const;
  // Pixels given out (a lock, a drawing context, Pixels()): drawing waits for nothing.
  bool PixelsOut() const { return exposed_ || locked_.load() || dcOut_; }
  // A copy of from in src to (x, y) here, with src's key when keyed.
  static DrawOp CopyOp(int x, int y, IDirectDrawSurface* src, const RECT& from, bool keyed);
  void Record(DrawOp op);
  // Drawing that cannot wait: what is recorded first, then draw, on rows
  // [top, bottom) no signature describes.
  void DrawAtOnce(int top, int bottom, const std::function<void()>& draw);
  // The part of op on rows [top, bottom) and columns [left, right); keyFree:
  // those rows of a keyed copy's source hold no key.
  void Draw(const DrawOp& op, int top, int bottom, int left, int right, bool keyFree);
  // Rows [top, bottom), which the ops in touched (bits of pending_) touch and
  // those in opaque hide what lies under them on.
  void DrawBand(int top, int bottom, std::uint64_t touched, std::uint64_t opaque);
  // Draws everything recorded.
  void Settle();
  // The pixels are about to change: surfaces with recorded copies from this
  // one draw them first, and copies recorded from now on see a new version.
  void Changing();
  // Rows [top, bottom) were drawn in a way no signature describes.
  void MarkUnknown(int top, int bottom);
  void DropPending();
  // Per row, 1 where the row holds a colour in the key range [low, high];
  // worked out once per version and key.
  const std::uint8_t* KeyRows(std::uint32_t low, std::uint32_t high);

  std::shared_ptr<DeviceState> device_;
  int width_;
  int height_;
  DWORD caps_;
  FrameBuffer buffer_;  // rows: what each row holds now
  std::vector<DrawOp> pending_;
  std::vector<std::uint64_t> wanted_;  // what each row holds once pending_ is drawn
  bool fromCover_ = false;  // pending_ starts with a cover of the whole surface
  std::vector<std::uint64_t> touched_, opaque_;  // for Settle
  const std::uint64_t serial_;
  std::uint64_t version_ = 0;
  std::atomic<int> readers_{0};  // recorded copies from this surface elsewhere
  bool exposed_ = false;
  std::vector<std::uint8_t> keyRows_;
  std::uint64_t keyRowsVersion_ = 0;
  std::uint32_t keyRowsLow_ = 0, keyRowsHigh_ = 0;
  IDirectDrawSurface* attached_ = nullptr;  // the back buffer of a flip chain, owned
  std::atomic<std::uint64_t> restoredEpoch_;
  std::atomic<bool> locked_{false};
  bool hasKey_ = false;
  DDCOLORKEY key_;
  std::unique_ptr<DrawingContext> dc_;
  bool dcOut_ = false;
};

class IDirectDraw : public RefCounted {
 public:
  HRESULT SetCooperativeLevel(WindowId window, DWORD flags);
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp);
  HRESULT RestoreDisplayMode();
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer);
  HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps);

 private:
  friend HRESULT DirectDrawCreate(const GUID* device, IDirectDraw** out, void* outer);
  explicit IDirectDraw(std::shared_ptr<DeviceState> device);
  ~IDirectDraw() override;
  std::shared_ptr<DeviceState> device_;
};

// Creates a display object on the active driver's device (nullptr = default).
HRESULT DirectDrawCreate(const GUID* device, IDirectDraw** out, void* outer);

// The device enumeration of the display library: the callback is called for the
// default device (guid null) and then for each monitor; it returns true to go on.
using LPDDENUMCALLBACKEXA = bool (*)(GUID* guid, const char* description, const char* name, void* context,
                                     void* monitor);
HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags);

// Number of monitors of the desktop (the system metric).
int MonitorCount();

}  // namespace platform
