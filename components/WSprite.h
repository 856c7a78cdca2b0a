// What the still and the animated sprite share: a child control of the engine
// TWss that reads the display from it, places itself in the 1024 x 768 design
// space, and reports failures the library's way (ErrorResult and OnError).
#pragma once

#include <functional>
#include <string>

#include "components/ErrorReport.h"
#include "components/Wss.h"
#include "framework/TImage.h"

namespace components {

class TWSprite : public framework::TImage, public TWssSurfaceOwner {
 public:
  explicit TWSprite(TComponent* AOwner) : framework::TImage(AOwner) {}

  TNotifyEvent OnError;
  std::string GetErrorResult() const { return FError.Text(); }
  void SetErrorResult(const std::string& text) { FError.SetText(text); }

  // With Stretching on, scaled from design space at the moment of the call;
  // without a parent engine there is no display to scale to, so the value is kept.
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
  bool GetTransparency() const { return FTransparency; }

  // Sees every draw request of every sprite in order, with the frame asked for
  // (-1 for a still picture): how a frame is traced from outside. Empty: none.
  using DrawObserver = std::function<void(const TWSprite& sprite, int frame)>;
  static void SetDrawObserver(DrawObserver observer);

  // For the engine's owner and tests.
  platform::DWORD GetBltFlags() const { return FBltFlags; }
  platform::HRESULT GetLastResult() const { return FLastResult; }

 protected:
  TWss* Engine() const { return dynamic_cast<TWss*>(Parent()); }
  void NotifyDraw(int frame) const;
  void Fail(const std::string& text) { FError.Report(text, OnError, this); }
  // Copies the engine's display pointers; false (and reported) when one is missing.
  bool TakeEngineSurfaces();
  // The clipped copy of SrcRect of source to (ShowX, ShowY) on the engine's back
  // surface: one blit; kind names the sprite in the error text ("BMP", "MOV").
  void CopyToBackSurface(platform::IDirectDrawSurface* source, const char* kind);

  int FShowX = 0, FShowY = 0;
  bool FStretching = false;
  int FStretchWidth = 100, FStretchHeight = 100;
  bool FTransparency = false;
  platform::IDirectDraw* FDD = nullptr;
  platform::IDirectDrawSurface* FDDPRIM = nullptr;
  platform::IDirectDrawSurface* FDDBACK = nullptr;
  platform::HRESULT FLastResult = 0;
  platform::RECT SrcRect;
  platform::DWORD FBltFlags = platform::DDBLTFAST_NOCOLORKEY;

 private:
  ErrorReport FError;
};

}  // namespace components
