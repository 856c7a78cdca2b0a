// TWIM: a still picture on screen. Its picture is drawn once into an
// off-screen surface of its own; each frame that surface is copied onto the
// engine's back surface at (ShowX, ShowY), clipped one pixel short of the
// right and bottom edges, optionally with black as the transparent colour.
// A child control of the engine TWss, from which it reads the display.
#pragma once

#include <string>

#include "components/WSprite.h"

namespace components {

class TWIM : public TWSprite {
 public:
  explicit TWIM(TComponent* AOwner);
  ~TWIM() override;
  std::string ClassName() const override { return "TWIM"; }

  // Design-space size: reads back the value last given.
  int GetOriginalWidth() const { return FOriginalWidth; }
  void SetOriginalWidth(int v);
  int GetOriginalHeight() const { return FOriginalHeight; }
  void SetOriginalHeight(int v);
  void SetTransparency(bool on);

  void CreateDXImage();
  void DrawImage();
  void DrawImageFunc();
  void RestoreSurface();
  void CloseDXImage();

  void RestoreForEngine() override { RestoreSurface(); }
  void CloseForEngine() override { CloseDXImage(); }

  // For the engine's owner and tests.
  platform::IDirectDrawSurface* GetSurface() const { return FpSurface; }
  const platform::RECT& GetSrcRect() const { return SrcRect; }

 private:
  void ReleaseSurface();
  // Draws the picture into the surface's context (stretched or at (0, 0)).
  void PaintPicture(platform::HDC dc);

  int FOriginalWidth = 100, FOriginalHeight = 100;
  platform::IDirectDrawSurface* FpSurface = nullptr;
};

}  // namespace components
