// Scaling by the book, for comparing with what the presenter shows: bilinear
// with pixel centres aligned and edges clamped, and nearest neighbour.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace testing_support {

inline int Channel(std::uint32_t p, int c) { return static_cast<int>((p >> (8 * c)) & 0xFF); }

// Output pixel (x, y) of a source of sw x sh pixels scaled to outW x outH.
inline std::uint32_t BilinearSample(const std::uint32_t* src, int sw, int sh, int outW, int outH, int x, int y) {
  auto coordinate = [](int i, int in, int out) {
    const double s = (i + 0.5) * in / out - 0.5;
    return std::clamp(s, 0.0, static_cast<double>(in - 1));
  };
  const double sx = coordinate(x, sw, outW), sy = coordinate(y, sh, outH);
  const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
  const int x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
  const double fx = sx - x0, fy = sy - y0;
  auto at = [&](int px, int py) { return src[static_cast<std::size_t>(py) * sw + px]; };
  std::uint32_t out = 0;
  for (int c = 0; c < 3; ++c) {
    const double top = Channel(at(x0, y0), c) * (1 - fx) + Channel(at(x1, y0), c) * fx;
    const double bottom = Channel(at(x0, y1), c) * (1 - fx) + Channel(at(x1, y1), c) * fx;
    out |= static_cast<std::uint32_t>(std::lround(top * (1 - fy) + bottom * fy)) << (8 * c);
  }
  return out;
}

// The source pixel whose area holds the output pixel's centre.
inline std::uint32_t NearestSample(const std::uint32_t* src, int sw, int sh, int outW, int outH, int x, int y) {
  const int sx = std::min(static_cast<int>((x + 0.5) * sw / outW), sw - 1);
  const int sy = std::min(static_cast<int>((y + 0.5) * sh / outH), sh - 1);
  return src[static_cast<std::size_t>(sy) * sw + sx] & 0xFFFFFF;
}

}  // namespace testing_support
