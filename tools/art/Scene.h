// The painted lake: sky, hills, far shore, trees, the left bank, reeds and
// the water, rendered from one description so the background, the water strip,
// the tree sprites, the preview and the dialog art all share one look.
#pragma once

#include "ArtCore.h"

namespace art {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;
constexpr int kHorizon = 461;     // far shore water line
constexpr int kWaterTop = 553;    // first row of the animated strip
constexpr int kWaterRows = 215;
constexpr int kWaterFrames = 32;

// Palette anchors shared by every picture.
namespace pal {
inline const Rgb kSkyTop = Hex(0x5B6F98);
inline const Rgb kSkyMid = Hex(0x9AA6C2);
inline const Rgb kHaze = Hex(0xE6D2B8);
inline const Rgb kGlow = Hex(0xFFE6BC);
inline const Rgb kHillFar = Hex(0xA9A5BE);
inline const Rgb kHillNear = Hex(0x7F879E);
inline const Rgb kForest = Hex(0x44554F);
inline const Rgb kLeafDark = Hex(0x26362F);
inline const Rgb kLeafLight = Hex(0x86926A);
inline const Rgb kRim = Hex(0xE2C98E);
inline const Rgb kWaterFar = Hex(0x5F7590);
inline const Rgb kWaterNear = Hex(0x1E3246);
inline const Rgb kSlate = Hex(0x2A3448);
inline const Rgb kDialog = Hex(0x6B7085);
}  // namespace pal

class LakeScene {
 public:
  explicit LakeScene(std::uint32_t seed);

  const Image& BigTree() const { return bigTree_; }      // 644 x 341, alpha = coverage
  const Image& FrontTree() const { return frontTree_; }  // 156 x 234
  // The whole screen with the water at time t in [0, 1) of the loop.
  // Rows above kWaterTop do not depend on t.
  Image Render(float t, int firstRow = 0, int lastRow = kScreenH - 1) const;

 private:
  void PaintSky();
  void PaintTrees();
  void PaintBank();
  void PaintReeds();
  Rgb WaterAt(int x, int y, float t) const;
  float BankTop(float x) const;
  float BankEdge(float x) const;

  std::uint32_t seed_;
  Image far_;       // sky, hills, far shore and the big tree: what the lake mirrors
  Image farBlur_;   // the same, softened, for reflections
  Image near_;      // bank and front tree with alpha; mirrored at the bank's edge
  Image fore_;      // reeds and flowers in front of everything
  Image bigTree_, frontTree_;
};

}  // namespace art
