// Visual controls: a parent, child controls and bounds.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/TComponent.h"

namespace framework {

using TColor = std::uint32_t;  // 0x00BBGGRR
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0xF0F0F0;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  TControl* Parent() const { return FParent; }
  void SetParent(TControl* parent);
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible) { FVisible = visible; }
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  TColor Color() const { return FColor; }
  virtual void SetColor(TColor color) { FColor = color; }

  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled) { FEnabled = enabled; }

 protected:
  bool FEnabled = true;

 private:
  TControl* FParent = nullptr;
  std::vector<TControl*> FControls;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FVisible = true;
  TColor FColor = clBtnFace;
};

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* AOwner) : TControl(AOwner) {}
  std::string ClassName() const override { return "TPanel"; }
};

}  // namespace framework
