#include "Scene.h"

#include <algorithm>
#include <cmath>

namespace art {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kSunX = 745.f, kSunY = 314.f;
constexpr int kBankTip = 452;

struct Ripple {
  float kx, kz, slope, phase;
  int cycles;  // whole cycles per loop keep frame 31 -> 0 an ordinary step
};

std::vector<Ripple> MakeRipples(std::uint32_t seed) {
  Rng rng(seed ^ 0x5151);
  std::vector<Ripple> out;
  for (int i = 0; i < 14; ++i) {
    float len = rng.Range(0.035f, 0.42f);
    float theta = rng.Range(-0.9f, 0.9f);
    if (i < 4) theta *= 0.3f;  // the main swell comes straight at the viewer
    float k = 2 * kPi / len;
    Ripple r;
    r.kx = k * std::sin(theta);
    r.kz = k * std::cos(theta);
    r.slope = rng.Range(0.03f, 0.065f) * (len < 0.08f ? 0.8f : 1.f);
    r.phase = rng.Range(0, 2 * kPi);
    r.cycles = len < 0.09f ? 2 : 1;
    if (rng.Uniform() < 0.2f) r.cycles = -r.cycles;
    out.push_back(r);
  }
  return out;
}

struct Slopes {
  float su = 0, sv = 0;
};

Slopes RippleSlopes(const std::vector<Ripple>& rs, float x, float y, float t) {
  float d = y - kHorizon + 1.5f;
  float v = 300.f / d;
  float u = (x - 512.f) / d;
  float dvdy = 300.f / (d * d), dudx = 1.f / d;
  Slopes s;
  for (const auto& r : rs) {
    float fy = std::fabs(r.kz) * dvdy / (2 * kPi), fx = std::fabs(r.kx) * dudx / (2 * kPi);
    float att = 1.f - Smooth(0.05f, 0.17f, std::max(fx, fy));
    if (att <= 0) continue;
    float c = std::cos(r.kx * u + r.kz * v + r.phase - 2 * kPi * r.cycles * t) * r.slope * att;
    s.su += c * std::sin(std::atan2(r.kx, r.kz));
    s.sv += c * std::cos(std::atan2(r.kx, r.kz));
  }
  return s;
}

float Ridge(float x, float base, float amp, float scale, std::uint32_t seed) {
  return base + amp * Fbm(x / scale, 0.37f, 5, seed);
}

Rgb Jitter(Rng& rng, Rgb c, float amount) {
  return {c.r + rng.Range(-amount, amount), c.g + rng.Range(-amount, amount), c.b + rng.Range(-amount, amount)};
}

// Foliage and trunk painting shared by both tree pictures.
struct TreePainter {
  Image& img;
  Rng& rng;
  float sunX, sunY;  // in the picture's own coordinates
  float haze;        // how much the distance washes the colours out
  Rgb hazeColour;

  Rgb Leaf(float nx, float ny, float cx, float cy, float lift) {
    float sx = sunX - cx, sy = sunY - cy;
    float sl = std::hypot(sx, sy) + 1e-3f;
    float lit = (nx * sx + ny * sy) / sl * 0.8f - ny * 0.25f + lift;
    float hue = Noise2(cx * 0.05f, cy * 0.05f, 977u) * 0.5f + 0.5f;
    Rgb dark = Mix(pal::kLeafDark, Hex(0x2E3A3E), hue * 0.6f);
    Rgb c = Mix(dark, Mix(pal::kLeafLight, Hex(0x8A8660), hue * 0.5f), Clamp01(0.22f + 0.42f * lit));
    if (lit > 0.5f) c = Mix(c, pal::kRim, Clamp01((lit - 0.5f) * 1.6f) * 0.7f);
    c = Mix(c, hazeColour, haze);
    return Jitter(rng, c, 7.f);
  }

  void Trunk(float x0, float y0, float x1, float y1, float r0, float r1) {
    Rgb bark = Mix(Hex(0x3B3430), hazeColour, haze * 0.8f);
    Stroke(img, x0, y0, x1, y1, r0, r1, bark);
    float side = sunX > x0 ? 1.f : -1.f;
    Stroke(img, x0 + side * r0 * 0.45f, y0, x1 + side * r1 * 0.45f, y1, r0 * 0.35f, r1 * 0.3f,
           Mix(Hex(0x85705A), hazeColour, haze), 0.8f);
  }

