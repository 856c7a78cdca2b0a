#include "ArtCore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

namespace art {

Rgb Mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }
Rgb Hex(std::uint32_t rgb) {
  return {static_cast<float>((rgb >> 16) & 0xFF), static_cast<float>((rgb >> 8) & 0xFF),
          static_cast<float>(rgb & 0xFF)};
}
float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float Smooth(float e0, float e1, float x) {
  float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
float Luma(Rgb c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }
std::uint8_t ToByte(float v) {
  v = std::round(v);
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

Image::Image(int width, int height, Rgb fill, float alpha)
    : w(width), h(height), px(static_cast<std::size_t>(width) * height, fill),
      a(static_cast<std::size_t>(width) * height, alpha) {}

Rgb Image::Sample(float x, float y) const {
  x = std::clamp(x, 0.f, static_cast<float>(w - 1));
  y = std::clamp(y, 0.f, static_cast<float>(h - 1));
  int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
  float fx = x - x0, fy = y - y0;
  Rgb top = Mix(at(x0, y0), at(x1, y0), fx);
  Rgb bot = Mix(at(x0, y1), at(x1, y1), fx);
  return Mix(top, bot, fy);
}

void Image::Blend(int x, int y, Rgb c, float cov) {
  if (x < 0 || y < 0 || x >= w || y >= h || cov <= 0) return;
  cov = std::min(cov, 1.f);
  std::size_t i = static_cast<std::size_t>(y) * w + x;
  float old = a[i];
  float na = old + cov * (1 - old);
  // Colour stays un-premultiplied: a dab on empty ground takes its own colour.
  if (na > 0) px[i] = (px[i] * (old * (1 - cov)) + c * cov) * (1.f / (old * (1 - cov) + cov));
  a[i] = na;
}

std::uint64_t Rng::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
float Rng::Uniform() { return static_cast<float>(Next() >> 40) / static_cast<float>(1ull << 24); }
float Rng::Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }
int Rng::Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
float Rng::Gauss() {
  float s = 0;
  for (int i = 0; i < 4; ++i) s += Uniform();
  return (s - 2.f) * 1.732f;
}

namespace {
std::uint32_t Hash(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^
                    seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return h;
}
float Lattice(std::int32_t x, std::int32_t y, std::uint32_t seed) {
  return static_cast<float>(Hash(x, y, seed) & 0xFFFFFF) / static_cast<float>(0x7FFFFF) - 1.f;
}
float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
}  // namespace

float Noise2(float x, float y, std::uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
  float tx = Fade(x - fx), ty = Fade(y - fy);
  float a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
  float c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int octaves, std::uint32_t seed) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * Noise2(x, y, seed + static_cast<std::uint32_t>(o) * 101u);
    norm += amp;
    x = x * 2.03f + 17.1f;
    y = y * 2.03f + 5.3f;
    amp *= 0.5f;
  }
  return sum / norm;
}

