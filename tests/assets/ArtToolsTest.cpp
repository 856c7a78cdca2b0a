// The generators' own guarantees: the ADPCM encoder reproduces its input, the
// palette never turns a painted pixel into the key colour, and the sprite
// finishing closes pin-holes but keeps real gaps.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ArtCore.h"
#include "Generators.h"
#include "assets/AdpcmReader.h"

namespace {

TEST(ArtTools, AdpcmEncoderReproducesItsInputAndCountsFramesExactly) {
  const int frames = 3001;  // a short last block
  std::vector<float> stereo(static_cast<std::size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / art::kMusicRate;
    stereo[2 * i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440 * t));
    stereo[2 * i + 1] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 660 * t) + 0.2 * std::sin(2 * std::numbers::pi * 95 * t));
  }
  const auto wav = art::EncodeMsAdpcmWav(stereo);
  assets_test::Wave w;
  std::string why;
  ASSERT_TRUE(assets_test::ReadAdpcmWave(wav, w, why)) << why;
  EXPECT_EQ(w.factFrames, static_cast<std::uint32_t>(frames));
  EXPECT_EQ(wav.size(), 12u + 58u + 12u + 8u + 7u * 512u);  // seven whole blocks
  ASSERT_EQ(w.samples.size(), 2u);
  for (int ch = 0; ch < 2; ++ch) {
    ASSERT_EQ(w.samples[ch].size(), static_cast<std::size_t>(frames));
    double signal = 0, noise = 0;
    for (int i = 0; i < frames; ++i) {
      double want = std::lround(stereo[2 * i + ch] * 32767.0);
      signal += want * want;
      noise += (w.samples[ch][i] - want) * (w.samples[ch][i] - want);
    }
    EXPECT_GT(10 * std::log10(signal / noise), 25.0) << "channel " << ch;
  }
}

TEST(ArtTools, KeyedPaletteNeverMakesAPaintedPixelBlack) {
  art::Image img(8, 2, {}, 0.f);
  const art::Rgb dark[] = {{0, 0, 0}, {1, 1, 1}, {0, 0, 3}, {2, 0, 0}};
  for (int x = 0; x < 4; ++x) img.at(x, 0) = dark[x], img.alpha(x, 0) = 1.f;
  for (int x = 4; x < 8; ++x) img.at(x, 0) = {200, 150, 100}, img.alpha(x, 0) = 1.f;
  img.at(0, 1) = {90, 90, 90};  // colour under a transparent pixel is ignored
  const art::Indexed pic = art::Quantize(img, 4, true, true);
  ASSERT_FALSE(pic.palette.empty());
  EXPECT_EQ(pic.palette[0], 0u);
  for (int x = 0; x < 8; ++x) {
    const auto k = pic.idx[static_cast<std::size_t>(x)];
    EXPECT_NE(k, 0) << x;
    EXPECT_NE(pic.palette[k], 0u) << x;
  }
  for (int x = 0; x < 8; ++x) EXPECT_EQ(pic.idx[8 + static_cast<std::size_t>(x)], 0) << "transparent " << x;
}

TEST(ArtTools, SpriteFinishingClosesPinholesButKeepsGaps) {
  art::Image img(40, 40, {}, 0.f);
  for (int y = 5; y < 35; ++y)
    for (int x = 5; x < 35; ++x) img.at(x, y) = {60, 90, 60}, img.alpha(x, y) = 1.f;
  img.alpha(10, 10) = 0.f;  // a pin-hole between dabs
  for (int y = 20; y < 30; ++y)
    for (int x = 20; x < 30; ++x) img.alpha(x, y) = 0.f;  // a real gap of sky
  const art::Indexed pic = art::KeyedSprite(img, false);
  auto at = [&pic](int x, int y) { return pic.idx[static_cast<std::size_t>(y) * pic.w + x]; };
  EXPECT_NE(at(10, 10), 0);
  EXPECT_EQ(at(25, 25), 0);
  EXPECT_EQ(at(0, 0), 0);
  EXPECT_NE(at(6, 6), 0);
}

}  // namespace