  void Cluster(float cx, float cy, float rx, float ry, float density, float dab) {
    int n = static_cast<int>(rx * ry * density / (dab * dab));
    for (int i = 0; i < n; ++i) {
      float a = rng.Range(0, 2 * kPi), rr = std::sqrt(rng.Uniform());
      float nx = std::cos(a) * rr, ny = std::sin(a) * rr;
      float px = cx + nx * rx, py = cy + ny * ry;
      float s = dab * rng.Range(0.6f, 1.25f);
      Dab(img, px, py, s * 1.3f, s * 0.8f, rng.Range(-0.6f, 0.6f), Leaf(nx, ny, cx, cy, 0.f), 1.f);
    }
  }

  void Conifer(float bx, float by, float h, float w) {
    Trunk(bx, by, bx + rng.Range(-2, 2), by - h * 0.95f, std::max(1.2f, w * 0.045f), 0.6f);
    int tiers = static_cast<int>(h / 7.f);
    for (int i = 0; i < tiers; ++i) {
      float f = 0.08f + 0.92f * static_cast<float>(i) / tiers;
      float ty = by - h * f;
      float half = w * 0.5f * std::pow(1.f - f, 0.85f) * rng.Range(0.45f, 1.15f) + 2.f;
      if (rng.Uniform() < 0.12f) continue;  // a missing bough lets the sky through
      for (int side = -1; side <= 1; side += 2) {
        float halfSide = half * rng.Range(0.7f, 1.1f);
        int dabs = static_cast<int>(halfSide / 1.6f) + 1;
        for (int k = 0; k < dabs; ++k) {
          float q = (k + rng.Uniform()) / dabs;
          float px = bx + side * q * halfSide + rng.Range(-1.f, 1.f), py = ty + q * q * halfSide * 0.4f + rng.Range(-2.f, 2.f);
          float nx = side * q, ny = (q * 0.6f - 0.3f);
          float s = rng.Range(1.3f, 2.5f) * (1.1f - 0.4f * f);
          Dab(img, px, py, s * 1.5f, s * 0.9f, side * 0.35f, Leaf(nx, ny, bx, ty, 0.1f * (1 - f)), 1.f);
        }
      }
    }
    Dab(img, bx, by - h, 1.5f, 3.f, 0.f, Leaf(0, -1, bx, by - h, 0.2f), 1.f);
  }

  void Broadleaf(float bx, float by, float h, float w, int clusters, float dab) {
    float topX = bx + rng.Range(-w * 0.08f, w * 0.08f), topY = by - h * 0.55f;
    float r0 = std::max(2.f, w * 0.05f);
    Trunk(bx, by, topX, topY, r0, r0 * 0.55f);
    float cx = topX, cy = by - h * 0.64f, rx = w * 0.5f, ry = h * 0.36f;
    for (int i = 0; i < clusters; ++i) {
      float a = rng.Range(0, 2 * kPi), rr = std::sqrt(rng.Uniform()) * 0.72f;
      float px = cx + std::cos(a) * rr * rx, py = cy + std::sin(a) * rr * ry;
      Trunk(topX, topY, px, py + ry * 0.15f, r0 * 0.5f, 0.8f);
    }
    for (int i = 0; i < clusters; ++i) {
      float a = rng.Range(0, 2 * kPi), rr = std::sqrt(rng.Uniform()) * 0.72f;
      float px = cx + std::cos(a) * rr * rx, py = cy + std::sin(a) * rr * ry;
      float cr = rng.Range(0.28f, 0.42f) * w;
      Cluster(px, py, cr, cr * rng.Range(0.6f, 0.8f), 0.55f, dab);
    }
  }
};

}  // namespace

LakeScene::LakeScene(std::uint32_t seed) : seed_(seed) {
  far_ = Image(kScreenW, kScreenH);
  near_ = Image(kScreenW, kScreenH, {}, 0.f);
  fore_ = Image(kScreenW, kScreenH, {}, 0.f);
  PaintSky();
  PaintTrees();
  PaintBank();
  PaintReeds();
  farBlur_ = far_;
  BoxBlur(farBlur_, 1, 2);
}

float LakeScene::BankTop(float x) const {
  float f = std::clamp(x / kBankTip, 0.f, 1.f);
  return 476.f + 86.f * std::pow(f, 1.7f) + 4.f * Fbm(x / 40.f, 3.1f, 3, seed_ + 71);
}

