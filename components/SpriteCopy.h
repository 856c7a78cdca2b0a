// What the two sprites share: the clipping of a copy onto the back surface
// and the names of blit errors in their messages.
#pragma once

#include <optional>
#include <string>

#include "platform/DDraw.h"

namespace components {

struct SpriteCopy {
  platform::RECT source;  // left/top inclusive, right/bottom exclusive
  int x = 0, y = 0;       // target point on the back surface
};

// Clips a copy of src to a W x H screen at (x, y). The right-most column and
// the bottom row are never drawn. Nothing when the sprite lies off screen.
std::optional<SpriteCopy> ClipSpriteCopy(int x, int y, const platform::RECT& src, int W, int H);

// The name appended to a failed blit's message; empty for codes outside the table.
std::string BltErrorName(platform::HRESULT hr);

// The surface-description sprites use for their off-screen surfaces.
platform::DDSURFACEDESC OffscreenSurfaceDesc(int width, int height);

}  // namespace components
