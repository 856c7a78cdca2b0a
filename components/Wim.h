// TWIM: a still picture on screen. Its picture is drawn once into an
// off-screen surface of its own; each frame that surface is copied onto the
// engine's back surface at (ShowX, ShowY), clipped one pixel short of the
// right and bottom edges, optionally with black as the transparent colour.
// A child control of the engine TWss, from which it reads the display.
#pragma once

#include <mutex>
#include <string>

#include "components/Wss.h"
#include "framework/TImage.h"

namespace components {

class TWIM : public framework::TImage, public TWssSurfaceOwner {
 public:
  explicit TWIM(TComponent* AOwner);
  ~TWIM() override;
  std::string ClassName() const override { return "TWIM"; }

  TNotifyEvent OnError;
  std::string GetErrorResult() const;
  void SetErrorResult(const std::string& text);

  int GetShowX() const { return FShowX; }
  void SetShowX(int v);
  int GetShowY() const { return FShowY; }
  void SetShowY(int v);
  bool GetStretching() const { return FStretching; }
  void SetStretching(bool on) { FStretching = on; }
  int GetStretchWidth() const { return FStretchWidth; }
  void SetStretchWidth(int v) { FStretchWidth = v; }
  int GetStretchHeight() const { return FStretchHeight; }
  void SetStretchHeight(int v) { FStretchHeight = v; }
  // Design-space size: reads back the value last given.
  int GetOriginalWidth() const { return FOriginalWidth; }
  void SetOriginalWidth(int v);
  int GetOriginalHeight() const { return FOriginalHeight; }
  void SetOriginalHeight(int v);
  bool GetTransparency() const { return FTransparency; }
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
  platform::DWORD GetBltFlags() const { return FBltFlags; }
  const platform::RECT& GetSrcRect() const { return SrcRect; }
  platform::HRESULT GetLastResult() const { return FLastResult; }

 private:
  TWss* Engine() const;
  void Fail(const std::string& text);
  void ReleaseSurface();
  // Draws the picture into the surface's context (stretched or at (0, 0)).
  void PaintPicture(platform::HDC dc);

  int FShowX = 0, FShowY = 0;
  bool FStretching = false;
  int FStretchWidth = 100, FStretchHeight = 100;
  int FOriginalWidth = 100, FOriginalHeight = 100;
  bool FTransparency = false;

  platform::IDirectDraw* FDD = nullptr;
  platform::IDirectDrawSurface* FDDPRIM = nullptr;
  platform::IDirectDrawSurface* FDDBACK = nullptr;
  platform::IDirectDrawSurface* FpSurface = nullptr;
  platform::HRESULT FLastResult = 0;
  platform::RECT SrcRect;
  platform::DWORD FBltFlags = platform::DDBLTFAST_NOCOLORKEY;

  mutable std::mutex FErrorMutex;  // failures are recorded on the frame thread too
  std::string FErrorResult;
};

}  // namespace components