float LakeScene::BankEdge(float x) const {
  return 562.f + (kBankTip - x) * 0.07f + 2.5f * Fbm(x / 25.f, 8.4f, 3, seed_ + 72);
}

void LakeScene::PaintSky() {
  const std::uint32_t s = seed_;
  std::vector<float> farRidge(kScreenW), nearRidge(kScreenW), forestTop(kScreenW, 0.f);
  for (int x = 0; x < kScreenW; ++x) {
    float fx = static_cast<float>(x);
    farRidge[x] = Ridge(fx, 322.f, 70.f, 230.f, s + 11) + 18.f * std::sin(fx / 190.f + 0.6f);
    nearRidge[x] = Ridge(fx, 404.f, 40.f, 120.f, s + 12);
  }
  Rng rng(s + 13);
  for (int i = 0; i < 260; ++i) {
    float cx = rng.Range(-10, kScreenW + 10), h = rng.Range(4, 15), hw = rng.Range(2.5f, 6.5f);
    bool round = rng.Uniform() < 0.35f;
    for (int x = std::max(0, static_cast<int>(cx - hw)); x < std::min(kScreenW, static_cast<int>(cx + hw) + 1); ++x) {
      float q = std::fabs(x - cx) / hw;
      float bump = round ? h * 0.6f * std::sqrt(std::max(0.f, 1 - q * q)) : h * (1 - q);
      forestTop[x] = std::max(forestTop[x], bump);
    }
  }
  for (int x = 0; x < kScreenW; ++x) forestTop[x] = 447.f + 4.f * Fbm(x / 60.f, 2.2f, 3, s + 14) - forestTop[x];

  Image base(kScreenW, kScreenH);
  for (int y = 0; y <= kHorizon; ++y)
    for (int x = 0; x < kScreenW; ++x) {
      float fx = static_cast<float>(x), fy = static_cast<float>(y);
      // Sky: cool above, warm haze toward the hills, a low veiled sun.
      Rgb c = fy < 200 ? Mix(pal::kSkyTop, pal::kSkyMid, Smooth(0, 200, fy))
                       : Mix(pal::kSkyMid, pal::kHaze, Smooth(200, 400, fy));
      float dsun = std::hypot(fx - kSunX, (fy - kSunY) * 1.25f);
      float glow = 0.55f * std::exp(-dsun * dsun / (2 * 70.f * 70.f)) + 0.35f * std::exp(-dsun * dsun / (2 * 260.f * 260.f));
      c = Mix(c, pal::kGlow, Clamp01(glow));
      float cloud = Fbm(fx / 280.f, fy / 48.f, 5, s + 21);
      float mask = Smooth(0.02f, 0.42f, cloud) * Smooth(20, 110, fy) * (1 - Smooth(230, 320, fy));
      Rgb cloudCol = Mix(Hex(0xB3B0C8), Hex(0xF6DEC2), Clamp01(glow * 1.6f + (fy - 120) / 400.f));
      c = Mix(c, cloudCol, mask * 0.68f);
      c = Mix(c, Hex(0xFFF4E0), Clamp01(17.f - dsun) * 0.8f);
      if (fy >= farRidge[x]) {
        float depth = (fy - farRidge[x]) / (kHorizon - farRidge[x] + 1);
        float shade = farRidge[std::min(x + 4, kScreenW - 1)] - farRidge[std::max(x - 4, 0)];
        Rgb hill = Mix(pal::kHillFar, Hex(0xC2B0B8), Clamp01(-shade * 0.08f) * 0.5f);
        hill = Mix(hill, pal::kHaze, 0.2f + 0.45f * depth);
        c = Mix(hill, pal::kGlow, 0.35f * glow);
      }
      if (fy >= nearRidge[x]) {
        float depth = (fy - nearRidge[x]) / (kHorizon - nearRidge[x] + 1);
        Rgb hill = Mix(pal::kHillNear, Hex(0x8E90A0), 0.4f + 0.2f * Fbm(fx / 30.f, fy / 12.f, 3, s + 22));
        hill = Mix(hill, pal::kHaze, 0.1f + 0.5f * Smooth(0.35f, 1.f, depth));
        c = Mix(hill, pal::kGlow, 0.25f * glow);
      }
      if (fy >= forestTop[x]) {
        float depth = (fy - forestTop[x]) / (kHorizon - forestTop[x] + 1);
        Rgb f = Mix(Mix(pal::kForest, pal::kHillNear, 0.3f), Hex(0x34423F), depth);
        f = Mix(f, pal::kRim, 0.25f * glow * (1 - depth));
        c = f;
      }
      if (y >= kHorizon - 1) c = Mix(Hex(0x9C9888), pal::kGlow, 0.4f * glow);
      base.at(x, y) = c;
    }
  // Brush pass: dabs that take the colour beneath them and smear it along the
  // forms, so the gradients read as paint rather than as a photograph.
  far_ = base;
  Rng dab(s + 30);
  for (int i = 0; i < 90000; ++i) {
    int x = dab.Int(0, kScreenW - 1), y = dab.Int(0, kHorizon - 2);
    Rgb c = Jitter(dab, base.at(x, y), 3.5f);
    float rx, ry, ang;
    if (y >= forestTop[x] - 1) {
      rx = dab.Range(1.5f, 3.f), ry = dab.Range(1.f, 2.f), ang = dab.Range(-1.5f, 1.5f);
    } else if (y >= farRidge[x] - 2) {
      float slope = (farRidge[std::min(x + 6, kScreenW - 1)] - farRidge[std::max(x - 6, 0)]) / 12.f;
      if (y >= nearRidge[x] - 2) slope = (nearRidge[std::min(x + 6, kScreenW - 1)] - nearRidge[std::max(x - 6, 0)]) / 12.f;
      rx = dab.Range(4, 9), ry = dab.Range(1.5f, 3.f), ang = std::atan(slope) * 0.7f + dab.Range(-0.15f, 0.15f);
    } else {
      rx = dab.Range(8, 20), ry = dab.Range(2.5f, 5.5f), ang = dab.Range(-0.12f, 0.12f);
    }
    // Keep dabs from carrying colour across the silhouettes.
    float ext = rx;
    int xl = std::max(0, static_cast<int>(x - ext)), xr = std::min(kScreenW - 1, static_cast<int>(x + ext));
    bool aboveFar = y < farRidge[x], aboveNear = y < nearRidge[x], aboveForest = y < forestTop[x];
    if ((aboveFar && (y + ry > farRidge[xl] || y + ry > farRidge[xr])) ||
        (!aboveFar && aboveNear && (y + ry > nearRidge[xl] || y + ry > nearRidge[xr])) ||
        (!aboveNear && aboveForest && (y + ry > forestTop[xl] || y + ry > forestTop[xr])))
      ry *= 0.5f, rx *= 0.5f;
    Dab(far_, x + 0.5f, y + 0.5f, rx, ry, ang, c, 0.55f);
  }
  // A pale line where the far shore meets the water.
  for (int x = 0; x < kScreenW; ++x) {
    far_.at(x, kHorizon) = Mix(far_.at(x, kHorizon), Hex(0xB8B2A0), 0.5f);
    for (int y = kHorizon + 1; y < kScreenH; ++y) far_.at(x, y) = far_.at(x, kHorizon);
  }
}