float NoisePeriodicX(float x, float y, int period, std::uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
  auto wrap = [period](std::int32_t v) { return ((v % period) + period) % period; };
  float tx = Fade(x - fx), ty = Fade(y - fy);
  float a = Lattice(wrap(ix), iy, seed), b = Lattice(wrap(ix + 1), iy, seed);
  float c = Lattice(wrap(ix), iy + 1, seed), d = Lattice(wrap(ix + 1), iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

void Dab(Image& img, float cx, float cy, float rx, float ry, float angle, Rgb c, float opacity) {
  float ext = std::max(rx, ry) + 1.5f;
  int x0 = static_cast<int>(std::floor(cx - ext)), x1 = static_cast<int>(std::ceil(cx + ext));
  int y0 = static_cast<int>(std::floor(cy - ext)), y1 = static_cast<int>(std::ceil(cy + ext));
  float ca = std::cos(angle), sa = std::sin(angle);
  for (int y = std::max(0, y0); y <= std::min(img.h - 1, y1); ++y)
    for (int x = std::max(0, x0); x <= std::min(img.w - 1, x1); ++x) {
      float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      float u = (dx * ca + dy * sa) / rx, v = (-dx * sa + dy * ca) / ry;
      float d = std::sqrt(u * u + v * v);
      float cov = Clamp01((1.f - d) * std::min(rx, ry) + 0.5f);
      if (cov > 0) img.Blend(x, y, c, cov * opacity);
    }
}

void FillPolygon(Image& img, const std::vector<float>& xy, Rgb c, float opacity) {
  std::size_t n = xy.size() / 2;
  if (n < 3) return;
  float minx = xy[0], maxx = xy[0], miny = xy[1], maxy = xy[1];
  for (std::size_t i = 0; i < n; ++i) {
    minx = std::min(minx, xy[2 * i]);
    maxx = std::max(maxx, xy[2 * i]);
    miny = std::min(miny, xy[2 * i + 1]);
    maxy = std::max(maxy, xy[2 * i + 1]);
  }
  int x0 = std::max(0, static_cast<int>(std::floor(minx))), x1 = std::min(img.w - 1, static_cast<int>(maxx));
  int y0 = std::max(0, static_cast<int>(std::floor(miny))), y1 = std::min(img.h - 1, static_cast<int>(maxy));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          float px = x + (sx + 0.5f) / 4.f, py = y + (sy + 0.5f) / 4.f;
          bool in = false;
          for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
          }
          inside += in;
        }
      if (inside) img.Blend(x, y, c, opacity * inside / 16.f);
    }
}

void FillCircle(Image& img, float cx, float cy, float r, Rgb c, float opacity) {
  int x0 = static_cast<int>(std::floor(cx - r - 1)), x1 = static_cast<int>(std::ceil(cx + r + 1));
  int y0 = static_cast<int>(std::floor(cy - r - 1)), y1 = static_cast<int>(std::ceil(cy + r + 1));
  for (int y = std::max(0, y0); y <= std::min(img.h - 1, y1); ++y)
    for (int x = std::max(0, x0); x <= std::min(img.w - 1, x1); ++x) {
      float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      float cov = Clamp01(r - d + 0.5f);
      if (cov > 0) img.Blend(x, y, c, cov * opacity);
    }
}

void Stroke(Image& img, float x0, float y0, float x1, float y1, float r0, float r1, Rgb c, float opacity) {
  float rmax = std::max(r0, r1) + 1;
  int bx0 = static_cast<int>(std::floor(std::min(x0, x1) - rmax)), bx1 = static_cast<int>(std::ceil(std::max(x0, x1) + rmax));
  int by0 = static_cast<int>(std::floor(std::min(y0, y1) - rmax)), by1 = static_cast<int>(std::ceil(std::max(y0, y1) + rmax));
  float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
  for (int y = std::max(0, by0); y <= std::min(img.h - 1, by1); ++y)
    for (int x = std::max(0, bx0); x <= std::min(img.w - 1, bx1); ++x) {
      float px = x + 0.5f - x0, py = y + 0.5f - y0;
      float t = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0.f;
      float d = std::hypot(px - t * dx, py - t * dy);
      float r = r0 + (r1 - r0) * t;
      float cov = Clamp01(r - d + 0.5f);
      if (cov > 0) img.Blend(x, y, c, cov * opacity);
    }
}

Image Resize(const Image& src, int w, int h) {
  Image out(w, h);
  float sx = static_cast<float>(src.w) / w, sy = static_cast<float>(src.h) / h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (sx <= 1 && sy <= 1) {
        out.at(x, y) = src.Sample((x + 0.5f) * sx - 0.5f, (y + 0.5f) * sy - 0.5f);
        continue;
      }
      float fx0 = x * sx, fx1 = (x + 1) * sx, fy0 = y * sy, fy1 = (y + 1) * sy;
      Rgb acc{};
      float wsum = 0, asum = 0;
      for (int yy = static_cast<int>(fy0); yy < std::min(src.h, static_cast<int>(std::ceil(fy1))); ++yy)
        for (int xx = static_cast<int>(fx0); xx < std::min(src.w, static_cast<int>(std::ceil(fx1))); ++xx) {
          float wx = std::min<float>(xx + 1, fx1) - std::max<float>(xx, fx0);
          float wy = std::min<float>(yy + 1, fy1) - std::max<float>(yy, fy0);
          float wgt = wx * wy;
          acc = acc + src.at(xx, yy) * wgt;
          asum += src.alpha(xx, yy) * wgt;
          wsum += wgt;
        }
      out.at(x, y) = acc * (1.f / wsum);
      out.alpha(x, y) = asum / wsum;
    }
  return out;
}

