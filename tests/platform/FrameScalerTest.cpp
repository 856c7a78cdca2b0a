#include "platform/FrameScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "support/ReferenceScale.h"

namespace {

using platform::FitFrame;
using platform::FramePlacement;
using platform::FrameScaler;
using platform::ScaleFilter;
using Level = FrameScaler::Level;

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Image Noise(int w, int h, std::uint32_t seed) {
  Image img{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h)};
  for (auto& p : img.pixels) p = (seed = seed * 1664525u + 1013904223u) >> 8;  // the top byte stays 0
  return img;
}

using testing_support::Channel;

std::uint32_t ReferenceLinear(const Image& src, int outW, int outH, int x, int y) {
  return testing_support::BilinearSample(src.pixels.data(), src.width, src.height, outW, outH, x, y);
}

std::uint32_t ReferenceNearest(const Image& src, int outW, int outH, int x, int y) {
  return testing_support::NearestSample(src.pixels.data(), src.width, src.height, outW, outH, x, y);
}

// The scaled picture alone, cut from a target of the given size.
Image Scale(const Image& src, int w, int h, ScaleFilter filter) {
  std::vector<std::uint32_t> target(static_cast<std::size_t>(w) * h, 0xDEADBEEF);
  FrameScaler scaler;
  const FramePlacement p = scaler.Draw(src.pixels.data(), src.width, src.height, target.data(), w, w, h, filter, true);
  EXPECT_EQ(p, FitFrame(src.width, src.height, w, h));
  Image out{p.width, p.height, {}};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) out.pixels.push_back(target[static_cast<std::size_t>(p.y + y) * w + p.x + x]);
  return out;
}

int MaxError(const Image& a, const Image& b) {
  int worst = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(Channel(a.pixels[i], c) - Channel(b.pixels[i], c)));
  return worst;
}

std::vector<Level> Levels() {
  std::vector<Level> levels{Level::Portable};
  if (FrameScaler::BestLevel() >= Level::Ssse3) levels.push_back(Level::Ssse3);
  if (FrameScaler::BestLevel() >= Level::Avx2) levels.push_back(Level::Avx2);
  return levels;
}

struct LevelGuard {
  ~LevelGuard() { FrameScaler::UseLevel(FrameScaler::BestLevel()); }
};

TEST(FitFrame, KeepsTheAspectAndCentres) {
  struct Case {
    int tw, th;
    FramePlacement want;
  };
  const Case cases[] = {
      {1024, 768, {0, 0, 1024, 768}},    {1920, 1080, {240, 0, 1440, 1080}}, {2560, 1440, {320, 0, 1920, 1440}},
      {3840, 2160, {480, 0, 2880, 2160}}, {1280, 1024, {0, 32, 1280, 960}},   {800, 600, {0, 0, 800, 600}},
      {1024, 1, {511, 0, 1, 1}},          {0, 768, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(FitFrame(1024, 768, c.tw, c.th), c.want) << c.tw << "x" << c.th;
  EXPECT_EQ(FitFrame(0, 768, 1920, 1080), (FramePlacement{}));
}

// Up by the factors of today's screens, by whole factors, barely, and down.
TEST(FrameScaler, LinearMatchesBilinearAtEveryVectorLevel) {
  LevelGuard guard;
  const Image src = Noise(64, 48, 3);
  const int sizes[][2] = {{90, 68}, {128, 96}, {205, 154}, {640, 480}, {65, 49}, {40, 30}, {7, 5}, {3, 200}};
  for (const auto& size : sizes) {
    FrameScaler::UseLevel(Level::Portable);
    const Image portable = Scale(src, size[0], size[1], ScaleFilter::Linear);
    Image reference{portable.width, portable.height, {}};
    for (int y = 0; y < portable.height; ++y)
      for (int x = 0; x < portable.width; ++x)
        reference.pixels.push_back(ReferenceLinear(src, portable.width, portable.height, x, y));
    EXPECT_LE(MaxError(portable, reference), 2) << size[0] << "x" << size[1];
    for (Level level : Levels()) {
      FrameScaler::UseLevel(level);
      const Image vector = Scale(src, size[0], size[1], ScaleFilter::Linear);
      EXPECT_EQ(vector.pixels, portable.pixels) << "level " << static_cast<int>(level) << " at " << size[0] << "x"
                                                << size[1];
    }
  }
}

TEST(FrameScaler, LinearKeepsFlatAreasExact) {
  LevelGuard guard;
  Image flat{50, 40, std::vector<std::uint32_t>(50 * 40, 0x00C86432)};
  for (Level level : Levels()) {
    FrameScaler::UseLevel(level);
    const Image out = Scale(flat, 141, 113, ScaleFilter::Linear);
    ASSERT_EQ(out.width, 141);
    for (std::uint32_t p : out.pixels) ASSERT_EQ(p, 0x00C86432u);
  }
}

TEST(FrameScaler, NearestShowsTheSourcePixelUnderEachCentre) {
  const Image src = Noise(64, 48, 5);
  const int sizes[][2] = {{90, 68}, {128, 96}, {40, 30}, {64, 200}};
  for (const auto& size : sizes) {
    const Image out = Scale(src, size[0], size[1], ScaleFilter::Nearest);
    for (int y = 0; y < out.height; ++y)
      for (int x = 0; x < out.width; ++x)
        ASSERT_EQ(out.At(x, y), ReferenceNearest(src, out.width, out.height, x, y)) << x << "," << y;
  }
}

TEST(FrameScaler, TheSameSizeIsACopyWhateverTheFilter) {
  const Image src = Noise(32, 24, 9);
  for (ScaleFilter filter : {ScaleFilter::Linear, ScaleFilter::Nearest}) EXPECT_EQ(Scale(src, 32, 24, filter).pixels, src.pixels);
}

TEST(FrameScaler, BarsAreBlackOnlyWhenAskedAndThePictureSitsInThePlacement) {
  const Image src = Noise(32, 24, 13);
  for (bool bars : {true, false}) {
    const int tw = 60, th = 24, pitch = 64;  // pillar-boxed: 32 wide at x 14
    std::vector<std::uint32_t> target(static_cast<std::size_t>(pitch) * th, 0x00ABCDEF);
    FrameScaler scaler;
    const FramePlacement p =
        scaler.Draw(src.pixels.data(), 32, 24, target.data(), pitch, tw, th, ScaleFilter::Linear, bars);
    ASSERT_EQ(p, (FramePlacement{14, 0, 32, 24}));
    for (int y = 0; y < th; ++y)
      for (int x = 0; x < pitch; ++x) {
        const std::uint32_t got = target[static_cast<std::size_t>(y) * pitch + x];
        if (x >= 14 && x < 46)
          ASSERT_EQ(got, src.At(x - 14, y));
        else if (x < tw && bars)
          ASSERT_EQ(got, 0u) << x << "," << y;
        else
          ASSERT_EQ(got, 0x00ABCDEFu) << "drawn outside: " << x << "," << y;  // beyond the width or no bars
      }
  }
}

TEST(FrameScaler, CoefficientsFollowAChangeOfSize) {
  const Image src = Noise(64, 48, 17);
  FrameScaler scaler;
  for (int w : {92, 128, 92}) {
    const int h = w * 3 / 4;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h);
    scaler.Draw(src.pixels.data(), 64, 48, out.data(), w, w, h, ScaleFilter::Linear, false);
    EXPECT_EQ(out, Scale(src, w, h, ScaleFilter::Linear).pixels) << w;
  }
}

}  // namespace
