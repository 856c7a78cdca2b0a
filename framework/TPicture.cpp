#include "framework/TPicture.h"

#include <optional>

#include "platform/Resources.h"

namespace framework {

bool TPicture::LoadFromResource(std::string_view name) {
  const auto bytes = platform::FindResource(name);
  if (!bytes) {
    Clear();
    FLastError = "no resource " + std::string(name);
    return false;
  }
  // A JPEG has no transparent pixels: only its header is read now, and its
  // pixels are decoded when first asked for (a tall strip cut by rows never is).
  if (const auto rows = platform::JpegRows::Open(*bytes)) {
    Clear();
    FKind = platform::PictureKind::Jpeg;
    FWidth = rows->Width();
    FHeight = rows->Height();
    FBitsPerPixel = 8 * rows->Components();
    FResource = name;
    FDormant = true;
    return true;
  }
  if (!LoadFromBytes(*bytes)) return false;
  FResource = name;
  return true;
}

bool TPicture::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  Clear();
  return Decode(bytes);
}

bool TPicture::Decode(std::span<const std::uint8_t> bytes) {
  auto decoded = platform::DecodePicture(bytes, &FLastError);
  if (!decoded) return false;
  std::vector<std::uint32_t>& px = decoded->pixels;
  for (std::size_t i = 0; i < px.size(); ++i) {
    if ((px[i] >> 24) == 0) {
      if (FOpaque.empty()) FOpaque.assign(px.size(), 1);
      FOpaque[i] = 0;
      px[i] = 0;
    } else {
      px[i] &= 0x00FFFFFFu;
    }
  }
  FBitmap = TBitmap(decoded->width, decoded->height, std::move(px));
  FWidth = decoded->width;
  FHeight = decoded->height;
  FKind = decoded->kind;
  FBitsPerPixel = decoded->bitsPerPixel;
  FPaletteEntries = decoded->paletteEntries;
  return true;
}

const TBitmap& TPicture::Bitmap() const {
  std::lock_guard<std::mutex> lock(FDecodeMutex);
  if (FDormant) {
    std::optional<platform::DecodedPicture> decoded;
    if (auto bytes = platform::FindResource(FResource)) decoded = platform::DecodePicture(*bytes);
    if (decoded && decoded->width == FWidth && decoded->height == FHeight) {
      for (auto& p : decoded->pixels) p &= 0x00FFFFFFu;
      FBitmap = TBitmap(decoded->width, decoded->height, std::move(decoded->pixels));
    } else {
      FBitmap = TBitmap(FWidth, FHeight);  // damaged past its header: black, at the size it gave
    }
    FDormant = false;
  }
  return FBitmap;
}

void TPicture::Dormant() {
  std::lock_guard<std::mutex> lock(FDecodeMutex);
  // A picture with transparent pixels keeps them: its opacity mask lives beside the pixels.
  if (FResource.empty() || !FOpaque.empty()) return;
  FBitmap = TBitmap();
  FDormant = true;
  platform::ReleaseResource(FResource);
}

void TPicture::Assign(const TBitmap& bitmap) {
  Clear();
  FBitmap = bitmap;
  FWidth = bitmap.Width();
  FHeight = bitmap.Height();
  if (!FBitmap.Empty()) {
    FKind = platform::PictureKind::Bmp;
    FBitsPerPixel = 32;
  }
}

void TPicture::Clear() {
  FKind = platform::PictureKind::None;
  FBitmap = TBitmap();
  FWidth = FHeight = 0;
  FResource.clear();
  FDormant = false;
  FOpaque.clear();
  FBitsPerPixel = FPaletteEntries = 0;
  FLastError.clear();
}

PixelSource TPicture::Source() const {
  PixelSource s = Bitmap().Source();
  s.opaque = FOpaque.empty() ? nullptr : FOpaque.data();
  return s;
}

std::unique_ptr<platform::JpegRows> TPicture::OpenRows() const {
  if (!IsJpeg() || FResource.empty()) return nullptr;
  const auto bytes = platform::FindResource(FResource);
  return bytes ? platform::JpegRows::Open(*bytes) : nullptr;
}

void TPicture::Draw(platform::DrawingContext& dc) const { StretchDraw(dc, Rect(0, 0, Width(), Height())); }

void TPicture::StretchDraw(platform::DrawingContext& dc, const TRect& rect) const {
  StretchCopy(PixelTarget{dc.Pixels(), dc.Width(), dc.Height(), dc.Pitch()}, rect, Source(),
              Rect(0, 0, Width(), Height()));
}

}  // namespace framework
