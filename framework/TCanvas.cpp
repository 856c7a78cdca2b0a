#include "framework/TCanvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/TBitmap.h"
#include "framework/TPicture.h"

namespace framework {

void StretchCopy(const PixelTarget& dst, const TRect& to, const PixelSource& src, const TRect& from) {
  const std::int64_t tw = to.Width(), th = to.Height(), fw = from.Width(), fh = from.Height();
  if (!dst.pixels || !src.pixels || tw <= 0 || th <= 0 || fw <= 0 || fh <= 0) return;
  const int x0 = std::max(to.Left, 0), x1 = std::min(to.Right, dst.width);
  const int y0 = std::max(to.Top, 0), y1 = std::min(to.Bottom, dst.height);
  if (x0 >= x1 || y0 >= y1) return;

  // Source column of every target column, -1 where it falls outside the source.
  std::vector<int> column(static_cast<std::size_t>(x1 - x0));
  for (int x = x0; x < x1; ++x) {
    const std::int64_t sx = from.Left + (x - to.Left) * fw / tw;
    column[static_cast<std::size_t>(x - x0)] = (sx >= 0 && sx < src.width) ? static_cast<int>(sx) : -1;
  }
  const bool plainRows = tw == fw && !src.opaque;
  for (int y = y0; y < y1; ++y) {
    const std::int64_t sy = from.Top + (y - to.Top) * fh / th;
    if (sy < 0 || sy >= src.height) continue;
    const std::size_t srcRow = static_cast<std::size_t>(sy) * static_cast<std::size_t>(src.pitch);
    const std::uint32_t* s = src.pixels + srcRow;
    std::uint32_t* d = dst.pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(dst.pitch);
    if (plainRows) {
      // Same width: one run of consecutive source columns.
      int first = 0;
      while (first < x1 - x0 && column[static_cast<std::size_t>(first)] < 0) ++first;
      int last = first;
      while (last < x1 - x0 && column[static_cast<std::size_t>(last)] >= 0) ++last;
      if (last > first)
        std::memcpy(d + x0 + first, s + column[static_cast<std::size_t>(first)],
                    static_cast<std::size_t>(last - first) * sizeof(std::uint32_t));
      continue;
    }
    const std::uint8_t* mask = src.opaque ? src.opaque + srcRow : nullptr;
    for (int x = x0; x < x1; ++x) {
      const int sx = column[static_cast<std::size_t>(x - x0)];
      if (sx < 0 || (mask && !mask[sx])) continue;
      d[x] = s[sx];
    }
  }
}

PixelTarget TCanvas::Target() const {
  if (FHandle) return PixelTarget{FHandle->Pixels(), FHandle->Width(), FHandle->Height(), FHandle->Pitch()};
  if (FBitmap) return FBitmap->Target();
  return {};
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& src, const TRect& source) {
  const PixelTarget from = src.Target();
  StretchCopy(Target(), dest, PixelSource{from.pixels, from.width, from.height, from.pitch, nullptr}, source);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  StretchDraw(Rect(x, y, x + bitmap.Width(), y + bitmap.Height()), bitmap);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  StretchCopy(Target(), dest, bitmap.Source(), Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

void TCanvas::Draw(int x, int y, const TPicture& picture) {
  StretchDraw(Rect(x, y, x + picture.Width(), y + picture.Height()), picture);
}

void TCanvas::StretchDraw(const TRect& dest, const TPicture& picture) {
  StretchCopy(Target(), dest, picture.Source(), Rect(0, 0, picture.Width(), picture.Height()));
}

std::uint32_t TCanvas::Pixel(int x, int y) const {
  const PixelTarget t = Target();
  if (!t.pixels || x < 0 || y < 0 || x >= t.width || y >= t.height) return 0;
  return t.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(t.pitch) + static_cast<std::size_t>(x)];
}

void TCanvas::SetPixel(int x, int y, std::uint32_t xrgb) {
  const PixelTarget t = Target();
  if (!t.pixels || x < 0 || y < 0 || x >= t.width || y >= t.height) return;
  t.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(t.pitch) + static_cast<std::size_t>(x)] = xrgb;
}

}  // namespace framework
