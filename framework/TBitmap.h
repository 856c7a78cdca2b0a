// A 32-bit XRGB bitmap (0x00RRGGBB, top row first). Copies are deep; each
// bitmap has its own canvas.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/TCanvas.h"

namespace framework {

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height);
  // Takes width*height XRGB pixels.
  TBitmap(int width, int height, std::vector<std::uint32_t>&& pixels);
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;
  ~TBitmap();

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  // New size, all black.
  void SetSize(int width, int height);

  std::uint32_t* ScanLine(int y) { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
  const std::uint32_t* ScanLine(int y) const { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
  std::uint32_t* Pixels() { return FPixels.data(); }
  const std::uint32_t* Pixels() const { return FPixels.data(); }

  TCanvas* Canvas();
  // A canvas to copy from.
  const TCanvas* Canvas() const;

  PixelSource Source() const { return PixelSource{FPixels.data(), FWidth, FHeight, FWidth, nullptr}; }
  PixelTarget Target() { return PixelTarget{FPixels.data(), FWidth, FHeight, FWidth}; }

 private:
  std::vector<std::uint32_t> FPixels;
  int FWidth = 0, FHeight = 0;
  mutable std::unique_ptr<TCanvas> FCanvas;  // made on first use
};

}  // namespace framework
