#include "platform/DDraw.h"

#include <algorithm>
#include <cstring>

#include "platform/Blit.h"
#include "platform/DisplayDriver.h"
#include "platform/DrawingContext.h"

namespace platform {

const GUID IID_IDirectDrawGammaControl = {0x69C11C3E, 0xB46B, 0x11D1, {0xAD, 0x7A, 0x00, 0xC0, 0x4F, 0xC2, 0x9B, 0x4E}};

namespace {
constexpr int kMaxSurfaceSide = 16384;
// Restored surfaces hold garbage until refilled; a loud colour makes a sprite
// that forgets to refill visible instead of silently black.
constexpr std::uint32_t kRestoredGarbage = 0x00FF00FF;
}  // namespace

// What the display object and its surfaces share; it outlives the object so a
// surface released late can still tell that its display is gone.
struct DeviceState {
  std::shared_ptr<DisplayDriver> driver;
  std::atomic<bool> released{false};
  bool cooperative = false;
  bool exclusive = false;
  int modeWidth = 0, modeHeight = 0, modeBpp = 0;
  int monitor = -1;  // the monitor the object was created on; -1 = default device
};

std::string DDErrorName(HRESULT hr) {
  struct Name {
    HRESULT hr;
    const char* name;
  };
  static const Name names[] = {
      {DD_OK, "DD_OK"},
      {S_FALSE, "S_FALSE"},
      {DDERR_GENERIC, "DDERR_GENERIC"},
      {E_NOINTERFACE, "E_NOINTERFACE"},
      {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
      {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
      {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
      {DDERR_INVALIDMODE, "DDERR_INVALIDMODE"},
      {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT"},
      {DDERR_INVALIDRECT, "DDERR_INVALIDRECT"},
      {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET"},
      {DDERR_NOCOLORKEY, "DDERR_NOCOLORKEY"},
      {DDERR_NOEXCLUSIVEMODE, "DDERR_NOEXCLUSIVEMODE"},
      {DDERR_NOTFOUND, "DDERR_NOTFOUND"},
      {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
      {DDERR_SURFACELOST, "DDERR_SURFACELOST"},
      {DDERR_WASSTILLDRAWING, "DDERR_WASSTILLDRAWING"},
      {DDERR_INVALIDDIRECTDRAWGUID, "DDERR_INVALIDDIRECTDRAWGUID"},
      {DDERR_CANTCREATEDC, "DDERR_CANTCREATEDC"},
      {DDERR_NOTFLIPPABLE, "DDERR_NOTFLIPPABLE"},
      {DDERR_NOTLOCKED, "DDERR_NOTLOCKED"},
      {DDERR_NODC, "DDERR_NODC"},
      {DDERR_WRONGMODE, "DDERR_WRONGMODE"},
      {DDERR_UNSUPPORTEDMODE, "DDERR_UNSUPPORTEDMODE"},
  };
  for (const Name& n : names)
    if (n.hr == hr) return n.name;
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

// ---- reference counting ----

DWORD RefCounted::AddRef() { return refs_.fetch_add(1) + 1; }

DWORD RefCounted::Release() {
  DWORD left = refs_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

// ---- gamma control ----

IDirectDrawGammaControl::IDirectDrawGammaControl(std::shared_ptr<DeviceState> device) : device_(std::move(device)) {}

HRESULT IDirectDrawGammaControl::GetGammaRamp(DWORD, DDGAMMARAMP* ramp) {
  if (!ramp) return DDERR_INVALIDPARAMS;
  if (device_->released.load()) return DDERR_SURFACELOST;
  if (device_->driver->faults().failGetGamma) return DDERR_GENERIC;
  *ramp = device_->driver->GammaRamp();
  return DD_OK;
}

HRESULT IDirectDrawGammaControl::SetGammaRamp(DWORD, const DDGAMMARAMP* ramp) {
  if (!ramp) return DDERR_INVALIDPARAMS;
  if (device_->released.load()) return DDERR_SURFACELOST;
  if (device_->driver->faults().failSetGamma) return DDERR_GENERIC;
  device_->driver->SetGammaRamp(*ramp);
  return DD_OK;
}

// ---- surfaces ----

IDirectDrawSurface::IDirectDrawSurface(std::shared_ptr<DeviceState> device, int width, int height, DWORD caps)
    : device_(std::move(device)),
      width_(width),
      height_(height),
      caps_(caps),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u),
      restoredEpoch_(device_->driver->LostEpoch()) {}

IDirectDrawSurface::~IDirectDrawSurface() {
  if (attached_) attached_->Release();
}

std::uint32_t* IDirectDrawSurface::Pixels() {
  Settle();
  return pixels_.data();
}

void IDirectDrawSurface::Settle() {
  if (!pendingFill_) return;
  FillRect(pixels_.data(), width_, 0, 0, width_, height_, *pendingFill_);
  pendingFill_.reset();
}

void IDirectDrawSurface::SettleAround(const RECT& cover) {
  if (!pendingFill_) return;
  const std::uint32_t c = *pendingFill_;
  pendingFill_.reset();
  const int w = width_;
  FillRect(pixels_.data(), w, 0, 0, w, cover.top, c);                                  // above
  FillRect(pixels_.data(), w, 0, cover.bottom, w, height_ - cover.bottom, c);          // below
  FillRect(pixels_.data(), w, 0, cover.top, cover.left, cover.bottom - cover.top, c);  // left
  FillRect(pixels_.data(), w, cover.right, cover.top, w - cover.right, cover.bottom - cover.top, c);  // right
}

bool IDirectDrawSurface::LostNow() const {
  return device_->released.load() || restoredEpoch_.load() < device_->driver->LostEpoch();
}

HRESULT IDirectDrawSurface::IsLost() { return LostNow() ? DDERR_SURFACELOST : DD_OK; }

HRESULT IDirectDrawSurface::Restore() {
  if (device_->released.load()) return DDERR_WRONGMODE;
  const auto& driver = device_->driver;
  if (!LostNow()) return DD_OK;
  if (driver->faults().failRestore || !driver->CanRestore()) return DDERR_WRONGMODE;
  const std::uint64_t epoch = driver->LostEpoch();
  pendingFill_.reset();
  std::fill(pixels_.begin(), pixels_.end(), kRestoredGarbage);
  restoredEpoch_.store(epoch);
  if (attached_) {
    attached_->pendingFill_.reset();
    std::fill(attached_->pixels_.begin(), attached_->pixels_.end(), kRestoredGarbage);
    attached_->restoredEpoch_.store(epoch);
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface::QueryInterface(const GUID& iid, void** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (iid == IID_IDirectDrawGammaControl && (caps_ & DDSCAPS_PRIMARYSURFACE) &&
      device_->driver->GammaSupported()) {
    *out = new IDirectDrawGammaControl(device_);
    return DD_OK;
  }
  return E_NOINTERFACE;
}

HRESULT IDirectDrawSurface::Blt(const RECT* dst, IDirectDrawSurface* src, const RECT* srcRect, DWORD flags,
                                const DDBLTFX* fx) {
  if (LostNow()) return DDERR_SURFACELOST;
  RECT d = dst ? *dst : RECT{0, 0, width_, height_};
  if (d.left < 0 || d.top < 0 || d.right > width_ || d.bottom > height_ || d.left > d.right || d.top > d.bottom)
    return DDERR_INVALIDRECT;
  if (flags & DDBLT_COLORFILL) {
    if (!fx) return DDERR_INVALIDPARAMS;
    if (d.left == 0 && d.top == 0 && d.right == width_ && d.bottom == height_) {
      pendingFill_ = fx->dwFillColor;
      return DD_OK;
    }
    Settle();
    FillRect(pixels_.data(), width_, d.left, d.top, d.right - d.left, d.bottom - d.top, fx->dwFillColor);
    return DD_OK;
  }
  if (!src) return DDERR_INVALIDPARAMS;
  if (src->LostNow()) return DDERR_SURFACELOST;
  RECT s = srcRect ? *srcRect : RECT{0, 0, src->width_, src->height_};
  if (s.left < 0 || s.top < 0 || s.right > src->width_ || s.bottom > src->height_ || s.left >= s.right ||
      s.top >= s.bottom)
    return DDERR_INVALIDRECT;
  const bool keyed = (flags & DDBLT_KEYSRC) != 0;
  if (keyed && !src->hasKey_) return DDERR_NOCOLORKEY;
  src->Settle();
  keyed ? Settle() : SettleAround(d);
  StretchCopy(pixels_.data(), width_, d.left, d.top, d.right - d.left, d.bottom - d.top, src->pixels_.data(),
              src->width_, s.left, s.top, s.right - s.left, s.bottom - s.top, keyed, src->key_.dwColorSpaceLowValue,
              src->key_.dwColorSpaceHighValue);
  return DD_OK;
}

HRESULT IDirectDrawSurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, const RECT* srcRect, DWORD trans) {
  if (!src) return DDERR_INVALIDPARAMS;
  if (LostNow() || src->LostNow()) return DDERR_SURFACELOST;
  RECT s = srcRect ? *srcRect : RECT{0, 0, src->width_, src->height_};
  if (s.left < 0 || s.top < 0 || s.right > src->width_ || s.bottom > src->height_ || s.left > s.right ||
      s.top > s.bottom)
    return DDERR_INVALIDRECT;
  const long long w = s.right - s.left, h = s.bottom - s.top;
  if (static_cast<long long>(x) + w > width_ || static_cast<long long>(y) + h > height_) return DDERR_INVALIDRECT;
  const bool keyed = (trans & DDBLTFAST_SRCCOLORKEY) != 0;
  if (keyed && !src->hasKey_) return DDERR_NOCOLORKEY;
  src->Settle();
  if (keyed)
    Settle();
  else
    SettleAround(RECT{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), static_cast<std::int32_t>(x + w),
                      static_cast<std::int32_t>(y + h)});
  const std::uint32_t* from = src->pixels_.data() + static_cast<std::size_t>(s.top) * src->width_ + s.left;
  std::uint32_t* to = pixels_.data() + static_cast<std::size_t>(y) * width_ + x;
  if (keyed)
    CopyKeyed(to, width_, from, src->width_, static_cast<int>(w), static_cast<int>(h), src->key_.dwColorSpaceLowValue,
              src->key_.dwColorSpaceHighValue);
  else
    CopyPlain(to, width_, from, src->width_, static_cast<int>(w), static_cast<int>(h));
  return DD_OK;
}

HRESULT IDirectDrawSurface::Flip(IDirectDrawSurface*, DWORD) {
  if (!(caps_ & DDSCAPS_FLIP) || !attached_) return DDERR_NOTFLIPPABLE;
  if (LostNow()) return DDERR_SURFACELOST;
  attached_->Settle();
  pixels_.swap(attached_->pixels_);
  device_->driver->Present(pixels_, width_, height_);
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface** out) {
  if (!caps || !out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!(caps->dwCaps & DDSCAPS_BACKBUFFER) || !attached_) return DDERR_NOTFOUND;
  if (device_->driver->faults().failBackSurface) return DDERR_NOTFOUND;
  attached_->AddRef();
  *out = attached_;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetCaps(DDSCAPS* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  caps->dwCaps = caps_;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(width_);
  desc->dwHeight = static_cast<DWORD>(height_);
  desc->lPitch = width_ * 4;
  desc->ddsCaps.dwCaps = caps_;
  desc->ddpfPixelFormat.dwRGBBitCount = 32;
  desc->ddpfPixelFormat.dwRBitMask = 0xFF0000;
  desc->ddpfPixelFormat.dwGBitMask = 0x00FF00;
  desc->ddpfPixelFormat.dwBBitMask = 0x0000FF;
  if (hasKey_) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = key_;
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface::Lock(const RECT* rect, DDSURFACEDESC* desc, DWORD, void*) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (LostNow()) return DDERR_SURFACELOST;
  RECT r = rect ? *rect : RECT{0, 0, width_, height_};
  if (r.left < 0 || r.top < 0 || r.right > width_ || r.bottom > height_ || r.left > r.right || r.top > r.bottom)
    return DDERR_INVALIDRECT;
  if (locked_.exchange(true)) return DDERR_SURFACEBUSY;
  Settle();
  GetSurfaceDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = pixels_.data() + static_cast<std::size_t>(r.top) * width_ + r.left;
  return DD_OK;
}

HRESULT IDirectDrawSurface::Unlock(void*) { return locked_.exchange(false) ? DD_OK : DDERR_NOTLOCKED; }

HRESULT IDirectDrawSurface::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (LostNow()) return DDERR_SURFACELOST;
  if (device_->driver->faults().failGetDC) return DDERR_CANTCREATEDC;
  if (dcOut_) return DDERR_SURFACEBUSY;
  Settle();
  dc_ = std::make_unique<DrawingContext>(pixels_.data(), width_, height_, width_);
  dcOut_ = true;
  *dc = dc_.get();
  return DD_OK;
}

HRESULT IDirectDrawSurface::ReleaseDC(HDC dc) {
  if (!dcOut_ || dc != dc_.get()) return DDERR_NODC;
  dcOut_ = false;
  dc_.reset();
  return DD_OK;
}

HRESULT IDirectDrawSurface::SetColorKey(DWORD flags, const DDCOLORKEY* key) {
  if (!(flags & DDCKEY_SRCBLT)) return DDERR_UNSUPPORTED;
  if (!key) {
    hasKey_ = false;
    return DD_OK;
  }
  key_ = *key;
  hasKey_ = true;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (!(flags & DDCKEY_SRCBLT) || !key) return DDERR_INVALIDPARAMS;
  if (!hasKey_) return DDERR_NOCOLORKEY;
  *key = key_;
  return DD_OK;
}

// ---- the display object ----

IDirectDraw::IDirectDraw(std::shared_ptr<DeviceState> device) : device_(std::move(device)) {}

IDirectDraw::~IDirectDraw() {
  device_->released.store(true);
  device_->driver->Released();
}

HRESULT IDirectDraw::SetCooperativeLevel(WindowId window, DWORD flags) {
  const auto& driver = device_->driver;
  if (driver->faults().failCooperativeLevel) return DDERR_GENERIC;
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
  if (exclusive && window == 0) return DDERR_INVALIDPARAMS;
  if (!driver->BindWindow(window, exclusive, device_->monitor)) return DDERR_GENERIC;
  device_->cooperative = true;
  device_->exclusive = exclusive;
  return DD_OK;
}

HRESULT IDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bpp) {
  if (!device_->cooperative) return DDERR_NOCOOPERATIVELEVELSET;
  if (!device_->exclusive) return DDERR_NOEXCLUSIVEMODE;
  if (width == 0 || height == 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return DDERR_INVALIDMODE;
  if (!device_->driver->ModeSupported(static_cast<int>(width), static_cast<int>(height), static_cast<int>(bpp)))
    return DDERR_INVALIDMODE;
  device_->modeWidth = static_cast<int>(width);
  device_->modeHeight = static_cast<int>(height);
  device_->modeBpp = static_cast<int>(bpp);
  device_->driver->ModeChanged(device_->modeWidth, device_->modeHeight, device_->modeBpp);
  return DD_OK;
}

HRESULT IDirectDraw::RestoreDisplayMode() {
  device_->modeWidth = device_->modeHeight = device_->modeBpp = 0;
  return DD_OK;
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void*) {
  if (!desc || !out || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  const auto& faults = device_->driver->faults();
  const DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
  if (!device_->cooperative) return DDERR_NOCOOPERATIVELEVELSET;
  IDirectDrawSurface* surface = nullptr;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    if (faults.failPrimary) return DDERR_OUTOFMEMORY;
    if (device_->modeWidth == 0) return DDERR_NOEXCLUSIVEMODE;
    const bool chain = (caps & DDSCAPS_FLIP) && (desc->dwFlags & DDSD_BACKBUFFERCOUNT);
    if (chain && desc->dwBackBufferCount != 1) return DDERR_INVALIDPARAMS;
    const DWORD primaryCaps = caps | DDSCAPS_FRONTBUFFER | DDSCAPS_VIDEOMEMORY;
    surface = new IDirectDrawSurface(device_, device_->modeWidth, device_->modeHeight, primaryCaps);
    if (chain)
      surface->attached_ = new IDirectDrawSurface(device_, device_->modeWidth, device_->modeHeight,
                                                  DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                                      DDSCAPS_VIDEOMEMORY);
  } else {
    if (faults.failOffscreen) return DDERR_OUTOFMEMORY;
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > kMaxSurfaceSide ||
        desc->dwHeight > kMaxSurfaceSide)
      return DDERR_INVALIDPARAMS;
    surface = new IDirectDrawSurface(device_, static_cast<int>(desc->dwWidth), static_cast<int>(desc->dwHeight),
                                     caps ? caps : DDSCAPS_OFFSCREENPLAIN);
  }
  if (desc->dwFlags & DDSD_CKSRCBLT) surface->SetColorKey(DDCKEY_SRCBLT, &desc->ddckCKSrcBlt);
  *out = surface;
  return DD_OK;
}

HRESULT IDirectDraw::GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) {
  if (!driverCaps && !helCaps) return DDERR_INVALIDPARAMS;
  for (DDCAPS* caps : {driverCaps, helCaps}) {
    if (!caps) continue;
    if (caps->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
    caps->dwCaps = 0;
    caps->dwCaps2 = 0;
  }
  if (driverCaps && device_->driver->GammaSupported()) driverCaps->dwCaps2 |= DDCAPS2_PRIMARYGAMMA;
  return DD_OK;
}

HRESULT DirectDrawCreate(const GUID* device, IDirectDraw** out, void*) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  auto driver = GetDisplayDriver();
  if (!driver || driver->faults().failCreate) return DDERR_GENERIC;
  if (device) {
    const auto devices = driver->Devices();
    const bool known = std::any_of(devices.begin(), devices.end(),
                                   [&](const DisplayDevice& d) { return d.hasGuid && d.guid == *device; });
    if (!known) return DDERR_INVALIDDIRECTDRAWGUID;
  }
  auto state = std::make_shared<DeviceState>();
  state->monitor = driver->MonitorOf(device);
  state->driver = std::move(driver);
  *out = new IDirectDraw(std::move(state));
  return DD_OK;
}

HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) {
  if (!callback) return DDERR_INVALIDPARAMS;
  auto driver = GetDisplayDriver();
  if (!driver) return DDERR_GENERIC;
  auto devices = driver->Devices();
  if (!(flags & DDENUM_ATTACHEDSECONDARYDEVICES) && !devices.empty()) devices.resize(1);
  for (DisplayDevice& d : devices) {
    if (!callback(d.hasGuid ? &d.guid : nullptr, d.description.c_str(), d.name.c_str(), context, nullptr)) break;
  }
  return DD_OK;
}

int MonitorCount() {
  auto driver = GetDisplayDriver();
  return driver ? driver->MonitorCount() : 1;
}

}  // namespace platform
