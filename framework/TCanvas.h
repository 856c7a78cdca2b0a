// A canvas draws into 32-bit XRGB pixels: those of a TBitmap, or those behind
// a surface's drawing context once its handle is set. Copies between
// rectangles of different sizes stretch by nearest neighbour, so a keyed
// picture keeps its key colour exact.
#pragma once

#include <cstdint>

#include "platform/DrawingContext.h"

namespace framework {

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};
constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }

class TBitmap;
class TPicture;

// Pixels a canvas may write: width x height, pitch pixels per row.
struct PixelTarget {
  std::uint32_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
};
struct PixelSource {
  const std::uint32_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
  const std::uint8_t* opaque = nullptr;  // per pixel, 0 = draw nothing; null = all opaque
};

// Copies source rectangle `from` of src into rectangle `to` of dst, nearest
// neighbour, clipped to both; pixels outside src are not drawn.
void StretchCopy(const PixelTarget& dst, const TRect& to, const PixelSource& src, const TRect& from);

class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // Binds the canvas to a drawing context (null unbinds); the context wins over a bitmap.
  void SetHandle(platform::HDC dc) { FHandle = dc; }
  platform::HDC Handle() const { return FHandle; }
  int Width() const { return Target().width; }
  int Height() const { return Target().height; }

  void CopyRect(const TRect& dest, const TCanvas& src, const TRect& source);
  void Draw(int x, int y, const TBitmap& bitmap);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);
  void Draw(int x, int y, const TPicture& picture);
  void StretchDraw(const TRect& dest, const TPicture& picture);

  // XRGB value of a pixel; 0 outside the canvas.
  std::uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t xrgb);

 private:
  PixelTarget Target() const;

  TBitmap* FBitmap = nullptr;
  platform::HDC FHandle = nullptr;
};

}  // namespace framework
