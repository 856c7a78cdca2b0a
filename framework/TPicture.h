// A decoded JPEG, GIF or BMP picture: knows its kind and size, draws itself
// onto a drawing context at (0, 0) or stretched into a rectangle. A GIF's
// transparent pixels draw nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/TBitmap.h"
#include "platform/PictureDecoder.h"

namespace framework {

class TPicture {
 public:
  // Decode an embedded resource / file bytes. On failure the picture is empty
  // and LastError() says why.
  bool LoadFromResource(std::string_view name);
  bool LoadFromBytes(std::span<const std::uint8_t> bytes);
  // Takes a copy of a bitmap as a BMP picture.
  void Assign(const TBitmap& bitmap);
  void Clear();

  platform::PictureKind Kind() const { return FKind; }
  bool IsJpeg() const { return FKind == platform::PictureKind::Jpeg; }
  bool Empty() const { return FBitmap.Empty(); }
  int Width() const { return FBitmap.Width(); }
  int Height() const { return FBitmap.Height(); }
  int BitsPerPixel() const { return FBitsPerPixel; }
  int PaletteEntries() const { return FPaletteEntries; }
  bool HasTransparency() const { return !FOpaque.empty(); }
  const std::string& LastError() const { return FLastError; }

  // The picture's own bitmap; transparent pixels are black in it.
  const TBitmap& Bitmap() const { return FBitmap; }
  PixelSource Source() const;

  void Draw(platform::DrawingContext& dc) const;
  void StretchDraw(platform::DrawingContext& dc, const TRect& rect) const;

 private:
  platform::PictureKind FKind = platform::PictureKind::None;
  TBitmap FBitmap;
  std::vector<std::uint8_t> FOpaque;  // only when some pixel is transparent
  int FBitsPerPixel = 0, FPaletteEntries = 0;
  std::string FLastError;
};

}  // namespace framework
