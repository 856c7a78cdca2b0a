#include "components/Wim.h"

#include "components/SpriteCopy.h"
#include "framework/TCanvas.h"

namespace components {

using namespace platform;

TWIM::TWIM(TComponent* AOwner) : framework::TImage(AOwner) {}

// The engine normally closes the surface first; one still held is released
// here so a sprite destroyed on its own does not leak it.
TWIM::~TWIM() { ReleaseSurface(); }

TWss* TWIM::Engine() const { return dynamic_cast<TWss*>(Parent()); }

std::string TWIM::GetErrorResult() const {
  std::lock_guard lock(FErrorMutex);
  return FErrorResult;
}

void TWIM::SetErrorResult(const std::string& text) {
  std::lock_guard lock(FErrorMutex);
  FErrorResult = text;
}

void TWIM::Fail(const std::string& text) {
  SetErrorResult(text);
  if (OnError) OnError(this);
}

void TWIM::ReleaseSurface() {
  if (FpSurface) FpSurface->Release();
  FpSurface = nullptr;
}

// Without a parent engine there is no display to scale to: design space is kept.
void TWIM::SetShowX(int v) {
  TWss* e = Engine();
  FShowX = FStretching && e ? v * e->GetWidthScreen() / 1024 : v;
}

void TWIM::SetShowY(int v) {
  TWss* e = Engine();
  FShowY = FStretching && e ? v * e->GetHeightScreen() / 768 : v;
}

void TWIM::SetOriginalWidth(int v) {
  FOriginalWidth = v;
  TWss* e = Engine();
  FStretchWidth = e ? v * e->GetWidthScreen() / 1024 : v;
}

void TWIM::SetOriginalHeight(int v) {
  FOriginalHeight = v;
  TWss* e = Engine();
  FStretchHeight = e ? v * e->GetHeightScreen() / 768 : v;
}

void TWIM::PaintPicture(HDC dc) {
  if (FStretching)
    Picture()->StretchDraw(*dc, framework::Rect(0, 0, FStretchWidth, FStretchHeight));
  else
    Picture()->Draw(*dc);
}

void TWIM::CreateDXImage() {
  TWss* e = Engine();
  FDD = e ? e->FDD.load() : nullptr;
  FDDBACK = e ? e->FDDBACK.load() : nullptr;
  FDDPRIM = e ? e->FDDPRIM.load() : nullptr;
  if (!FDD) return Fail("FDD==NULL");
  if (!FDDBACK) return Fail("FDDBACK==NULL");
  if (!FDDPRIM) return Fail("FDDPRIM==NULL");

  // A second creation replaces the first surface instead of leaking it.
  ReleaseSurface();
  const int w = FStretching ? FStretchWidth : Picture()->Width();
  const int h = FStretching ? FStretchHeight : Picture()->Height();
  DDSURFACEDESC desc = OffscreenSurfaceDesc(w, h);
  IDirectDrawSurface* surface = nullptr;
  FLastResult = FDD->CreateSurface(&desc, &surface, nullptr);
  if (FLastResult != DD_OK) {
    if (surface) surface->Release();
    return Fail("eCreateSurfaceWIM");
  }
  FpSurface = surface;
  HDC dc = nullptr;
  FLastResult = FpSurface->GetDC(&dc);
  if (FLastResult != DD_OK) {
    ReleaseSurface();
    return Fail("eFpSurface->GetDC (WIM)");
  }
  PaintPicture(dc);
  FpSurface->ReleaseDC(dc);
}

void TWIM::SetTransparency(bool on) {
  if (!FpSurface) return Fail("eFpSurface==NULL");
  TWss* e = Engine();
  if (!e || !e->FDDBACK.load()) return Fail("eFDDBACK==NULL");
  if (!on) {
    FBltFlags = DDBLTFAST_NOCOLORKEY;
    FTransparency = false;
    return;
  }
  FBltFlags = DDBLTFAST_SRCCOLORKEY;
  DDCOLORKEY key;
  key.dwColorSpaceLowValue = 0;
  key.dwColorSpaceHighValue = 0;
  FLastResult = FpSurface->SetColorKey(DDCKEY_SRCBLT, &key);
  FTransparency = true;
  if (FLastResult != DD_OK) {
    ReleaseSurface();
    Fail("eSetColorKey (WIM)");
  }
}

void TWIM::DrawImage() {
  TWss* e = Engine();
  IDirectDrawSurface* prim = e ? e->FDDPRIM.load() : nullptr;
  if (prim && prim->IsLost() != DD_OK) return Fail("Lost surface");
  SrcRect.left = 0;
  SrcRect.top = 0;
  SrcRect.right = FStretching ? FStretchWidth : Picture()->Width();
  SrcRect.bottom = FStretching ? FStretchHeight : Picture()->Height();
  DrawImageFunc();
}

void TWIM::DrawImageFunc() {
  if (!FpSurface) return Fail("eFpSurface==NULL");
  TWss* e = Engine();
  IDirectDrawSurface* back = e ? e->FDDBACK.load() : nullptr;
  if (!back) return Fail("eFDDBACK==NULL");
  const auto copy = ClipSpriteCopy(FShowX, FShowY, SrcRect, e->Width(), e->Height());
  if (!copy) return;
  do {
    FLastResult = back->BltFast(static_cast<DWORD>(copy->x), static_cast<DWORD>(copy->y), FpSurface, &copy->source,
                                FBltFlags);
  } while (FLastResult == DDERR_WASSTILLDRAWING);
  if (FLastResult == DDERR_SURFACELOST) return Fail("Lost surface");
  if (FLastResult != DD_OK) Fail("Error FDDBACK->BltFast (BMP) err #" + BltErrorName(FLastResult));
}

void TWIM::RestoreSurface() {
  if (!FpSurface) return;  // nothing was made (or it was dropped after a failure)
  FLastResult = FpSurface->Restore();
  if (FLastResult != DD_OK) return Fail("Can't restore surface TWIM");
  HDC dc = nullptr;
  FLastResult = FpSurface->GetDC(&dc);
  if (FLastResult != DD_OK) {
    ReleaseSurface();
    return Fail("eFpSurface->GetDC (BMP)");
  }
  PaintPicture(dc);
  FpSurface->ReleaseDC(dc);
}

void TWIM::CloseDXImage() { ReleaseSurface(); }

}  // namespace components
