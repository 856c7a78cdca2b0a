#include "framework/TBitmap.h"

#include <stdexcept>

#include "platform/Allocator.h"

namespace framework {

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(int width, int height, std::vector<std::uint32_t>&& pixels) {
  if (width < 0 || height < 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    throw std::invalid_argument("TBitmap: pixel count does not match the size");
  FPixels = std::move(pixels);
  FWidth = width;
  FHeight = height;
}

TBitmap::TBitmap(const TBitmap& other) : FPixels(other.FPixels), FWidth(other.FWidth), FHeight(other.FHeight) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) {
    FPixels = other.FPixels;
    FWidth = other.FWidth;
    FHeight = other.FHeight;
  }
  return *this;
}

// The canvas stays with its bitmap object: a moved-from bitmap keeps its own (now empty) canvas.
TBitmap::TBitmap(TBitmap&& other) noexcept
    : FPixels(std::move(other.FPixels)), FWidth(other.FWidth), FHeight(other.FHeight) {
  other.FPixels.clear();
  other.FWidth = other.FHeight = 0;
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this != &other) {
    FPixels = std::move(other.FPixels);
    FWidth = other.FWidth;
    FHeight = other.FHeight;
    other.FPixels.clear();
    other.FWidth = other.FHeight = 0;
  }
  return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
  if (width <= 0 || height <= 0) width = height = 0;
  platform::AssignBacked(FPixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  FWidth = width;
  FHeight = height;
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(this);
  return FCanvas.get();
}

// A const bitmap's canvas is only ever read through.
const TCanvas* TBitmap::Canvas() const {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(const_cast<TBitmap*>(this));
  return FCanvas.get();
}

}  // namespace framework
