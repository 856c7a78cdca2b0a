// The 49 weather icons, composed from a handful of painted elements (sun,
// moon, clouds, rain, snow, bolts, fog, wind) on the weather panel's ground.
#include <cmath>

#include "Generators.h"
#include "StrokeFont.h"

namespace art {
namespace {

constexpr float kPi = 3.14159265358979f;

struct Icon {
  Image& img;
  float oy;  // top of this icon in the strip
  Rgb ground;

  void Sun(float cx, float cy, float r, bool rays = true) {
    cy += oy;
    if (rays)
      for (int i = 0; i < 8; ++i) {
        float a = i * kPi / 4 + kPi / 8;
        Stroke(img, cx + std::cos(a) * (r + 3), cy + std::sin(a) * (r + 3), cx + std::cos(a) * (r + 7.5f),
               cy + std::sin(a) * (r + 7.5f), 1.3f, 0.9f, Hex(0xF2B84E));
      }
    FillCircle(img, cx, cy, r, Hex(0xF4B443));
    FillCircle(img, cx - r * 0.15f, cy - r * 0.15f, r * 0.72f, Hex(0xFCD46E));
    FillCircle(img, cx - r * 0.3f, cy - r * 0.3f, r * 0.3f, Hex(0xFFE9A8), 0.8f);
  }
  void Moon(float cx, float cy, float r) {
    cy += oy;
    FillCircle(img, cx, cy, r, Hex(0xE9E3C4));
    FillCircle(img, cx + r * 0.55f, cy - r * 0.35f, r * 0.86f, ground);
  }
  void Star(float cx, float cy, float r) {
    cy += oy;
    Stroke(img, cx - r, cy, cx + r, cy, 0.5f, 0.5f, Hex(0xF4EED0));
    Stroke(img, cx, cy - r, cx, cy + r, 0.5f, 0.5f, Hex(0xF4EED0));
  }
  void Cloud(float cx, float cy, float s, Rgb body, Rgb shade) {
    cy += oy;
    const float c[5][3] = {{-11, 3, 7}, {-3, -4, 9.5f}, {8, -1, 8}, {13, 5, 5.5f}, {0, 5, 8}};
    for (auto& k : c) FillCircle(img, cx + k[0] * s, cy + k[1] * s, (k[2] + 1.3f) * s, Mix(shade, ground, 0.3f));
    for (auto& k : c) FillCircle(img, cx + k[0] * s, cy + k[1] * s, k[2] * s, shade);
    for (auto& k : c) FillCircle(img, cx + k[0] * s - 1.2f * s, cy + k[1] * s - 1.6f * s, k[2] * s * 0.82f, body);
  }
  void LightCloud(float cx, float cy, float s) { Cloud(cx, cy, s, Hex(0xE8ECF2), Hex(0xA8B0C2)); }
  void GreyCloud(float cx, float cy, float s) { Cloud(cx, cy, s, Hex(0xB4BAC8), Hex(0x7C8498)); }
  void DarkCloud(float cx, float cy, float s) { Cloud(cx, cy, s, Hex(0x8A90A2), Hex(0x545A6E)); }
  void Rain(float x0, float y0, int n, float len, Rgb c = Hex(0x7EB4EC)) {
    y0 += oy;
    for (int i = 0; i < n; ++i) {
      float x = x0 + i * 7.f, y = y0 + (i % 2) * 4.f;
      Stroke(img, x, y, x - len * 0.35f, y + len, 1.1f, 1.1f, c);
    }
  }
  void Drizzle(float x0, float y0, int n, Rgb c = Hex(0x8EC0EE)) {
    y0 += oy;
    for (int i = 0; i < n; ++i) FillCircle(img, x0 + i * 6.f, y0 + (i % 2) * 5.f, 1.3f, c);
  }
  void Flake(float cx, float cy, float r) {
    cy += oy;
    for (int i = 0; i < 3; ++i) {
      float a = i * kPi / 3 + kPi / 6;
      Stroke(img, cx - std::cos(a) * r, cy - std::sin(a) * r, cx + std::cos(a) * r, cy + std::sin(a) * r, 0.75f, 0.75f,
             Hex(0xF2F6FF));
    }
  }
  void Flakes(float x0, float y0, int n, float r = 3.f) {
    for (int i = 0; i < n; ++i) Flake(x0 + i * 8.f, y0 + (i % 2) * 6.f, r);
  }
  void Sleet(float x0, float y0, int n) {
    for (int i = 0; i < n; ++i) FillCircle(img, x0 + i * 7.f, y0 + oy + (i % 2) * 5.f, 1.7f, Hex(0xC8DCF0));
  }
  void Hail(float x0, float y0, int n) {
    for (int i = 0; i < n; ++i) {
      FillCircle(img, x0 + i * 7.f, y0 + oy + (i % 2) * 5.f, 2.6f, Hex(0x9AAAC0));
      FillCircle(img, x0 + i * 7.f - 0.4f, y0 + oy + (i % 2) * 5.f - 0.4f, 1.9f, Hex(0xF4F8FF));
    }
  }
  void Bolt(float x, float y, float s = 1.f) {
    y += oy;
    std::vector<float> p = {x + 3 * s, y, x - 4 * s, y + 11 * s, x + 0.5f * s, y + 11 * s,
                            x - 3 * s, y + 20 * s, x + 7 * s, y + 7 * s, x + 2 * s, y + 7 * s, x + 6 * s, y};
    FillPolygon(img, p, Hex(0xF8D24A));
  }
  void Lines(float x0, float y0, int n, float w, Rgb c, float gap = 5.f) {
    for (int i = 0; i < n; ++i) {
      float y = y0 + oy + i * gap, x = x0 + (i % 2) * 4.f;
      Stroke(img, x, y, x + w - (i % 2) * 8.f, y, 1.2f, 1.2f, c);
    }
  }
  void Wind(float x0, float y0, Rgb c) {
    for (int k = 0; k < 3; ++k) {
      float y = y0 + oy + k * 8.f, len = 30.f - k * 6.f;
      float px = x0, py = y;
      for (int i = 1; i <= 12; ++i) {
        float t = i / 12.f;
        float x = x0 + t * len, yy = y + std::sin(t * kPi * 1.2f) * -2.f;
        Stroke(img, px, py, x, yy, 1.2f, 1.2f, c);
        px = x, py = yy;
      }
      float ccx = px, ccy = py - 3.5f;  // curl at the end
      for (int i = 1; i <= 8; ++i) {
        float a = kPi / 2 - i * kPi * 1.4f / 8;
        float x = ccx + std::cos(a) * 3.5f, yy = ccy + std::sin(a) * 3.5f;
        Stroke(img, px, py, x, yy, 1.1f, 1.1f, c);
        px = x, py = yy;
      }
    }
  }
  void Spiral(float cx, float cy, float r, Rgb c) {
    cy += oy;
    for (int arm = 0; arm < 2; ++arm) {
      float px = cx, py = cy;
      for (int i = 1; i <= 30; ++i) {
        float t = i / 30.f, a = arm * kPi + t * kPi * 1.6f;
        float x = cx + std::cos(a) * r * t, y = cy + std::sin(a) * r * t;
        Stroke(img, px, py, x, y, 1.2f + 2.2f * t, 1.2f + 2.2f * t, c);
        px = x, py = y;
      }
    }
    FillCircle(img, cx, cy, 3.f, ground);
  }
  void Tornado(float cx, float y0) {
    for (int i = 0; i < 8; ++i) {
      float w = 17.f - i * 2.f, y = y0 + oy + i * 4.5f, x = cx + std::sin(i * 0.7f) * 2.5f;
      Stroke(img, x - w, y, x + w, y, 1.7f, 1.7f, Mix(Hex(0x9098AC), Hex(0x6C7488), i / 8.f));
    }
  }
  void Thermometer(float cx, float y0, Rgb liquid) {
    float y = y0 + oy;
    Stroke(img, cx, y, cx, y + 26, 4.f, 4.f, Hex(0xD8DEE8));
    FillCircle(img, cx, y + 30, 6.5f, Hex(0xD8DEE8));
    Stroke(img, cx, y + 10, cx, y + 28, 2.f, 2.f, liquid);
    FillCircle(img, cx, y + 30, 4.8f, liquid);
  }
  void Dust(float x0, float y0) {
    Rng rng(static_cast<std::uint64_t>(y0 * 7 + x0));
    for (int i = 0; i < 22; ++i)
      FillCircle(img, x0 + rng.Range(0, 36), y0 + oy + rng.Range(0, 16), rng.Range(0.8f, 1.6f), Hex(0xC8A46E), 0.9f);
  }
  void Smoke(float x0, float y0) {
    for (int k = 0; k < 3; ++k) {
      float px = x0 + k * 10.f, py = y0 + oy + 26;
      for (int i = 1; i <= 14; ++i) {
        float t = i / 14.f;
        float x = x0 + k * 10.f + std::sin(t * kPi * 2 + k) * 4.f, y = y0 + oy + 26 - t * 26;
        Stroke(img, px, py, x, y, 2.2f - t, 2.2f - t, Mix(Hex(0x8C8478), Hex(0xB8B0A4), t));
        px = x, py = y;
      }
    }
  }
  void Text(const std::string& s) {
    float h = 12.f, w = TextWidth(h, s);
    DrawText(img, (kIconSize - w) / 2, oy + 20, h, s, Hex(0x98A2B8), 1.2f);
  }
};

void DrawIcon(Icon& k, int code) {
  switch (code) {
    case 0: k.Tornado(26, 8); break;
    case 1: k.Spiral(24, 20, 13, Hex(0x8C96AC)); k.Rain(16, 36, 4, 9); break;
    case 2: k.Spiral(26, 26, 19, Hex(0x9AA2B8)); break;
    case 3: k.DarkCloud(26, 18, 1.05f); k.Bolt(14, 27, 1.f); k.Bolt(30, 27, 0.9f); k.Rain(40, 32, 1, 10); k.Rain(8, 33, 1, 9); break;
    case 4: k.DarkCloud(26, 19, 1.05f); k.Bolt(22, 28, 1.05f); break;
    case 5: k.GreyCloud(26, 19, 1.f); k.Rain(14, 34, 2, 9); k.Flakes(30, 37, 2); break;
    case 6: k.GreyCloud(26, 19, 1.f); k.Rain(12, 34, 3, 9); k.Sleet(33, 38, 2); break;
    case 7: k.GreyCloud(26, 19, 1.f); k.Flakes(12, 36, 2); k.Sleet(32, 38, 2); break;
    case 8: k.GreyCloud(26, 19, 1.f); k.Drizzle(14, 37, 5, Hex(0xB8E0FA)); k.Flake(42, 44, 2.5f); break;
    case 9: k.GreyCloud(26, 19, 1.f); k.Drizzle(14, 37, 5); break;
    case 10: k.GreyCloud(26, 19, 1.f); k.Rain(14, 34, 3, 10, Hex(0xB4DEFA)); k.Flake(40, 44, 2.5f); break;
    case 11: case 12: k.GreyCloud(26, 19, 1.f); k.Rain(13, 34, 4, 11); break;
    case 13: k.LightCloud(26, 20, 0.95f); k.Flakes(18, 38, 2, 2.6f); break;
    case 14: k.LightCloud(26, 19, 1.f); k.Flakes(14, 36, 3); break;
    case 15: k.Wind(8, 12, Hex(0xB8C8DC)); k.Flakes(14, 40, 3, 2.6f); break;
    case 16: k.GreyCloud(26, 18, 1.f); k.Flakes(10, 34, 4); k.Flake(26, 46, 3.f); break;
    case 17: k.GreyCloud(26, 19, 1.f); k.Hail(14, 37, 4); break;
    case 18: k.GreyCloud(26, 19, 1.f); k.Sleet(12, 36, 5); break;
    case 19: k.Sun(26, 20, 9, false); k.Dust(8, 28); break;
    case 20: k.GreyCloud(26, 16, 0.9f); k.Lines(8, 30, 4, 36, Hex(0xB4BAC6)); break;
    case 21: k.Sun(26, 17, 9); k.Lines(8, 32, 3, 36, Hex(0xC8BCA8)); break;
    case 22: k.Smoke(14, 12); k.Lines(8, 42, 1, 36, Hex(0x9C9488)); break;
    case 23: k.LightCloud(30, 15, 0.7f); k.Wind(6, 26, Hex(0xC4D2E4)); break;
    case 24: k.Wind(8, 14, Hex(0xC4D2E4)); break;
    case 25: k.Thermometer(20, 8, Hex(0x6AA8F0)); k.Flake(38, 18, 5.f); break;
    case 26: k.GreyCloud(20, 18, 0.75f); k.LightCloud(28, 28, 1.f); break;
    case 27: k.Moon(16, 14, 9); k.GreyCloud(29, 29, 1.f); break;
    case 28: k.Sun(16, 15, 8); k.LightCloud(29, 29, 1.f); break;
    case 29: k.Moon(20, 20, 11); k.LightCloud(33, 34, 0.7f); break;
    case 30: k.Sun(21, 19, 10); k.LightCloud(33, 34, 0.7f); break;
    case 31: k.Moon(24, 26, 13); k.Star(40, 10, 3); k.Star(44, 30, 2); k.Star(9, 12, 2); break;
    case 32: k.Sun(26, 26, 12); break;
    case 33: k.Moon(24, 26, 11); k.Star(40, 12, 2.5f); break;
    case 34: k.Sun(26, 26, 10); break;
    case 35: k.GreyCloud(26, 18, 1.f); k.Rain(10, 34, 2, 10); k.Hail(30, 38, 2); break;
    case 36: k.Thermometer(18, 8, Hex(0xE8664C)); k.Sun(37, 17, 6); break;
    case 37: k.Sun(16, 14, 8); k.DarkCloud(29, 25, 0.85f); k.Bolt(27, 32, 0.8f); break;
    case 38: case 39: k.Sun(16, 14, 8); k.DarkCloud(29, 25, 0.85f); k.Bolt(22, 32, 0.8f); k.Rain(38, 37, 1, 9); break;
    case 40: k.Sun(16, 14, 8); k.GreyCloud(29, 25, 0.85f); k.Rain(20, 38, 3, 9); break;
    case 41: case 43: k.DarkCloud(26, 16, 1.f); k.Flakes(8, 32, 5, 3.2f); k.Flakes(12, 43, 4, 2.8f); break;
    case 42: k.Sun(16, 14, 8); k.LightCloud(29, 25, 0.85f); k.Flakes(20, 40, 3, 2.8f); break;
    case 44: k.Sun(18, 17, 10); k.LightCloud(31, 31, 0.85f); break;
    case 45: k.DarkCloud(26, 18, 1.f); k.Bolt(20, 27, 0.95f); k.Rain(34, 33, 2, 10); break;
    case 46: k.GreyCloud(26, 19, 1.f); k.Flakes(12, 37, 4); break;
    case 47: k.Sun(16, 14, 8); k.DarkCloud(29, 25, 0.85f); k.Bolt(20, 32, 0.75f); k.Rain(36, 37, 2, 8); break;
    default: k.Text("N/A"); break;
  }
}

}  // namespace

Image WeatherIconStrip(Rgb ground) {
  Image img(kIconSize, kIconSize * kIconCount, ground);
  for (int code = 0; code < kIconCount; ++code) {
    // Each icon is painted on its own so no element strays into a neighbour.
    Image one(kIconSize, kIconSize, ground);
    Icon k{one, 0.f, ground};
    DrawIcon(k, code);
    for (int y = 0; y < kIconSize; ++y)
      for (int x = 0; x < kIconSize; ++x) img.at(x, code * kIconSize + y) = one.at(x, y);
  }
  return img;
}

}  // namespace art