void BoxBlur(Image& img, int rx, int ry) {
  std::vector<Rgb> line;
  if (rx > 0)
    for (int y = 0; y < img.h; ++y) {
      line.assign(img.px.begin() + static_cast<std::ptrdiff_t>(y) * img.w,
                  img.px.begin() + static_cast<std::ptrdiff_t>(y + 1) * img.w);
      for (int x = 0; x < img.w; ++x) {
        Rgb s{};
        for (int k = -rx; k <= rx; ++k) s = s + line[std::clamp(x + k, 0, img.w - 1)];
        img.at(x, y) = s * (1.f / (2 * rx + 1));
      }
    }
  if (ry > 0)
    for (int x = 0; x < img.w; ++x) {
      line.resize(img.h);
      for (int y = 0; y < img.h; ++y) line[y] = img.at(x, y);
      for (int y = 0; y < img.h; ++y) {
        Rgb s{};
        for (int k = -ry; k <= ry; ++k) s = s + line[std::clamp(y + k, 0, img.h - 1)];
        img.at(x, y) = s * (1.f / (2 * ry + 1));
      }
    }
}

namespace {
struct Box {
  std::vector<std::array<int, 4>> cols;  // r, g, b, count
};

std::uint32_t Nearest(const std::vector<std::uint32_t>& pal, int first, int r, int g, int b) {
  std::uint32_t best = static_cast<std::uint32_t>(first);
  long bestd = -1;
  for (std::size_t i = static_cast<std::size_t>(first); i < pal.size(); ++i) {
    int pr = (pal[i] >> 16) & 0xFF, pg = (pal[i] >> 8) & 0xFF, pb = pal[i] & 0xFF;
    long d = 3L * (pr - r) * (pr - r) + 4L * (pg - g) * (pg - g) + 2L * (pb - b) * (pb - b);
    if (bestd < 0 || d < bestd) {
      bestd = d;
      best = static_cast<std::uint32_t>(i);
    }
  }
  return best;
}
}  // namespace

