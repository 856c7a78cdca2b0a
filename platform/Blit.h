// Pixel copies between 32-bit XRGB buffers (pitches in pixels). The keyed copy
// is written as a select so the compiler vectorises it.
#pragma once

#include <cstdint>

namespace platform {

void FillRect(std::uint32_t* dst, int dstPitch, int x, int y, int w, int h, std::uint32_t color);
void CopyPlain(std::uint32_t* dst, int dstPitch, const std::uint32_t* src, int srcPitch, int w, int h);
// Skips source pixels whose colour (low 24 bits) lies in [low, high].
void CopyKeyed(std::uint32_t* dst, int dstPitch, const std::uint32_t* src, int srcPitch, int w, int h,
               std::uint32_t low, std::uint32_t high);
// Whether a row holds a pixel that CopyKeyed would skip.
bool HoldsKey(const std::uint32_t* row, int w, std::uint32_t low, std::uint32_t high);
// Nearest-neighbour stretch of a source rectangle into a destination rectangle.
void StretchCopy(std::uint32_t* dst, int dstPitch, int dx, int dy, int dw, int dh, const std::uint32_t* src,
                 int srcPitch, int sx, int sy, int sw, int sh, bool keyed, std::uint32_t low, std::uint32_t high);

}  // namespace platform
