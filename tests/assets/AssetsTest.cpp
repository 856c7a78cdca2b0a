// The embedded pictures and music: formats, sizes and frame counts the
// program relies on, and the measured seams and keys that make them look right.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "assets/AdpcmReader.h"

namespace {

using platform::DecodedPicture;
using platform::PictureKind;

DecodedPicture Decode(const char* name) {
  auto bytes = platform::FindResource(name);
  if (!bytes) {
    ADD_FAILURE() << "resource " << name << " is not embedded";
    return {};
  }
  std::string error;
  auto pic = platform::DecodePicture(*bytes, &error);
  if (!pic) {
    ADD_FAILURE() << name << " does not decode: " << error;
    return {};
  }
  return *pic;
}

std::uint32_t Rgb(const DecodedPicture& p, int x, int y) {
  return p.pixels[static_cast<std::size_t>(y) * p.width + x] & 0xFFFFFFu;
}

int Channel(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

double PixelDiff(std::uint32_t a, std::uint32_t b) {
  return (std::abs(Channel(a, 16) - Channel(b, 16)) + std::abs(Channel(a, 8) - Channel(b, 8)) +
          std::abs(Channel(a, 0) - Channel(b, 0))) / 3.0;
}

// Mean difference between row ya of picture a and row yb of picture b.
double RowDiff(const DecodedPicture& a, int ya, const DecodedPicture& b, int yb) {
  double sum = 0;
  for (int x = 0; x < a.width; ++x) sum += PixelDiff(Rgb(a, x, ya), Rgb(b, x, yb));
  return sum / a.width;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Expected {
  const char* name;
  PictureKind kind;
  int width, height, bitsPerPixel, frameRows;
};

const Expected kPictures[] = {
    {"WIM1", PictureKind::Jpeg, 1024, 768, 24, 768},
    {"WMV1", PictureKind::Jpeg, 1024, 6880, 24, 215},
    {"WIM2tree", PictureKind::Bmp, 644, 341, 8, 341},
    {"WIM2tree_n1", PictureKind::Bmp, 156, 234, 8, 234},
    {"WMV3SGsmall", PictureKind::Bmp, 38, 2904, 8, 24},
    {"WMV2btfl", PictureKind::Bmp, 40, 480, 8, 30},
    {"WMV3Weather", PictureKind::Bmp, 52, 2548, 8, 52},
    {"WIM2GadgetPanel", PictureKind::Gif, 1024, 70, 8, 70},
    {"WGC1", PictureKind::Gif, 117, 69, 8, 69},
    {"WGW1", PictureKind::Gif, 336, 69, 8, 69},
    {"WGR1", PictureKind::Gif, 572, 69, 8, 69},
    {"PREVIEWBMP", PictureKind::Bmp, 154, 116, 8, 116},
    {"Image1", PictureKind::Jpeg, 546, 90, 24, 90},
    {"Image2", PictureKind::Bmp, 183, 134, 24, 134},
    {"BTOK_UP", PictureKind::Bmp, 76, 26, 24, 26},
    {"BTOK_DOWN", PictureKind::Bmp, 76, 26, 24, 26},
    {"BTCANCEL_UP", PictureKind::Bmp, 76, 26, 24, 26},
    {"BTCANCEL_DOWN", PictureKind::Bmp, 76, 26, 24, 26},
    {"FADER_TRACK", PictureKind::Bmp, 199, 24, 24, 24},
    {"FADER_KNOB", PictureKind::Bmp, 34, 16, 24, 16},
};

TEST(AssetsTest, EveryPictureHasItsFormatSizeAndFrames) {
  const int expectedFrames[] = {1, 32, 1, 1, 121, 16, 49, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  for (std::size_t i = 0; i < std::size(kPictures); ++i) {
    const Expected& e = kPictures[i];
    SCOPED_TRACE(e.name);
    DecodedPicture p = Decode(e.name);
    EXPECT_EQ(p.kind, e.kind);
    EXPECT_EQ(p.width, e.width);
    EXPECT_EQ(p.height, e.height);
    EXPECT_EQ(p.bitsPerPixel, e.bitsPerPixel);
    EXPECT_EQ(p.height % e.frameRows, 0);
    EXPECT_EQ(p.height / e.frameRows, expectedFrames[i]);
    EXPECT_EQ(p.pixels.size(), static_cast<std::size_t>(e.width) * e.height);
  }
}

TEST(AssetsTest, PreviewIsUncompressedWithA255EntryPalette) {
  DecodedPicture p = Decode("PREVIEWBMP");
  EXPECT_EQ(p.paletteEntries, 255);
  auto bytes = platform::FindResource("PREVIEWBMP");
  ASSERT_TRUE(bytes);
  ASSERT_GE(bytes->size(), 54u);
  std::uint32_t compression;
  std::memcpy(&compression, bytes->data() + 30, 4);
  EXPECT_EQ(compression, 0u);
}

TEST(AssetsTest, WaterLoopsAsSmoothlyAsItSteps) {
  DecodedPicture w = Decode("WMV1");
  ASSERT_EQ(w.height, 6880);
  auto frameDiff = [&w](int a, int b) {
    double sum = 0;
    for (int y = 0; y < 215; ++y) sum += RowDiff(w, a * 215 + y, w, b * 215 + y);
    return sum / 215;
  };
  std::vector<double> steps;
  for (int k = 0; k < 31; ++k) steps.push_back(frameDiff(k, k + 1));
  double wrap = frameDiff(31, 0);
  auto [lo, hi] = std::minmax_element(steps.begin(), steps.end());
  EXPECT_GT(*lo, 0.05) << "the water does not move";
  EXPECT_GE(wrap, *lo);
  EXPECT_LE(wrap, *hi);
}

TEST(AssetsTest, WaterContinuesTheBackgroundWithoutASeam) {
  DecodedPicture bg = Decode("WIM1"), w = Decode("WMV1");
  ASSERT_EQ(bg.height, 768);
  ASSERT_EQ(w.height, 6880);
  double seam = 0;
  for (int k = 0; k < 32; ++k) seam += RowDiff(bg, 552, w, k * 215);
  seam /= 32;
  // Neighbouring rows around the boundary: the background above, the water below.
  std::vector<double> around;
  for (int y = 536; y < 552; ++y) around.push_back(RowDiff(bg, y, bg, y + 1));
  for (int k = 0; k < 32; ++k)
    for (int y = 0; y < 16; ++y) around.push_back(RowDiff(w, k * 215 + y, w, k * 215 + y + 1));
  EXPECT_LE(seam, Median(around));
}

// Background regions enclosed by the silhouette and too small to be sky are
// dark paint that turned into the key colour.
int SmallEnclosedKeyRegions(const DecodedPicture& p) {
  const int w = p.width, h = p.height;
  std::vector<int> seen(static_cast<std::size_t>(w) * h, 0);
  int bad = 0;
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start) {
    if (seen[start] || (p.pixels[start] & 0xFFFFFFu) != 0) continue;
    int size = 0;
    bool border = false;
    stack.push_back(start);
    seen[start] = 1;
    while (!stack.empty()) {
      int q = stack.back();
      stack.pop_back();
      ++size;
      int x = q % w, y = q / w;
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) border = true;
      const int nb[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
      for (auto& d : nb) {
        int nx = x + d[0], ny = y + d[1];
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        int n = ny * w + nx;
        if (!seen[n] && (p.pixels[n] & 0xFFFFFFu) == 0) seen[n] = 1, stack.push_back(n);
      }
    }
    if (!border && size <= 4) ++bad;
  }
  return bad;
}

double KeyShare(const DecodedPicture& p) {
  std::size_t n = 0;
  for (auto px : p.pixels) n += (px & 0xFFFFFFu) == 0;
  return static_cast<double>(n) / p.pixels.size();
}

TEST(AssetsTest, TreesAreKeyedOnBlackWithoutHolesInTheFoliage) {
  DecodedPicture big = Decode("WIM2tree"), front = Decode("WIM2tree_n1");
  EXPECT_EQ(SmallEnclosedKeyRegions(big), 0);
  EXPECT_EQ(SmallEnclosedKeyRegions(front), 0);
  // Most of the big picture is sky (keyed), and both have a real silhouette.
  EXPECT_GT(KeyShare(big), 0.4);
  EXPECT_LT(KeyShare(big), 0.9);
  EXPECT_LT(KeyShare(front), 0.8);
  EXPECT_GT(KeyShare(front), 0.2);
  // Rooted along the bottom: the bottom rows are mostly tree.
  int rooted = 0;
  for (int x = 0; x < big.width; ++x) rooted += Rgb(big, x, big.height - 6) != 0;
  EXPECT_GT(rooted, big.width / 2);
}

TEST(AssetsTest, StripFramesHaveABlackTopLeftKey) {
  DecodedPicture birds = Decode("WMV3SGsmall"), flies = Decode("WMV2btfl");
  for (int k = 0; k < 121; ++k) EXPECT_EQ(Rgb(birds, 0, k * 24), 0u) << "bird frame " << k;
  for (int k = 0; k < 16; ++k) EXPECT_EQ(Rgb(flies, 0, k * 30), 0u) << "butterfly frame " << k;
  // Each butterfly frame shows a butterfly.
  for (int k = 0; k < 16; ++k) {
    int shown = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) shown += Rgb(flies, x, k * 30 + y) != 0;
    EXPECT_GT(shown, 30) << "butterfly frame " << k;
  }
}

// Share of pixels where frame k's silhouette and frame 0 turned by `degrees`
// (clockwise on screen) disagree, relative to their union.
double RotationMismatch(const DecodedPicture& birds, int k, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0, ca = std::cos(a), sa = std::sin(a);
  const double cx = 19.0, cy = 12.0;
  int differ = 0, either = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 38; ++x) {
      // Back-rotate the pixel centre into frame 0 (y grows downward).
      double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      double sx = cx + dx * ca + dy * sa, sy = cy - dx * sa + dy * ca;
      int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      bool turned = ix >= 0 && iy >= 0 && ix < 38 && iy < 24 && Rgb(birds, ix, iy) != 0;
      bool actual = Rgb(birds, x, k * 24 + y) != 0;
      differ += turned != actual;
      either += turned || actual;
    }
  return either ? static_cast<double>(differ) / either : 1.0;
}

TEST(AssetsTest, BirdFrameKIsFrameZeroTurnedClockwiseBy3kDegrees) {
  DecodedPicture birds = Decode("WMV3SGsmall");
  ASSERT_EQ(birds.height, 2904);
  for (int k = 1; k < 121; ++k) EXPECT_LT(RotationMismatch(birds, k, 3.0 * k), 0.2) << "frame " << k;
  // The turn is clockwise: frame 30 heads down the screen, not up, and frames
  // 10 and 20 are not frame 0 turned the other way.
  EXPECT_GT(RotationMismatch(birds, 30, -90.0), 0.25);
  EXPECT_GT(RotationMismatch(birds, 10, -30.0), 0.45);
  EXPECT_GT(RotationMismatch(birds, 20, -60.0), 0.45);
}

TEST(AssetsTest, WeatherIconsSitOnThePanelsOwnColour) {
  DecodedPicture icons = Decode("WMV3Weather"), panel = Decode("WGW1");
  const std::uint32_t todayGround = Rgb(panel, 94, 8), tomorrowGround = Rgb(panel, 206, 8);
  EXPECT_EQ(todayGround, tomorrowGround);
  EXPECT_NE(todayGround, 0u) << "the icons would sit on the key colour";
  for (int n = 0; n < 49; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(Rgb(icons, 0, n * 52), todayGround);
    EXPECT_EQ(Rgb(icons, 51, n * 52 + 51), todayGround);
    // And the whole icon box on the panel is that ground too.
    for (int y = 8; y < 60; y += 17)
      for (int x = 94; x < 146; x += 17) EXPECT_EQ(Rgb(panel, x, y), todayGround);
  }
  // Icons differ from one another (codes 11 and 12 share a picture).
  int distinct = 0;
  for (int n = 1; n < 49; ++n) {
    double d = 0;
    for (int y = 0; y < 52; ++y) d += RowDiff(icons, n * 52 + y, icons, (n - 1) * 52 + y);
    distinct += d > 1.0;
  }
  EXPECT_GE(distinct, 40);
}

TEST(AssetsTest, GadgetPanelsAreKeyedOnBlackAroundRoomForTheirTexts) {
  DecodedPicture bar = Decode("WIM2GadgetPanel");
  for (auto px : bar.pixels) ASSERT_EQ(px & 0xFFFFFFu, 0u);
  struct Panel {
    const char* name;
    int x0, x1, y0, y1;  // where the gadget writes its text
  };
  for (const Panel& p : {Panel{"WGC1", 4, 110, 28, 50}, Panel{"WGW1", 153, 330, 29, 50}, Panel{"WGR1", 15, 560, 30, 50},
                         Panel{"WGR1", 90, 300, 7, 24}}) {
    SCOPED_TRACE(p.name);
    DecodedPicture pic = Decode(p.name);
    EXPECT_EQ(Rgb(pic, 0, 0), 0u);
    EXPECT_EQ(Rgb(pic, pic.width - 1, pic.height - 1), 0u);
    for (int y = p.y0; y < p.y1; ++y)
      for (int x = p.x0; x < p.x1; ++x) ASSERT_NE(Rgb(pic, x, y), 0u) << x << "," << y;
  }
}

TEST(AssetsTest, DialogPicturesUseTheirBottomLeftColourOnlyAsTransparency) {
  const std::uint32_t dialog = 0x6B7085;  // the dialog's background
  DecodedPicture product = Decode("Image2");
  EXPECT_EQ(Rgb(product, 0, product.height - 1), dialog);
  EXPECT_NE(Rgb(product, product.width / 2, product.height / 2), dialog);
  for (const char* name : {"BTOK_UP", "BTOK_DOWN", "BTCANCEL_UP", "BTCANCEL_DOWN", "FADER_KNOB"}) {
    SCOPED_TRACE(name);
    DecodedPicture p = Decode(name);
    const std::uint32_t key = Rgb(p, 0, p.height - 1);
    EXPECT_EQ(Rgb(p, p.width - 1, 0), key);
    EXPECT_EQ(Rgb(p, 0, 0), key);
    // The face of the control is not see-through.
    int keyed = 0;
    for (int y = 3; y < p.height - 3; ++y)
      for (int x = 6; x < p.width - 6; ++x) keyed += Rgb(p, x, y) == key;
    EXPECT_EQ(keyed, 0);
  }
  // Pressed and released buttons differ.
  DecodedPicture up = Decode("BTOK_UP"), down = Decode("BTOK_DOWN");
  EXPECT_NE(up.pixels, down.pixels);
}

// --- the music -------------------------------------------------------------

using assets_test::ReadAdpcmWave;
using assets_test::Wave;

TEST(AssetsTest, MusicIsStereoMsAdpcmOf458582Frames) {
  auto bytes = platform::FindResource("SoundName");
  ASSERT_TRUE(bytes) << "SOUNDNAME is not embedded";
  Wave w;
  std::string why;
  ASSERT_TRUE(ReadAdpcmWave(*bytes, w, why)) << why;
  EXPECT_EQ(w.format, 2);
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.rate, 11025);
  EXPECT_EQ(w.bits, 4);
  EXPECT_EQ(w.blockAlign, 512);
  EXPECT_EQ(w.samplesPerBlock, 500);
  EXPECT_EQ(w.factFrames, 458582u);
  EXPECT_NEAR(static_cast<double>(bytes->size()), 470000.0, 4000.0);
  ASSERT_EQ(w.samples.size(), 2u);
  EXPECT_EQ(w.samples[0].size(), 458582u);
  EXPECT_EQ(w.samples[1].size(), 458582u);
}

TEST(AssetsTest, MusicLoopsWithoutAJump) {
  auto bytes = platform::FindResource("SOUNDNAME");
  ASSERT_TRUE(bytes);
  Wave w;
  std::string why;
  ASSERT_TRUE(ReadAdpcmWave(*bytes, w, why)) << why;
  for (const auto& s : w.samples) {
    ASSERT_GT(s.size(), 1000u);
    std::vector<int> jumps;
    double energy = 0;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
      jumps.push_back(std::abs(s[i + 1] - s[i]));
      energy += static_cast<double>(s[i]) * s[i];
    }
    EXPECT_GT(std::sqrt(energy / s.size()), 500.0) << "the clip is (nearly) silent";
    std::nth_element(jumps.begin(), jumps.begin() + static_cast<std::ptrdiff_t>(jumps.size() * 99 / 100), jumps.end());
    int p99 = jumps[jumps.size() * 99 / 100];
    EXPECT_LE(std::abs(s.front() - s.back()), p99);
  }
}

}  // namespace
