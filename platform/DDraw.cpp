#include "platform/DDraw.h"

#include <algorithm>
#include <cstring>

#include "platform/Allocator.h"
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
constexpr std::size_t kMaxPending = 64;
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
  // Surfaces holding recorded copies, so that a source about to change can
  // have them drawn first.
  std::mutex pendingMutex;
  std::vector<IDirectDrawSurface*> pending;
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

namespace {

// Row signatures: a row's signature is its drawing folded op by op, from a
// cover of the whole surface or from a value that stands for nothing known.
std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

std::uint64_t Pair(std::int64_t a, std::int64_t b) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) | static_cast<std::uint32_t>(b);
}

std::atomic<std::uint64_t> gNextUnique{1};
// Never equal to any other signature: Mix is one-to-one in v for a fixed h.
std::uint64_t UnknownRow() { return Mix(0x5EED, gNextUnique.fetch_add(1)); }

}  // namespace

IDirectDrawSurface::IDirectDrawSurface(std::shared_ptr<DeviceState> device, int width, int height, DWORD caps)
    : device_(std::move(device)),
      width_(width),
      height_(height),
      caps_(caps),
      serial_(gNextUnique.fetch_add(1)),
      restoredEpoch_(device_->driver->LostEpoch()) {
  AssignBacked(buffer_.pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  buffer_.rows.assign(static_cast<std::size_t>(height), UnknownRow());
}

IDirectDrawSurface::~IDirectDrawSurface() {
  Changing();
  DropPending();
  if (attached_) attached_->Release();
}

std::uint32_t* IDirectDrawSurface::Pixels() {
  Settle();
  Changing();
  exposed_ = true;
  MarkUnknown(0, height_);
  return buffer_.pixels.data();
}

void IDirectDrawSurface::MarkUnknown(int top, int bottom) {
  std::fill(buffer_.rows.begin() + std::clamp(top, 0, height_), buffer_.rows.begin() + std::clamp(bottom, 0, height_),
            UnknownRow());
}

void IDirectDrawSurface::Changing() {
  if (readers_.load() > 0) {
    std::vector<IDirectDrawSurface*> readers;
    {
      std::lock_guard<std::mutex> lock(device_->pendingMutex);
      for (IDirectDrawSurface* p : device_->pending)
        if (p != this && std::any_of(p->pending_.begin(), p->pending_.end(),
                                     [&](const DrawOp& op) { return op.src == this; }))
          readers.push_back(p);
    }
    for (IDirectDrawSurface* p : readers) p->Settle();
  }
  ++version_;
}

void IDirectDrawSurface::DropPending() {
  if (pending_.empty()) return;
  for (const DrawOp& op : pending_)
    if (op.src) op.src->readers_.fetch_sub(1);
  pending_.clear();
  std::lock_guard<std::mutex> lock(device_->pendingMutex);
  auto& pending = device_->pending;
  pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
}

IDirectDrawSurface::DrawOp IDirectDrawSurface::CopyOp(int x, int y, IDirectDrawSurface* src, const RECT& from,
                                                     bool keyed) {
  DrawOp op;
  op.kind = keyed ? DrawOp::Kind::CopyKeyed : DrawOp::Kind::Copy;
  op.x = x, op.y = y, op.w = from.right - from.left, op.h = from.bottom - from.top;
  op.src = src;
  op.sx = from.left, op.sy = from.top;
  op.keyLow = src->key_.dwColorSpaceLowValue;
  op.keyHigh = src->key_.dwColorSpaceHighValue;
  return op;
}

void IDirectDrawSurface::DrawAtOnce(int top, int bottom, const std::function<void()>& draw) {
  Settle();
  Changing();
  draw();
  MarkUnknown(top, bottom);
}

void IDirectDrawSurface::Record(DrawOp op) {
  if (op.w <= 0 || op.h <= 0) return;
  if (op.src) op.src->Settle();
  if (PixelsOut() || op.src == this || (op.src && (op.src->PixelsOut() || op.src->device_ != device_))) {
    // Whoever holds the pixels sees every drawing in order; another display's
    // surface would not tell this one before it changes.
    return DrawAtOnce(op.y, op.y + op.h, [&] { Draw(op, op.y, op.y + op.h, op.x, op.x + op.w, false); });
  }
  // Recorded ops are told apart by a bit of a 64-bit mask.
  if (pending_.size() == kMaxPending) Settle();
  Changing();
  // A keyed copy from rows without the key is a plain one (and may cover the surface).
  if (op.kind == DrawOp::Kind::CopyKeyed) {
    const std::uint8_t* keyed = op.src->KeyRows(op.keyLow, op.keyHigh) + op.sy;
    if (std::none_of(keyed, keyed + op.h, [](std::uint8_t k) { return k != 0; })) op.kind = DrawOp::Kind::Copy;
  }
  std::uint64_t sig = Mix(static_cast<std::uint64_t>(op.kind) + 1, Pair(op.x, op.y));
  sig = Mix(sig, Pair(op.w, op.h));
  sig = Mix(sig, op.src ? op.src->serial_ : 0);
  sig = Mix(sig, op.src ? op.src->version_ : 0);
  sig = Mix(sig, Pair(op.sx, op.sy));
  sig = Mix(sig, op.color);
  sig = Mix(sig, Pair(op.keyLow, op.keyHigh));
  const bool cover = op.kind != DrawOp::Kind::CopyKeyed && op.x == 0 && op.y == 0 && op.w == width_ && op.h == height_;
  if (cover) {
    // Nothing drawn before shows: start again from this one.
    DropPending();
    fromCover_ = true;
    wanted_.assign(static_cast<std::size_t>(height_), sig);
  } else {
    if (pending_.empty()) {
      fromCover_ = false;
      wanted_ = buffer_.rows;
    }
    for (int r = op.y; r < op.y + op.h; ++r) wanted_[r] = Mix(wanted_[r], sig);
  }
  if (op.src) op.src->readers_.fetch_add(1);
  pending_.push_back(op);
  if (pending_.size() == 1) {
    std::lock_guard<std::mutex> lock(device_->pendingMutex);
    device_->pending.push_back(this);
  }
}

const std::uint8_t* IDirectDrawSurface::KeyRows(std::uint32_t low, std::uint32_t high) {
  if (keyRows_.empty() || keyRowsVersion_ != version_ || keyRowsLow_ != low || keyRowsHigh_ != high) {
    keyRows_.resize(static_cast<std::size_t>(height_));
    for (int r = 0; r < height_; ++r)
      keyRows_[r] = HoldsKey(buffer_.pixels.data() + static_cast<std::size_t>(r) * width_, width_, low, high);
    keyRowsVersion_ = version_;
    keyRowsLow_ = low;
    keyRowsHigh_ = high;
  }
  return keyRows_.data();
}

void IDirectDrawSurface::Draw(const DrawOp& op, int top, int bottom, int left, int right, bool keyFree) {
  std::uint32_t* to = buffer_.pixels.data() + static_cast<std::size_t>(top) * width_ + left;
  const int w = right - left, h = bottom - top;
  if (op.kind == DrawOp::Kind::Fill) return FillRect(to, width_, 0, 0, w, h, op.color);
  const IDirectDrawSurface& src = *op.src;
  const std::uint32_t* from = src.buffer_.pixels.data() +
                              static_cast<std::size_t>(op.sy + top - op.y) * src.width_ + op.sx + (left - op.x);
  if (op.kind == DrawOp::Kind::Copy || keyFree) return CopyPlain(to, width_, from, src.width_, w, h);
  CopyKeyed(to, width_, from, src.width_, w, h, op.keyLow, op.keyHigh);
}

void IDirectDrawSurface::DrawBand(int top, int bottom, std::uint64_t touched, std::uint64_t opaque) {
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    if (!(touched >> i & 1)) continue;
    const DrawOp& op = pending_[i];
    // Columns a later opaque op hides from one side are left out.
    int left = op.x, right = op.x + op.w;
    for (std::size_t j = i + 1; j < pending_.size() && left < right; ++j) {
      if (!(opaque >> j & 1)) continue;
      const DrawOp& over = pending_[j];
      if (over.x <= left && over.x + over.w > left)
        left = std::min(right, over.x + over.w);
      else if (over.x < right && over.x + over.w >= right)
        right = std::max(left, over.x);
    }
    if (left < right) Draw(op, top, bottom, left, right, (opaque >> i & 1) != 0);
  }
}