Indexed Quantize(const Image& img, int colours, bool keyBlack, bool dither) {
  Indexed out;
  out.w = img.w;
  out.h = img.h;
  // Histogram at 6 bits per channel keeps the median cut fast and stable.
  std::vector<int> hist(1 << 18, 0);
  auto bin = [](Rgb c) {
    return (ToByte(c.r) >> 2) << 12 | (ToByte(c.g) >> 2) << 6 | (ToByte(c.b) >> 2);
  };
  for (std::size_t i = 0; i < img.px.size(); ++i)
    if (!keyBlack || img.a[i] >= 0.5f) hist[bin(img.px[i])]++;
  std::vector<Box> boxes(1);
  for (int k = 0; k < (1 << 18); ++k)
    if (hist[k]) boxes[0].cols.push_back({(k >> 12) & 63, (k >> 6) & 63, k & 63, hist[k]});
  int target = keyBlack ? colours - 1 : colours;
  while (static_cast<int>(boxes.size()) < target) {
    // Split the box with the widest weighted range.
    int pick = -1, axis = 0;
    double bestScore = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].cols.size() < 2) continue;
      std::array<int, 3> lo{63, 63, 63}, hi{0, 0, 0};
      long count = 0;
      for (auto& c : boxes[i].cols) {
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], c[a]), hi[a] = std::max(hi[a], c[a]);
        count += c[3];
      }
      for (int a = 0; a < 3; ++a) {
        double score = static_cast<double>(hi[a] - lo[a]) * std::sqrt(static_cast<double>(count));
        if (score > bestScore) bestScore = score, pick = static_cast<int>(i), axis = a;
      }
    }
    if (pick < 0) break;
    auto& cols = boxes[pick].cols;
    std::sort(cols.begin(), cols.end(), [axis](const auto& x, const auto& y) {
      return x[axis] != y[axis] ? x[axis] < y[axis] : (x[0] * 4096 + x[1] * 64 + x[2]) < (y[0] * 4096 + y[1] * 64 + y[2]);
    });
    long total = 0, half = 0;
    for (auto& c : cols) total += c[3];
    std::size_t cut = 1;
    for (std::size_t i = 0; i + 1 < cols.size(); ++i) {
      half += cols[i][3];
      cut = i + 1;
      if (half * 2 >= total) break;
    }
    Box other;
    other.cols.assign(cols.begin() + static_cast<std::ptrdiff_t>(cut), cols.end());
    cols.resize(cut);
    boxes.push_back(std::move(other));
  }
  if (keyBlack) out.palette.push_back(0);
  for (auto& b : boxes) {
    double r = 0, g = 0, bl = 0, n = 0;
    for (auto& c : b.cols) r += (c[0] * 4 + 2) * c[3], g += (c[1] * 4 + 2) * c[3], bl += (c[2] * 4 + 2) * c[3], n += c[3];
    if (n == 0) continue;
    int ir = static_cast<int>(r / n), ig = static_cast<int>(g / n), ib = static_cast<int>(bl / n);
    if (keyBlack && ir + ig + ib == 0) ib = 1;  // never a second black: it would be keyed out
    out.palette.push_back(static_cast<std::uint32_t>(ir << 16 | ig << 8 | ib));
  }
  if (out.palette.empty()) out.palette.push_back(0);
  int first = keyBlack && out.palette.size() > 1 ? 1 : 0;
  std::vector<int> cache(1 << 18, -1);
  auto map = [&](int r, int g, int b) {
    int k = (r >> 2) << 12 | (g >> 2) << 6 | (b >> 2);
    if (cache[k] < 0) cache[k] = static_cast<int>(Nearest(out.palette, first, (r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2));
    return static_cast<std::uint8_t>(cache[k]);
  };
  out.idx.assign(static_cast<std::size_t>(img.w) * img.h, 0);
  std::vector<Rgb> err(static_cast<std::size_t>(img.w + 2) * 2);
  for (int y = 0; y < img.h; ++y) {
    Rgb* cur = &err[static_cast<std::size_t>(y & 1) * (img.w + 2) + 1];
    Rgb* nxt = &err[static_cast<std::size_t>((y + 1) & 1) * (img.w + 2) + 1];
    for (int x = -1; x <= img.w; ++x) nxt[x] = {};
    for (int x = 0; x < img.w; ++x) {
      std::size_t i = static_cast<std::size_t>(y) * img.w + x;
      if (keyBlack && img.a[i] < 0.5f) continue;
      Rgb want = img.px[i];
      if (dither) want = want + cur[x] * 0.85f;
      std::uint8_t k = map(ToByte(want.r), ToByte(want.g), ToByte(want.b));
      out.idx[i] = k;
      if (dither) {
        Rgb got = Hex(out.palette[k]);
        Rgb e = want - got;
        cur[x + 1] = cur[x + 1] + e * (7 / 16.f);
        nxt[x - 1] = nxt[x - 1] + e * (3 / 16.f);
        nxt[x] = nxt[x] + e * (5 / 16.f);
        nxt[x + 1] = nxt[x + 1] + e * (1 / 16.f);
      }
    }
  }
  return out;
}

