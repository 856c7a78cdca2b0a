// The lake's picture as the engine presents it, for comparing with what a
// screen shows: the background (its sky rows no sprite reaches) scaled by the
// book, and screen grabs. Include after every other header (it brings Xlib).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/FrameScaler.h"
#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "support/ReferenceScale.h"
#include "support/XPixels.h"

namespace testing_support {

constexpr int kW = 1024, kH = 768;

inline std::vector<std::uint32_t> Background() {
  auto bytes = platform::FindResource("WIM1");
  if (!bytes) return {};
  auto picture = platform::DecodePicture(*bytes);
  if (!picture || picture->width != kW || picture->height != kH) return {};
  for (auto& p : picture->pixels) p &= 0xFFFFFF;
  return picture->pixels;
}

struct Screen {
  int width, height;
  std::vector<std::uint32_t> pixels;
};

inline Screen GrabRoot(Display* d, int screen) {
  Screen s{DisplayWidth(d, screen), DisplayHeight(d, screen), {}};
  s.pixels = Grab(d, RootWindow(d, screen), 0, 0, s.width, s.height);
  return s;
}

// Mean absolute channel difference between the screen's picture area and the
// frame scaled by the book, bilinear and nearest; the largest bilinear one too.
struct Likeness {
  double linear = 0, nearest = 0;
  int worstLinear = 0;
};

inline Likeness Compare(const Screen& s, const std::vector<std::uint32_t>& frame, const platform::FramePlacement& p, int x0,
                 int y0, int x1, int y1) {
  Likeness l;
  long long n = 0;
  for (int y = std::max(y0, p.y); y < std::min(y1, p.y + p.height); ++y)
    for (int x = std::max(x0, p.x); x < std::min(x1, p.x + p.width); ++x) {
      const std::uint32_t shown = s.pixels[static_cast<std::size_t>(y) * s.width + x];
      const std::uint32_t bl =
          testing_support::BilinearSample(frame.data(), kW, kH, p.width, p.height, x - p.x, y - p.y);
      const std::uint32_t nn =
          testing_support::NearestSample(frame.data(), kW, kH, p.width, p.height, x - p.x, y - p.y);
      for (int c = 0; c < 3; ++c) {
        const int e = std::abs(Channel(shown, c) - Channel(bl, c));
        l.linear += e;
        l.worstLinear = std::max(l.worstLinear, e);
        l.nearest += std::abs(Channel(shown, c) - Channel(nn, c));
      }
      n += 3;
    }
  if (n) {
    l.linear /= static_cast<double>(n);
    l.nearest /= static_cast<double>(n);
  }
  return l;
}

// The lake as the engine presents it, in the rows no sprite reaches: the
// background picture (its last column black: sprites stop one pixel short of the
// edge), every level through the ramp of a brightness.
constexpr int kSkyRows = 100;

inline std::vector<std::uint32_t> SkyFrame(int brightness) {
  std::vector<std::uint32_t> frame = Background();
  for (int y = 0; y < kH; ++y) frame[static_cast<std::size_t>(y) * kW + kW - 1] = 0;
  for (auto& px : frame) {
    std::uint32_t out = 0;
    for (int c = 0; c < 3; ++c) out |= static_cast<std::uint32_t>(Channel(px, c) * brightness / 256) << (8 * c);
    px = out;
  }
  return frame;
}

}  // namespace testing_support
