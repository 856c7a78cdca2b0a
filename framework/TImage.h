// A control that holds a picture. Its bounds play no part in drawing; the
// sprites built on it draw their picture onto surfaces of their own.
#pragma once

#include "framework/TControl.h"
#include "framework/TPicture.h"

namespace framework {

class TImage : public TControl {
 public:
  explicit TImage(TComponent* AOwner) : TControl(AOwner) {}
  std::string ClassName() const override { return "TImage"; }

  TPicture* Picture() { return &FPicture; }
  const TPicture* Picture() const { return &FPicture; }
  // Nothing is shown on a form here; kept so callers read as they would.
  void Repaint() {}

 private:
  TPicture FPicture;
};

}  // namespace framework