void LakeScene::PaintTrees() {
  // Big tree group on the far shore: a wooded point whose crowns leave gaps of
  // sky for the small birds, and a low opening where the sun sits.
  bigTree_ = Image(644, 341, {}, 0.f);
  Rng rng(seed_ + 40);
  Rgb haze = Mix(pal::kHillNear, pal::kHaze, 0.45f);
  TreePainter big{bigTree_, rng, kSunX - 379.f, kSunY - 119.f, 0.3f, haze};
  const float ground = 336.f;
  struct Placement {
    float x, h, w;
    bool conifer;
  };
  const Placement trees[] = {
      {28, 238, 56, true},   {92, 292, 66, true},   {150, 205, 54, true},  {205, 176, 128, false},
      {262, 262, 60, true},  {312, 178, 48, true},  {428, 112, 96, false}, {474, 286, 66, true},
      {522, 222, 56, true},  {566, 168, 112, false}, {606, 318, 72, true}, {636, 196, 48, true},
      {60, 150, 90, false},  {352, 120, 44, true},
  };
  // Back row first, so nearer crowns overlap it.
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t i = 0; i < std::size(trees); ++i) {
      const Placement& t = trees[i];
      if ((i % 2 == 0) != (pass == 0)) continue;
      if (t.conifer)
        big.Conifer(t.x, ground + rng.Range(-3, 2), t.h, t.w);
      else
        big.Broadleaf(t.x, ground, t.h, t.w, 9, 3.2f);
    }
  // Undergrowth along the shore ties the trunks to the ground.
  for (float x = 4; x < 640; x += rng.Range(10, 22)) {
    if (x > 372 && x < 400) continue;  // a small opening onto the water
    float h = rng.Range(10, 26);
    big.Cluster(x, ground - h * 0.4f, rng.Range(10, 20), h * 0.55f, 0.7f, 2.4f);
  }
  for (int x = 0; x < bigTree_.w; ++x)
    for (int y = 337; y < bigTree_.h; ++y)
      if (bigTree_.alpha(x, y - 1) > 0.5f) bigTree_.Blend(x, y, bigTree_.at(x, y - 1) * 0.92f, 1.f);

  // Front tree on the left bank: a leaning broadleaf with an open crown.
  frontTree_ = Image(156, 234, {}, 0.f);
  Rng rf(seed_ + 41);
  TreePainter front{frontTree_, rf, kSunX - 282.f, kSunY - 335.f, 0.f, pal::kHaze};
  front.Trunk(70, 229, 80, 150, 5.f, 3.5f);
  front.Trunk(80, 150, 58, 78, 3.5f, 1.6f);
  front.Trunk(80, 150, 112, 92, 3.f, 1.4f);
  front.Trunk(78, 120, 84, 40, 2.4f, 1.f);
  front.Trunk(62, 100, 28, 92, 1.8f, 0.8f);
  struct C {
    float x, y, r;
  };
  const C crown[] = {{58, 64, 32}, {102, 58, 32}, {80, 30, 28}, {122, 98, 26}, {32, 100, 26},
                     {84, 98, 24}, {134, 62, 18}, {22, 68, 18}, {54, 26, 20}, {108, 22, 18},
                     {70, 126, 16}, {104, 130, 14}, {40, 130, 12}, {140, 120, 12}};
  for (const C& c : crown) front.Cluster(c.x, c.y, c.r, c.r * 0.8f, 1.1f, 3.0f);
  front.Cluster(72, 226, 22, 7, 0.9f, 2.2f);  // grass at the foot

  // Trees stand in the far picture so the lake mirrors them; the sprites are
  // drawn over the same place and hide the join.
  for (int y = 0; y < bigTree_.h; ++y)
    for (int x = 0; x < bigTree_.w; ++x) far_.Blend(379 + x, 119 + y, bigTree_.at(x, y), bigTree_.alpha(x, y));
}

