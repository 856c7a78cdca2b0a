#include "components/Wmv.h"

#include <algorithm>

#include "components/SpriteCopy.h"
#include "framework/TCanvas.h"

namespace components {

using namespace platform;
using framework::Rect;
using framework::TBitmap;

TWMV::TWMV(TComponent* AOwner) : TWSprite(AOwner) {}

// Surfaces the engine did not close are released rather than leaked.
TWMV::~TWMV() { CloseDXMovie(); }


IDirectDrawSurface* TWMV::GetFrameSurface(int i) {
  if (i < 0 || i >= kMaxFrames) return nullptr;
  if (i >= FFramesMade && i < FFrameCount) CutFramesTo(i);
  return FSurfaces[static_cast<std::size_t>(i)];
}

void TWMV::CutFramesTo(int i) {
  if (!FScratch) FScratch = std::make_unique<TBitmap>(Picture()->Width(), FCutHeight);
  for (; FFramesMade <= i; ++FFramesMade) Create1Surface(FFramesMade, FFrameWidth, FFrameHeight);
  if (FFramesMade >= FFrameCount) return DoneCutting();
  // The picture's data is let go while frames wait: the decoder reads on from
  // the same bytes, whose pages come back as they are needed.
  if (FDibFromPicture) Picture()->Dormant();
}

void TWMV::DoneCutting() {
  FScratch.reset();
  FRows.reset();
  // The picture's data was read again for the cutting; it is not needed until the next.
  if (FDibFromPicture) Picture()->Dormant();
}

void TWMV::ReleaseSlot(int i) {
  IDirectDrawSurface*& slot = FSurfaces[static_cast<std::size_t>(i)];
  if (slot) slot->Release();
  slot = nullptr;
}

void TWMV::SetFDibBitmap(const TBitmap* b) {
  if (!b) return;
  Repaint();
  FDibBitmap = *b;
  FDibLoaded = true;
  FDibFromPicture = false;
}

void TWMV::SetFDibBitmap(TBitmap&& b) {
  if (b.Empty()) return;
  Repaint();
  FDibBitmap = std::move(b);
  FDibLoaded = true;
  FDibFromPicture = false;
}

void TWMV::SetDibFromPicture() {
  if (!Picture()->OpenRows()) return SetFDibBitmap(&Picture()->Bitmap());
  Repaint();
  FDibBitmap = TBitmap();
  FDibLoaded = true;
  FDibFromPicture = true;
}

void TWMV::SetYOffsetFrame(int v) {
  FOriginalHeight = v;
  TWss* e = Engine();
  if (!FStretching || !e) return;
  FStretchWidth = e->DesignToScreenX(Picture()->Width());
  FStretchHeight = e->DesignToScreenY(v);
}

const TBitmap& TWMV::SourceBitmap() const { return FFromDib ? FDibBitmap : Picture()->Bitmap(); }

void TWMV::CreateDXMovie() {
  if (!TakeEngineSurfaces()) return;

  // Frames of an earlier creation are released, not leaked.
  CloseDXMovie();
  FFrameCount = 0;
  if (FOriginalHeight <= 0) return Fail("Not defined OriginalHeight");
  const int count = Picture()->Height() / FOriginalHeight;
  if (count > kMaxFrames) return Fail("TOO match sprites");
  FFrameCount = count;
  FFrameWidth = FStretching ? FStretchWidth : Picture()->Width();
  FFrameHeight = FStretching ? FStretchHeight : FOriginalHeight;
  FIsJpeg = Picture()->IsJpeg();
  if (FIsJpeg && !FDibLoaded) return Fail("not loaded DIB BMP");
  FFromDib = FIsJpeg;
  FCutHeight = FOriginalHeight;

  // Frames cut from the picture's rows wait until they are first drawn: made
  // here, the water's 32 frames (28 MB) would hold back the first picture by
  // their decoding and their pages; drawn in turn, one is cut per frame.
  FFramesMade = 0;
  if (!(FFromDib && FDibFromPicture)) CutFramesTo(FFrameCount - 1);
}

void TWMV::ReadFrameRows(int i, TBitmap& scratch) {
  const int first = i * FCutHeight;
  if (FRows && FRows->NextRow() > first) FRows.reset();
  if (!FRows) FRows = Picture()->OpenRows();
  std::uint32_t* out = scratch.Pixels();
  const int width = scratch.Width();
  int got = 0;
  if (FRows && FRows->Width() == width) {
    while (FRows->NextRow() < first && FRows->Read(out, 1)) {
    }
    const int count = std::clamp(FRows->Height() - first, 0, FCutHeight);
    if (FRows->NextRow() == first && FRows->Read(out, count)) got = count;
  }
  const std::size_t read = static_cast<std::size_t>(got) * width;
  for (std::size_t k = 0; k < read; ++k) out[k] &= 0x00FFFFFFu;
  // Rows past the picture's end are black, as with a short DibBitmap.
  std::fill(out + read, out + static_cast<std::size_t>(width) * scratch.Height(), 0u);
}

void TWMV::PaintFrame(int i, HDC dc, int w, int h, TBitmap& scratch) {
  const int pw = Picture()->Width();
  if (FFromDib && FDibFromPicture) {
    ReadFrameRows(i, scratch);
  } else {
    const TBitmap& source = SourceBitmap();
    // A DibBitmap smaller than the picture would leave the previous frame's
    // pixels in the reused scratch bitmap.
    if (source.Width() < pw || source.Height() < (i + 1) * FCutHeight)
      std::fill(scratch.Pixels(), scratch.Pixels() + static_cast<std::size_t>(scratch.Width()) * scratch.Height(), 0u);
    // Rows i*OriginalHeight .. (i+1)*OriginalHeight of the strip, full width.
    scratch.Canvas()->CopyRect(Rect(0, 0, pw, FCutHeight), *source.Canvas(),
                               Rect(0, i * FCutHeight, pw, (i + 1) * FCutHeight));
  }
  framework::TCanvas target;
  target.SetHandle(dc);
  target.StretchDraw(Rect(0, 0, w, h), scratch);
}

void TWMV::Create1Surface(int i, int w, int h) {
  if (i < 0 || i >= kMaxFrames) return;
  ReleaseSlot(i);
  DDSURFACEDESC desc = OffscreenSurfaceDesc(w, h);
  IDirectDrawSurface* surface = nullptr;
  if (!FDD) {
    TWss* e = Engine();
    FDD = e ? e->FDD.load() : nullptr;
    if (!FDD) return Fail("FDD==NULL");
  }
  FLastResult = FDD->CreateSurface(&desc, &surface, nullptr);
  if (FLastResult != DD_OK) {
    if (surface) surface->Release();
    return Fail("Error CreateSurfaceMOV");
  }
  FSurfaces[static_cast<std::size_t>(i)] = surface;
  HDC dc = nullptr;
  FLastResult = surface->GetDC(&dc);
  if (FLastResult != DD_OK) {
    ReleaseSlot(i);
    return Fail("Error FpSurface->GetDC (MOV)");
  }
  if (FScratch) {
    PaintFrame(i, dc, w, h, *FScratch);
  } else {
    // Called on its own: cut as the frames of a creation would be.
    if (FCutHeight <= 0) {
      FCutHeight = FOriginalHeight;
      FFromDib = Picture()->IsJpeg() && FDibLoaded;
    }
    TBitmap scratch(Picture()->Width(), FCutHeight);
    PaintFrame(i, dc, w, h, scratch);
    FRows.reset();
  }
  surface->ReleaseDC(dc);
}

void TWMV::SetTransparency(bool on) {
  if (FFrameCount == 0) return;
  if (!on) {
    FBltFlags = DDBLTFAST_NOCOLORKEY;
    FTransparency = false;
    return;
  }
  FBltFlags = DDBLTFAST_SRCCOLORKEY;
  // The key is read from each frame's pixels, so every frame is cut now.
  for (int i = 0; i < FFrameCount; ++i) DDSetColorKey(GetFrameSurface(i), CLR_INVALID, i);
  FTransparency = true;
}

void TWMV::DDSetColorKey(IDirectDrawSurface* surface, COLORREF colour, int i) {
  if (!surface) return;
  const DWORD match = DDColorMatch(surface, colour);
  DDCOLORKEY key;
  key.dwColorSpaceLowValue = match;
  key.dwColorSpaceHighValue = match;
  FLastResult = surface->SetColorKey(DDCKEY_SRCBLT, &key);
  if (FLastResult != DD_OK) {
    if (i >= 0 && i < kMaxFrames && FSurfaces[static_cast<std::size_t>(i)] == surface)
      ReleaseSlot(i);
    Fail("Error SetColorKey (ANI)");
  }
}

DWORD TWMV::DDColorMatch(IDirectDrawSurface* surface, COLORREF colour) {
  COLORREF saved = 0;
  bool painted = false;
  HDC dc = nullptr;
  if (colour != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
    saved = dc->GetPixel(0, 0);
    dc->SetPixel(0, 0, colour);
    surface->ReleaseDC(dc);
    painted = true;
  }
  DDSURFACEDESC desc;
  HRESULT hr;
  do {
    hr = surface->Lock(nullptr, &desc, 0, nullptr);
  } while (hr == DDERR_WASSTILLDRAWING);
  DWORD value = 0xFFFFFFFF;
  if (hr == DD_OK) {
    value = *static_cast<const DWORD*>(desc.lpSurface);
    const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    if (bits > 0 && bits < 32) value &= (DWORD{1} << bits) - 1;
    surface->Unlock(nullptr);
  }
  if (painted && surface->GetDC(&dc) == DD_OK) {
    dc->SetPixel(0, 0, saved);
    surface->ReleaseDC(dc);
  }
  return value;
}

void TWMV::DrawMovie() {
  NotifyDraw(FNumberFrame);
  TWss* e = Engine();
  IDirectDrawSurface* prim = e ? e->FDDPRIM.load() : nullptr;
  if (prim && prim->IsLost() != DD_OK) return Fail("Lost surface");
  SrcRect.left = 0;
  SrcRect.top = 0;
  SrcRect.right = FFrameWidth;
  SrcRect.bottom = FFrameHeight;
  DrawImageFunc();
}

void TWMV::DrawImageFunc() {
  IDirectDrawSurface* frame = GetFrameSurface(FNumberFrame);
  if (!frame) return Fail("eFpSurface==NULL");
  CopyToBackSurface(frame, "MOV");
}

void TWMV::RestoreSurfaces() {
  RestoreFrames();
  DoneCutting();
}

void TWMV::RestoreFrames() {
  for (int i = 0; i < FFrameCount && i < kMaxFrames; ++i) {
    IDirectDrawSurface* surface = FSurfaces[static_cast<std::size_t>(i)];
    if (!surface) continue;  // its creation failed, or it was dropped
    FLastResult = surface->Restore();
    if (FLastResult != DD_OK) return Fail("Can't restore surface TWMV");
    HDC dc = nullptr;
    FLastResult = surface->GetDC(&dc);
    if (FLastResult != DD_OK) {
      ReleaseSlot(i);
      Fail("Error FpSurface->GetDC (RestoreSurfaces)");
      continue;
    }
    TBitmap scratch(Picture()->Width(), FCutHeight);
    PaintFrame(i, dc, FFrameWidth, FFrameHeight, scratch);
    surface->ReleaseDC(dc);
  }
}

void TWMV::CloseDXMovie() {
  for (int i = 0; i < kMaxFrames; ++i) ReleaseSlot(i);
  // Closed frames stay empty until the next creation: the display they would be made on may be gone.
  FFramesMade = kMaxFrames;
  FScratch.reset();
  FRows.reset();
}

}  // namespace components
