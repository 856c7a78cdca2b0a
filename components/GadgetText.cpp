#include "components/GadgetText.h"

#include "components/Wss.h"

namespace components {

platform::HFONT CreateGadgetFont(const std::string& face, int height, platform::HDC dc, int weight) {
  using namespace platform;
  HFONT font = CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           PROOF_QUALITY, VARIABLE_PITCH, face.c_str());
  if (dc) dc->SelectObject(font);
  return font;
}

GadgetText::GadgetText(TWss* engine) {
  surface_ = engine ? engine->FDDBACK.load() : nullptr;
  if (!surface_ || surface_->GetDC(&dc_) != platform::DD_OK) {
    dc_ = nullptr;
    return;
  }
  original_ = dc_->SelectObject(nullptr);
  dc_->SelectObject(original_);
}

GadgetText::~GadgetText() {
  // The font is deleted only once the context no longer holds it.
  if (dc_) dc_->SelectObject(original_);
  platform::DeleteObject(font_);
  if (dc_) surface_->ReleaseDC(dc_);
}

void GadgetText::Adopt(platform::HFONT font) {
  // A newly made font is already selected, so an earlier one is free to go.
  if (font_ != font) platform::DeleteObject(font_);
  font_ = font;
}

int GadgetText::Width(const std::string& text) const {
  platform::SIZE size;
  return dc_ && dc_->GetTextExtentPoint32(text, &size) ? size.cx : 0;
}

}  // namespace components
