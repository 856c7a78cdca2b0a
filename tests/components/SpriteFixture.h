// An open 1024 x 768 engine on a headless display for sprite tests, and
// helpers to make pictures with a distinct value in every pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "components/Wss.h"
#include "framework/TBitmap.h"
#include "support/EngineOnForm.h"

namespace sprite_test {

// XRGB value for pixel (x, y) of a numbered picture: never black, never repeated.
inline std::uint32_t Numbered(int x, int y, int tag = 1) {
  return (static_cast<std::uint32_t>(tag) << 20) | (static_cast<std::uint32_t>(y) << 10) | static_cast<std::uint32_t>(x);
}

inline framework::TBitmap NumberedBitmap(int w, int h, int tag = 1) {
  framework::TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = Numbered(x, y, tag);
  return b;
}

inline std::vector<std::uint8_t> ReadPictureFixture(const std::string& name) {
  const char* root = std::getenv("BRISVANE_SOURCE_DIR");
  std::ifstream in(std::string(root ? root : ".") + "/tests/platform/data/pictures/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct SpriteFixture : ::testing::Test, testing_support::EngineOnForm {
  int errors = 0;  // the sprites' failures
  framework::TObject* lastSender = nullptr;

  // Opens the display as the scene does (timer-driven, frames drawn by hand here).
  void Open(int width = 1024, int height = 768) {
    ConfigureLikeTheScene(width, height);
    wss->SetEnabled(true);
    ASSERT_TRUE(wss->FDDBACK.load()) << wss->GetErrorResult();
  }
  template <class Sprite>
  Sprite* Make() {
    auto* s = new Sprite(form);
    s->SetParent(wss);
    s->OnError = [this](framework::TObject* sender) {
      ++errors;
      lastSender = sender;
    };
    return s;
  }
  platform::IDirectDrawSurface* Back() const { return wss->FDDBACK.load(); }
  std::uint32_t BackAt(int x, int y) const {
    auto* b = Back();
    return b->Pixels()[static_cast<std::size_t>(y) * b->Pitch() + x] & 0xFFFFFF;
  }
  void FillBack(std::uint32_t colour) {
    auto* b = Back();
    std::fill(b->Pixels(), b->Pixels() + static_cast<std::size_t>(b->Pitch()) * b->Height(), colour);
  }
  int LitBack() const {
    int lit = 0;
    auto* b = Back();
    for (int i = 0; i < b->Pitch() * b->Height(); ++i) lit += (b->Pixels()[i] & 0xFFFFFF) != 0;
    return lit;
  }
};

}  // namespace sprite_test