void LakeScene::PaintBank() {
  Rng rng(seed_ + 50);
  for (int x = 0; x <= kBankTip - 2; ++x) {
    float top = BankTop(static_cast<float>(x)), edge = BankEdge(static_cast<float>(x));
    for (int y = static_cast<int>(top); y <= static_cast<int>(edge) + 1 && y < kScreenH; ++y) {
      float cov = Clamp01(y + 1 - top) * Clamp01(edge + 1 - y);
      if (cov <= 0) continue;
      float f = (y - top) / std::max(1.f, edge - top);
      Rgb grass = Mix(Hex(0x6E7658), Hex(0x323E30), Smooth(0, 1, f));
      grass = Mix(grass, pal::kRim, 0.18f * (1 - f) * Clamp01(x / 400.f));
      if (edge - y < 3.f && edge - top > 6.f) grass = Mix(grass, Hex(0x3A342C), 0.7f);
      near_.Blend(x, y, grass, cov);
    }
  }
  // Grass strokes and a few shrubs.
  for (int i = 0; i < 5000; ++i) {
    float x = rng.Range(0, kBankTip);
    float top = BankTop(x), edge = BankEdge(x);
    if (edge - top < 7.f) continue;
    float y = rng.Range(top + 2, edge - 3);
    float f = Clamp01((y - top) / (edge - top));
    Rgb c = Jitter(rng, Mix(Hex(0x7C8460), Hex(0x303C2C), f), 7.f);
    Dab(near_, x, y, rng.Range(0.8f, 1.6f), rng.Range(2.f, 4.f), rng.Range(-0.3f, 0.3f), c, 0.7f);
  }
  TreePainter shrubs{near_, rng, kSunX, kSunY, 0.05f, pal::kHaze};
  for (float x = 6; x < 200; x += rng.Range(18, 34)) {
    float top = BankTop(x);
    shrubs.Cluster(x, top + 2, rng.Range(10, 20), rng.Range(7, 12), 0.75f, 2.6f);
  }
  for (int y = 0; y < frontTree_.h; ++y)
    for (int x = 0; x < frontTree_.w; ++x) near_.Blend(282 + x, 335 + y, frontTree_.at(x, y), frontTree_.alpha(x, y));
}

