#include "components/WSprite.h"

#include <memory>

#include "components/SpriteCopy.h"
#include "platform/ProcessWide.h"

namespace components {

namespace {
platform::ProcessWide<std::shared_ptr<const TWSprite::DrawObserver>> gDrawObserver;
}  // namespace

void TWSprite::SetDrawObserver(DrawObserver observer) {
  gDrawObserver.Set(observer ? std::make_shared<const DrawObserver>(std::move(observer)) : nullptr);
}

void TWSprite::NotifyDraw(int frame) const {
  if (auto observer = gDrawObserver.Get()) (*observer)(*this, frame);
}

void TWSprite::SetShowX(int v) {
  TWss* e = Engine();
  FShowX = FStretching && e ? e->DesignToScreenX(v) : v;
}

void TWSprite::SetShowY(int v) {
  TWss* e = Engine();
  FShowY = FStretching && e ? e->DesignToScreenY(v) : v;
}

bool TWSprite::TakeEngineSurfaces() {
  TWss* e = Engine();
  FDD = e ? e->FDD.load() : nullptr;
  FDDBACK = e ? e->FDDBACK.load() : nullptr;
  FDDPRIM = e ? e->FDDPRIM.load() : nullptr;
  if (!FDD) {
    Fail("FDD==NULL");
    return false;
  }
  if (!FDDBACK) {
    Fail("FDDBACK==NULL");
    return false;
  }
  if (!FDDPRIM) {
    Fail("FDDPRIM==NULL");
    return false;
  }
  return true;
}

void TWSprite::CopyToBackSurface(platform::IDirectDrawSurface* source, const char* kind) {
  using namespace platform;
  TWss* e = Engine();
  IDirectDrawSurface* back = e ? e->FDDBACK.load() : nullptr;
  if (!back) return Fail("eFDDBACK==NULL");
  const auto copy = ClipSpriteCopy(FShowX, FShowY, SrcRect, e->Width(), e->Height());
  if (!copy) return;
  do {
    FLastResult =
        back->BltFast(static_cast<DWORD>(copy->x), static_cast<DWORD>(copy->y), source, &copy->source, FBltFlags);
  } while (FLastResult == DDERR_WASSTILLDRAWING);
  if (FLastResult == DDERR_SURFACELOST) return Fail("Lost surface");
  if (FLastResult != DD_OK) Fail(std::string("Error FDDBACK->BltFast (") + kind + ") err #" + BltErrorName(FLastResult));
}

}  // namespace components
