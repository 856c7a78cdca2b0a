// Keyed sprites: the birds, the butterfly and the tree pictures' finishing.
#include <algorithm>
#include <cmath>

#include "Generators.h"

namespace art {
namespace {
constexpr float kPi = 3.14159265358979f;
}

Indexed KeyedSprite(Image img, bool dither) {
  const int w = img.w, h = img.h;
  // Find background regions not connected to the border; small ones are gaps
  // between dabs, not sky, and get the colour around them.
  std::vector<int> label(static_cast<std::size_t>(w) * h, -1);
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start) {
    if (img.a[start] >= 0.5f || label[start] >= 0) continue;
    std::vector<int> comp;
    bool border = false;
    stack.push_back(start);
    label[start] = start;
    while (!stack.empty()) {
      int p = stack.back();
      stack.pop_back();
      comp.push_back(p);
      int x = p % w, y = p / w;
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) border = true;
      const int nb[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
      for (auto& d : nb) {
        int nx = x + d[0], ny = y + d[1];
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        int q = ny * w + nx;
        if (img.a[q] < 0.5f && label[q] < 0) label[q] = start, stack.push_back(q);
      }
    }
    if (border || comp.size() > 12) continue;
    for (int p : comp) {
      int x = p % w, y = p / w;
      Rgb sum{};
      int n = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
          int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h || img.alpha(nx, ny) < 0.5f) continue;
          sum = sum + img.at(nx, ny);
          ++n;
        }
      if (n) img.at(x, y) = sum * (1.f / n);
      img.alpha(x, y) = 1.f;
    }
  }
  return Quantize(img, 256, true, dither);
}

Image BirdStrip() {
  // A gliding gull seen from below, heading +x, centred in the frame; every
  // point stays within 11.5 px of the centre so all headings fit 38 x 24.
  // Long, bent wings on a short body: the M of a gliding gull, which still
  // reads when the frame is shrunk to 14 x 9.
  const std::vector<float> body = {5.6f,  0.f,   4.4f,  -1.1f, 2.5f,  -1.8f, -2.f, -1.6f, -3.6f, -1.f,  -5.8f, -2.1f,
                                   -5.8f, 2.1f,  -3.6f, 1.f,   -2.f,  1.6f,  2.5f, 1.8f,  4.4f,  1.1f};
  const std::vector<float> wing = {2.2f,  -1.3f, 3.4f,  -5.9f, 1.2f, -9.2f, -2.5f, -11.1f,
                                   -1.9f, -8.4f, -1.5f, -5.7f, -2.9f, -1.3f};
  const std::vector<float> tip = {1.2f, -9.2f, -2.5f, -11.1f, -1.9f, -8.4f, 0.1f, -7.6f};
  Image strip(kBirdW, kBirdH * kBirdFrames, {}, 0.f);
  for (int k = 0; k < kBirdFrames; ++k) {
    float a = 3.f * k * kPi / 180.f, ca = std::cos(a), sa = std::sin(a);
    float cx = kBirdW / 2.f, cy = kBirdH / 2.f + kBirdH * k;
    auto place = [&](const std::vector<float>& pts, float mirror) {
      std::vector<float> out;
      for (std::size_t i = 0; i < pts.size(); i += 2) {
        float x = pts[i], y = pts[i + 1] * mirror;
        out.push_back(cx + x * ca - y * sa);  // y grows downward: positive angles turn clockwise
        out.push_back(cy + x * sa + y * ca);
      }
      return out;
    };
    FillPolygon(strip, place(wing, 1.f), Hex(0x3A3F4C));
    FillPolygon(strip, place(wing, -1.f), Hex(0x3A3F4C));
    FillPolygon(strip, place(tip, 1.f), Hex(0x1C1E26));
    FillPolygon(strip, place(tip, -1.f), Hex(0x1C1E26));
    FillPolygon(strip, place(body, 1.f), Hex(0x4A4F5C));
  }
  // A firm outline: the edge pixels are the darkest, so the shape survives
  // being shrunk to 14 x 9.
  Image out = strip;
  for (int y = 0; y < strip.h; ++y)
    for (int x = 0; x < strip.w; ++x) {
      float cov = strip.alpha(x, y);
      if (cov >= 0.5f && cov < 0.95f) out.at(x, y) = Mix(strip.at(x, y), Hex(0x16181E), 0.6f);
    }
  return out;
}

Image ButterflyStrip() {
  Image strip(kFlyW, kFlyH * kFlyFrames, {}, 0.f);
  const Rgb edge = Hex(0x3C2418), fore = Hex(0xF0A040), hind = Hex(0xF6CE5A), spot = Hex(0xFFF4E0);
  for (int k = 0; k < kFlyFrames; ++k) {
    float phase = 2 * kPi * (k % 15) / 15.f;
    float open = 0.14f + 0.86f * (0.5f + 0.5f * std::cos(phase));
    float cx = kFlyW / 2.f, oy = static_cast<float>(kFlyH * k);
    for (int side = -1; side <= 1; side += 2) {
      float fr = 10.f * open + 1.f, hr = 7.f * open + 1.f;
      Dab(strip, cx + side * (fr - 0.5f), oy + 11.f, fr, 7.2f, side * 0.42f, edge, 1.f);
      Dab(strip, cx + side * (hr - 0.5f), oy + 20.f, hr, 5.6f, -side * 0.3f, edge, 1.f);
      Dab(strip, cx + side * (fr - 0.5f), oy + 11.3f, std::max(0.8f, fr - 1.6f), 5.6f, side * 0.42f, fore, 1.f);
      Dab(strip, cx + side * (hr - 0.5f), oy + 19.8f, std::max(0.8f, hr - 1.5f), 4.2f, -side * 0.3f, hind, 1.f);
      if (open > 0.35f) {
        Dab(strip, cx + side * (fr * 1.55f), oy + 7.5f, 1.3f * open + 0.3f, 1.2f, 0.f, spot, 0.9f);
        Dab(strip, cx + side * (fr * 1.2f), oy + 6.f, 1.f * open + 0.3f, 1.f, 0.f, spot, 0.8f);
      }
    }
    Stroke(strip, cx, oy + 7.f, cx, oy + 24.f, 1.4f, 1.f, Hex(0x4A3424));
    FillCircle(strip, cx, oy + 6.5f, 1.7f, Hex(0x4A3424));
    Stroke(strip, cx - 0.5f, oy + 5.f, cx - 4.f, oy + 1.5f, 0.5f, 0.45f, Hex(0x4A3424));
    Stroke(strip, cx + 0.5f, oy + 5.f, cx + 4.f, oy + 1.5f, 0.5f, 0.45f, Hex(0x4A3424));
  }
  return strip;
}

}  // namespace art