void LakeScene::PaintReeds() {
  Rng rng(seed_ + 60);
  auto reed = [&](float bx, float by, float h, float lean, bool flower, Rgb flowerCol, bool cattail) {
    float tx = bx + lean * h, ty = by - h;
    float mx = bx + lean * h * 0.35f, my = by - h * 0.55f;
    Rgb stem = Jitter(rng, Mix(Hex(0x3E4A30), Hex(0x8A8C58), rng.Uniform() * 0.7f), 6.f);
    const int segs = 10;
    float px = bx, py = by;
    for (int i = 1; i <= segs; ++i) {
      float q = static_cast<float>(i) / segs;
      float x = (1 - q) * (1 - q) * bx + 2 * (1 - q) * q * mx + q * q * tx;
      float y = (1 - q) * (1 - q) * by + 2 * (1 - q) * q * my + q * q * ty;
      Stroke(fore_, px, py, x, y, 1.5f - 0.9f * q, 1.5f - 0.9f * (q + 0.1f), Mix(stem, Hex(0xA8A070), q * 0.35f));
      px = x, py = y;
    }
    if (cattail) Stroke(fore_, tx - lean * 16, ty + 16, tx - lean * 3, ty + 3, 2.6f, 2.4f, Jitter(rng, Hex(0x5A3E2C), 6.f));
    if (flower)
      for (int k = 0; k < 9; ++k) {
        float q = rng.Uniform() * 0.25f;
        Dab(fore_, tx - lean * h * q + rng.Range(-2.5f, 2.5f), ty + h * q, 2.2f, 1.8f, 0.f, Jitter(rng, flowerCol, 12.f), 0.95f);
      }
  };
  auto blade = [&](float bx, float by, float h, float bend) {
    Rgb c = Jitter(rng, Mix(Hex(0x36442C), Hex(0x7A8450), rng.Uniform()), 6.f);
    float px = bx, py = by;
    for (int i = 1; i <= 12; ++i) {
      float q = i / 12.f;
      float x = bx + bend * h * q * q, y = by - h * q + std::fabs(bend) * h * q * q * 0.5f;
      Stroke(fore_, px, py, x, y, 2.4f * (1 - q) + 0.4f, 2.4f * (1 - q + 0.08f) + 0.4f, c);
      px = x, py = y;
    }
  };
  // Lower left: reeds and loosestrife in the shallows below the bank.
  for (int i = 0; i < 80; ++i) {
    float bx = std::pow(rng.Uniform(), 1.3f) * 235.f, by = rng.Range(612, 692) - bx * 0.05f;
    float h = rng.Range(110, 260) * (1.f - bx / 520.f);
    if (i % 3 == 0)
      blade(bx, by, h * 0.6f, rng.Range(-0.5f, 0.6f));
    else
      reed(bx, by, h, rng.Range(-0.12f, 0.18f), rng.Uniform() < 0.3f, Hex(0xC596C8), rng.Uniform() < 0.28f);
  }
  // Lower right: a clump of reeds with yellow flags.
  for (int i = 0; i < 64; ++i) {
    float bx = 1024.f - std::pow(rng.Uniform(), 1.2f) * 190.f, by = rng.Range(684, 704);
    float h = rng.Range(80, 200) * (0.55f + 0.45f * (bx - 834.f) / 190.f);
    if (i % 3 == 0)
      blade(bx, by, h * 0.6f, rng.Range(-0.6f, 0.4f));
    else
      reed(bx, by, h, rng.Range(-0.18f, 0.08f), rng.Uniform() < 0.28f, Hex(0xE8CC70), rng.Uniform() < 0.25f);
  }
}

