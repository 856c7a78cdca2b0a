// What the three gadgets share when they write over their panels: the font
// helper and a drawing context of the engine's back surface held for one draw.
#pragma once

#include <string>

#include "platform/DrawingContext.h"

namespace components {

class TWss;

// The gadgets' MyCreateFont: face, cell height and weight; width 0, upright,
// ANSI, default precisions, proof quality, variable pitch. Selected into dc;
// the caller deletes it after drawing.
platform::HFONT CreateGadgetFont(const std::string& face, int height, platform::HDC dc, int weight);

// A drawing context of the engine's back surface, or none (no engine, no back
// surface, or the surface refused one: the caller then skips its text). At the
// end it puts the context's own font back, deletes the adopted font and
// releases the context.
class GadgetText {
 public:
  explicit GadgetText(TWss* engine);
  ~GadgetText();
  GadgetText(const GadgetText&) = delete;
  GadgetText& operator=(const GadgetText&) = delete;

  explicit operator bool() const { return dc_ != nullptr; }
  platform::HDC Context() const { return dc_; }
  // Takes a font made by CreateGadgetFont (selected into this context).
  void Adopt(platform::HFONT font);
  // Width of text in the selected font; 0 when it cannot be measured.
  int Width(const std::string& text) const;

 private:
  platform::IDirectDrawSurface* surface_ = nullptr;
  platform::HDC dc_ = nullptr;
  platform::HFONT font_ = nullptr;
  platform::HFONT original_ = nullptr;
};

}  // namespace components
