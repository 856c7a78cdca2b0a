// A small stroked capital font for the few labels painted into pictures
// (button captions, panel labels, the contact sheet). Glyphs are polylines on
// a 4 x 6 grid.
#pragma once

#include <string>

#include "ArtCore.h"

namespace art {

// Draws text with its top-left at (x, y), cap height `height` pixels.
// Returns the advance width.
float DrawText(Image& img, float x, float y, float height, const std::string& text, Rgb colour, float weight = 1.f);
float TextWidth(float height, const std::string& text);

}  // namespace art