Rgb LakeScene::WaterAt(int x, int y, float t) const {
  static thread_local std::vector<Ripple> ripples;
  static thread_local std::uint32_t rippleSeed = 0;
  if (ripples.empty() || rippleSeed != seed_) ripples = MakeRipples(seed_), rippleSeed = seed_;
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  float d = fy - kHorizon;
  float s = d / (kScreenH - kHorizon);
  Slopes still = RippleSlopes(ripples, fx, fy, 0.f);
  Slopes sl = still;
  if (t != 0.f) {
    // Far water barely moves; the motion grows toward the viewer, so the strip
    // meets the still background without a seam.
    float w = Smooth(kWaterTop, 650.f, fy);
    Slopes moving = RippleSlopes(ripples, fx, fy, t);
    sl.su += (moving.su - still.su) * w;
    sl.sv += (moving.sv - still.sv) * w;
  }
  float calm = 1.f - 0.45f * Smooth(690.f, 740.f, fy);
  sl.su *= calm, sl.sv *= calm;
  float rx = fx + sl.su * 0.22f * d;
  float ry = 2.f * kHorizon - fy + sl.sv * 0.45f * d;
  // Nearer water mirrors less sharply: spread the lookup with the distance.
  float spread = 0.6f + d * 0.025f;
  Rgb refl = (farBlur_.Sample(rx, std::max(0.f, ry - spread)) + farBlur_.Sample(rx, std::max(0.f, ry + spread))) * 0.5f;
  if (x <= kBankTip + 4) {
    float edge = BankEdge(fx);
    if (fy > edge) {
      float ny = 2.f * edge - fy + sl.sv * 0.4f * (fy - edge);
      float nx = std::clamp(rx, 0.f, kScreenW - 1.f);
      int ix = static_cast<int>(nx), iy = static_cast<int>(ny);
      if (iy >= 0 && iy < kScreenH) {
        float a = near_.alpha(ix, iy);
        if (a > 0) refl = Mix(refl, near_.at(ix, iy) * Hex(0xA8B4C0), a * 0.55f);
      }
    }
  }
  Rgb body = Mix(pal::kWaterFar, pal::kWaterNear, std::pow(s, 0.8f));
  float fresnel = 0.86f - 0.64f * std::pow(s, 0.8f);
  Rgb c = Mix(body, refl * Mix(Hex(0xD6E0EA), Hex(0xA8B8C8), s), fresnel);
  // Glitter under the sun and a faint sheen of sky on the crests.
  float column = std::exp(-std::pow((fx - kSunX) / (12.f + 0.22f * d), 2.f));
  float crest = Smooth(0.07f, 0.16f, -sl.sv) * (0.6f + 0.4f * Noise2(fx / 5.f, fy / 1.5f, seed_ + 81));
  c = Mix(c, Mix(pal::kGlow, pal::kRim, 0.4f), Clamp01(column * crest * (0.25f + 0.3f * s)) * calm);
  c = Mix(c, Hex(0xC8D2DE), Smooth(0.07f, 0.15f, std::fabs(sl.su)) * 0.1f * calm);
  c = c * (1.f + 0.035f * Fbm(fx / 9.f, fy / 4.f, 3, seed_ + 80));
  return c;
}

Image LakeScene::Render(float t, int firstRow, int lastRow) const {
  constexpr int kBand = 12;
  const int lo = std::max(0, firstRow - kBand), hi = std::min(kScreenH - 1, lastRow + kBand);
  Image raw(kScreenW, kScreenH);
  for (int y = lo; y <= hi; ++y)
    for (int x = 0; x < kScreenW; ++x) {
      Rgb c = y <= kHorizon ? far_.at(x, y) : WaterAt(x, y, y >= kWaterTop ? t : 0.f);
      float a = near_.alpha(x, y);
      if (a > 0) c = Mix(c, near_.at(x, y), a);
      a = fore_.alpha(x, y);
      if (a > 0) c = Mix(c, fore_.at(x, y), a);
      raw.at(x, y) = c;
    }
  // Where the strip meets the still picture everything is softened a little
  // vertically (the water barely moves there), so the join draws no line.
  Image out(kScreenW, kScreenH);
  for (int y = firstRow; y <= lastRow; ++y) {
    float dist = std::fabs(y + 0.5f - kWaterTop);
    int r = dist < 3 ? 4 : (dist < 6 ? 3 : (dist < 9 ? 2 : (dist < kBand ? 1 : 0)));
    for (int x = 0; x < kScreenW; ++x) {
      Rgb c{};
      for (int j = -r; j <= r; ++j) c = c + raw.at(x, std::clamp(y + j, lo, hi));
      out.at(x, y) = c * (1.f / (2 * r + 1));
    }
  }
  return out;
}

}  // namespace art
