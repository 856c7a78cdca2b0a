// Shared ground of the art generators: a float RGBA canvas, a seeded random
// source, value noise, soft shapes and the file writers. Everything is
// deterministic so the same command rewrites byte-identical assets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Rgb {
  float r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r / 255.f, a.g * b.g / 255.f, a.b * b.b / 255.f}; }
Rgb Mix(Rgb a, Rgb b, float t);
Rgb Hex(std::uint32_t rgb);
float Clamp01(float v);
float Smooth(float e0, float e1, float x);
float Luma(Rgb c);

// Colour plus coverage; alpha 1 everywhere unless a layer sets it.
struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> px;
  std::vector<float> a;
  Image() = default;
  Image(int width, int height, Rgb fill = {}, float alpha = 1.f);
  Rgb& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
  const Rgb& at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
  float& alpha(int x, int y) { return a[static_cast<std::size_t>(y) * w + x]; }
  float alpha(int x, int y) const { return a[static_cast<std::size_t>(y) * w + x]; }
  Rgb Sample(float x, float y) const;  // bilinear, clamped at the edges
  // Paints c over the pixel with coverage cov, raising the pixel's alpha.
  void Blend(int x, int y, Rgb c, float cov);
};

// Small counter-based generator (splitmix64): no library distributions, so
// the numbers never depend on the standard library in use.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  float Uniform();                     // [0, 1)
  float Range(float lo, float hi);
  int Int(int lo, int hi);             // inclusive
  float Gauss();

 private:
  std::uint64_t state_;
};

// Value noise on a lattice with smooth interpolation, seeded.
float Noise2(float x, float y, std::uint32_t seed);
float Fbm(float x, float y, int octaves, std::uint32_t seed);  // about -1..1
// Noise whose x lattice wraps every `period` units (seamless rows).
float NoisePeriodicX(float x, float y, int period, std::uint32_t seed);

// Soft elliptical dab: centre, radii, angle (radians), colour, opacity.
void Dab(Image& img, float cx, float cy, float rx, float ry, float angle, Rgb c, float opacity);
// Antialiased convex or concave polygon (even-odd), 4x4 supersampled.
void FillPolygon(Image& img, const std::vector<float>& xy, Rgb c, float opacity = 1.f);
void FillCircle(Image& img, float cx, float cy, float r, Rgb c, float opacity = 1.f);
// Capsule between two points with a radius that tapers from r0 to r1.
void Stroke(Image& img, float x0, float y0, float x1, float y1, float r0, float r1, Rgb c,
            float opacity = 1.f);

Image Resize(const Image& src, int w, int h);  // area average down, bilinear up
void BoxBlur(Image& img, int rx, int ry);

// 8-bit indexed picture; palette entries are 0xRRGGBB.
struct Indexed {
  int w = 0, h = 0;
  std::vector<std::uint32_t> palette;
  std::vector<std::uint8_t> idx;
};
// Builds a palette of at most `colours` entries by median cut. When keyBlack is
// set, entry 0 is pure black and is used exactly where alpha < 0.5; every other
// pixel maps to a non-black entry.
Indexed Quantize(const Image& img, int colours, bool keyBlack, bool dither);

bool WriteBmp8(const std::string& path, const Indexed& pic);
bool WriteBmp24(const std::string& path, const Image& img);
bool WriteJpeg(const std::string& path, const Image& img, int quality);
bool WriteGif(const std::string& path, const Indexed& pic);
bool WritePng(const std::string& path, const Image& img);

// Readers for the contact sheet: decode what the writers produced.
bool ReadAny(const std::string& path, Image& out, std::string& kind);

std::uint8_t ToByte(float v);

}  // namespace art