void IDirectDrawSurface::Settle() {
  if (pending_.empty()) return;
  // Row by row, the recorded ops touching it and those that hide what lies under them.
  touched_.assign(static_cast<std::size_t>(height_), 0);
  opaque_.assign(static_cast<std::size_t>(height_), 0);
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    const DrawOp& op = pending_[i];
    const std::uint64_t bit = std::uint64_t{1} << i;
    const std::uint8_t* keyed =
        op.kind == DrawOp::Kind::CopyKeyed ? op.src->KeyRows(op.keyLow, op.keyHigh) + op.sy - op.y : nullptr;
    for (int r = op.y; r < op.y + op.h; ++r) {
      touched_[r] |= bit;
      if (!keyed || !keyed[r]) opaque_[r] |= bit;
    }
  }
  // After a cover, rows already holding what they would be drawn to are left alone.
  auto holds = [&](int r) { return fromCover_ && buffer_.rows[r] == wanted_[r]; };
  for (int r = 0; r < height_;) {
    if (holds(r)) {
      ++r;
      continue;
    }
    int end = r + 1;
    while (end < height_ && touched_[end] == touched_[r] && opaque_[end] == opaque_[r] && !holds(end)) ++end;
    DrawBand(r, end, touched_[r], opaque_[r]);
    r = end;
  }
  buffer_.rows.swap(wanted_);
  DropPending();
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
  for (IDirectDrawSurface* s : {this, attached_}) {
    if (!s) continue;
    s->DropPending();
    s->Changing();
    std::fill(s->buffer_.pixels.begin(), s->buffer_.pixels.end(), kRestoredGarbage);
    s->MarkUnknown(0, s->height_);
    s->restoredEpoch_.store(epoch);
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
  const int dw = d.right - d.left, dh = d.bottom - d.top;
  if (flags & DDBLT_COLORFILL) {
    if (!fx) return DDERR_INVALIDPARAMS;
    DrawOp op;
    op.x = d.left, op.y = d.top, op.w = dw, op.h = dh;
    op.color = fx->dwFillColor;
    Record(op);
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
  if (dw == s.right - s.left && dh == s.bottom - s.top) {
    Record(CopyOp(d.left, d.top, src, s, keyed));
    return DD_OK;
  }
  // Stretched: drawn at once.
  src->Settle();
  DrawAtOnce(d.top, d.bottom, [&] {
    StretchCopy(buffer_.pixels.data(), width_, d.left, d.top, dw, dh, src->buffer_.pixels.data(), src->width_, s.left,
                s.top, s.right - s.left, s.bottom - s.top, keyed, src->key_.dwColorSpaceLowValue,
                src->key_.dwColorSpaceHighValue);
  });
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
  Record(CopyOp(static_cast<int>(x), static_cast<int>(y), src, s, keyed));
  return DD_OK;
}

HRESULT IDirectDrawSurface::Flip(IDirectDrawSurface*, DWORD) {
  if (!(caps_ & DDSCAPS_FLIP) || !attached_) return DDERR_NOTFLIPPABLE;
  if (LostNow()) return DDERR_SURFACELOST;
  IDirectDrawSurface& back = *attached_;
  Settle();
  back.Settle();
  Changing();
  back.Changing();
  // Pixels given out stay with the buffer that moves.
  exposed_ = back.exposed_ = exposed_ || back.exposed_;
  buffer_.swap(back.buffer_);
  if (exposed_) MarkUnknown(0, height_);
  device_->driver->Present(buffer_, width_, height_);
  // A buffer handed back without its rows' signatures is known for nothing.
  if (buffer_.rows.size() != static_cast<std::size_t>(height_)) {
    buffer_.rows.resize(static_cast<std::size_t>(height_));
    MarkUnknown(0, height_);
  }
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

HRESULT IDirectDrawSurface::Lock(const RECT* rect, DDSURFACEDESC* desc, DWORD flags, void*) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (LostNow()) return DDERR_SURFACELOST;
  RECT r = rect ? *rect : RECT{0, 0, width_, height_};
  if (r.left < 0 || r.top < 0 || r.right > width_ || r.bottom > height_ || r.left > r.right || r.top > r.bottom)
    return DDERR_INVALIDRECT;
  if (locked_.exchange(true)) return DDERR_SURFACEBUSY;
  Settle();
  Changing();
  if (!(flags & DDLOCK_READONLY)) MarkUnknown(r.top, r.bottom);
  GetSurfaceDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = buffer_.pixels.data() + static_cast<std::size_t>(r.top) * width_ + r.left;
  return DD_OK;
}

HRESULT IDirectDrawSurface::Unlock(void*) {
  if (!locked_.exchange(false)) return DDERR_NOTLOCKED;
  Changing();
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (LostNow()) return DDERR_SURFACELOST;
  if (device_->driver->faults().failGetDC) return DDERR_CANTCREATEDC;
  if (dcOut_) return DDERR_SURFACEBUSY;
  Settle();
  Changing();
  dc_ = std::make_unique<DrawingContext>(buffer_.pixels.data(), width_, height_, width_);
  dcOut_ = true;
  *dc = dc_.get();
  return DD_OK;
}

HRESULT IDirectDrawSurface::ReleaseDC(HDC dc) {
  if (!dcOut_ || dc != dc_.get()) return DDERR_NODC;
  MarkUnknown(dc_->TouchedTop(), dc_->TouchedBottom());
  Changing();
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