namespace {
void Put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}
std::vector<std::uint8_t> BmpHeader(int w, int h, int bpp, std::uint32_t paletteEntries) {
  std::uint32_t stride = static_cast<std::uint32_t>((w * bpp / 8 + 3) & ~3);
  std::uint32_t offset = 14 + 40 + paletteEntries * 4;
  std::vector<std::uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  Put32(v, offset + stride * static_cast<std::uint32_t>(h));
  Put32(v, 0);
  Put32(v, offset);
  Put32(v, 40);
  Put32(v, static_cast<std::uint32_t>(w));
  Put32(v, static_cast<std::uint32_t>(h));  // positive: rows stored bottom-up
  Put16(v, 1);
  Put16(v, static_cast<unsigned>(bpp));
  Put32(v, 0);  // BI_RGB
  Put32(v, stride * static_cast<std::uint32_t>(h));
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, paletteEntries);
  Put32(v, 0);
  return v;
}
}  // namespace

bool WriteBmp8(const std::string& path, const Indexed& pic) {
  auto v = BmpHeader(pic.w, pic.h, 8, static_cast<std::uint32_t>(pic.palette.size()));
  for (auto c : pic.palette) {
    v.push_back(static_cast<std::uint8_t>(c));
    v.push_back(static_cast<std::uint8_t>(c >> 8));
    v.push_back(static_cast<std::uint8_t>(c >> 16));
    v.push_back(0);
  }
  int stride = (pic.w + 3) & ~3;
  for (int y = pic.h - 1; y >= 0; --y) {
    for (int x = 0; x < stride; ++x) v.push_back(x < pic.w ? pic.idx[static_cast<std::size_t>(y) * pic.w + x] : 0);
  }
  return WriteFile(path, v);
}

bool WriteBmp24(const std::string& path, const Image& img) {
  auto v = BmpHeader(img.w, img.h, 24, 0);
  int stride = (img.w * 3 + 3) & ~3;
  for (int y = img.h - 1; y >= 0; --y) {
    for (int x = 0; x < img.w; ++x) {
      const Rgb& c = img.at(x, y);
      v.push_back(ToByte(c.b));
      v.push_back(ToByte(c.g));
      v.push_back(ToByte(c.r));
    }
    for (int x = img.w * 3; x < stride; ++x) v.push_back(0);
  }
  return WriteFile(path, v);
}

bool WriteJpeg(const std::string& path, const Image& img, int quality) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = static_cast<JDIMENSION>(img.w);
  cinfo.image_height = static_cast<JDIMENSION>(img.h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Full-resolution colour: the background and the water strip are encoded
  // separately and must agree at their shared boundary.
  for (int c = 0; c < cinfo.num_components; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(img.w) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < img.w; ++x) {
      const Rgb& c = img.at(x, y);
      row[3 * x] = ToByte(c.r);
      row[3 * x + 1] = ToByte(c.g);
      row[3 * x + 2] = ToByte(c.b);
    }
    JSAMPROW rp = row.data();
    jpeg_write_scanlines(&cinfo, &rp, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(f) == 0;
}

namespace {
int GifToVector(GifFileType* gif, const GifByteType* bytes, int n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + n);
  return n;
}
}  // namespace

bool WriteGif(const std::string& path, const Indexed& pic) {
  int err = 0;
  std::vector<std::uint8_t> bytes;
  GifFileType* gif = EGifOpen(&bytes, GifToVector, &err);
  if (!gif) return false;
  std::vector<GifColorType> cols(256);
  for (std::size_t i = 0; i < pic.palette.size() && i < 256; ++i)
    cols[i] = {static_cast<GifByteType>(pic.palette[i] >> 16), static_cast<GifByteType>(pic.palette[i] >> 8),
               static_cast<GifByteType>(pic.palette[i])};
  ColorMapObject* map = GifMakeMapObject(256, cols.data());
  bool ok = EGifPutScreenDesc(gif, pic.w, pic.h, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, pic.w, pic.h, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<std::size_t>(pic.w));
  for (int y = 0; ok && y < pic.h; ++y) {
    std::memcpy(line.data(), &pic.idx[static_cast<std::size_t>(y) * pic.w], line.size());
    ok = EGifPutLine(gif, line.data(), pic.w) == GIF_OK;
  }
  GifFreeMapObject(map);
  ok = EGifCloseFile(gif, &err) == GIF_OK && ok;
  return ok && WriteFile(path, bytes);
}

