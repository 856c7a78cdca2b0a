#include "components/Wim.h"

#include "components/SpriteCopy.h"
#include "framework/TCanvas.h"

namespace components {

using namespace platform;

TWIM::TWIM(TComponent* AOwner) : TWSprite(AOwner) {}

// The engine normally closes the surface first; one still held is released
// here so a sprite destroyed on its own does not leak it.
TWIM::~TWIM() { ReleaseSurface(); }


void TWIM::ReleaseSurface() {
  if (FpSurface) FpSurface->Release();
  FpSurface = nullptr;
}

void TWIM::SetOriginalWidth(int v) {
  FOriginalWidth = v;
  TWss* e = Engine();
  FStretchWidth = e ? e->DesignToScreenX(v) : v;
}

void TWIM::SetOriginalHeight(int v) {
  FOriginalHeight = v;
  TWss* e = Engine();
  FStretchHeight = e ? e->DesignToScreenY(v) : v;
}

void TWIM::PaintPicture(HDC dc) {
  if (FStretching)
    Picture()->StretchDraw(*dc, framework::Rect(0, 0, FStretchWidth, FStretchHeight));
  else
    Picture()->Draw(*dc);
}

void TWIM::CreateDXImage() {
  if (!TakeEngineSurfaces()) return;

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
  NotifyDraw(-1);
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
  CopyToBackSurface(FpSurface, "BMP");
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