bool WritePng(const std::string& path, const Image& img) {
  png_image pi;
  std::memset(&pi, 0, sizeof pi);
  pi.version = PNG_IMAGE_VERSION;
  pi.width = static_cast<png_uint_32>(img.w);
  pi.height = static_cast<png_uint_32>(img.h);
  pi.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(img.w) * img.h * 3);
  for (std::size_t i = 0; i < img.px.size(); ++i) {
    buf[3 * i] = ToByte(img.px[i].r);
    buf[3 * i + 1] = ToByte(img.px[i].g);
    buf[3 * i + 2] = ToByte(img.px[i].b);
  }
  return png_image_write_to_file(&pi, path.c_str(), 0, buf.data(), 0, nullptr) != 0;
}

namespace {
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t o) {
  return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | static_cast<std::uint32_t>(b[o + 3]) << 24;
}

bool ReadBmp(const std::vector<std::uint8_t>& b, Image& out) {
  if (b.size() < 54) return false;
  std::uint32_t offset = Le32(b, 10);
  int w = static_cast<int>(Le32(b, 18)), h = static_cast<int>(Le32(b, 22));
  int bpp = b[28];
  std::uint32_t used = Le32(b, 46);
  if (used == 0) used = 256;
  int stride = (w * bpp / 8 + 3) & ~3;
  out = Image(w, h);
  for (int y = 0; y < h; ++y) {
    std::size_t row = offset + static_cast<std::size_t>(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      if (bpp == 8) {
        std::size_t p = 54 + 4 * static_cast<std::size_t>(b[row + x]);
        out.at(x, y) = {static_cast<float>(b[p + 2]), static_cast<float>(b[p + 1]), static_cast<float>(b[p])};
      } else {
        std::size_t p = row + 3 * static_cast<std::size_t>(x);
        out.at(x, y) = {static_cast<float>(b[p + 2]), static_cast<float>(b[p + 1]), static_cast<float>(b[p])};
      }
    }
  }
  return true;
}

bool ReadJpeg(const std::string& path, Image& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out = Image(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  std::vector<JSAMPLE> row(static_cast<std::size_t>(out.w) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW rp = row.data();
    jpeg_read_scanlines(&cinfo, &rp, 1);
    for (int x = 0; x < out.w; ++x)
      out.at(x, y) = {static_cast<float>(row[3 * x]), static_cast<float>(row[3 * x + 1]), static_cast<float>(row[3 * x + 2])};
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  return true;
}

bool ReadGif(const std::string& path, Image& out) {
  int err = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
  if (!gif) return false;
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    DGifCloseFile(gif, &err);
    return false;
  }
  const SavedImage& im = gif->SavedImages[0];
  ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
  out = Image(gif->SWidth, gif->SHeight);
  for (int y = 0; y < im.ImageDesc.Height; ++y)
    for (int x = 0; x < im.ImageDesc.Width; ++x) {
      GifColorType c = map->Colors[im.RasterBits[static_cast<std::size_t>(y) * im.ImageDesc.Width + x]];
      out.at(x + im.ImageDesc.Left, y + im.ImageDesc.Top) = {static_cast<float>(c.Red), static_cast<float>(c.Green),
                                                              static_cast<float>(c.Blue)};
    }
  DGifCloseFile(gif, &err);
  return true;
}
}  // namespace

bool ReadAny(const std::string& path, Image& out, std::string& kind) {
  std::ifstream f(path, std::ios::binary);
  std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (b.size() < 4) return false;
  if (b[0] == 'B' && b[1] == 'M') return kind = "BMP", ReadBmp(b, out);
  if (b[0] == 0xFF && b[1] == 0xD8) return kind = "JPEG", ReadJpeg(path, out);
  if (b[0] == 'G' && b[1] == 'I') return kind = "GIF", ReadGif(path, out);
  return false;
}

}  // namespace art
