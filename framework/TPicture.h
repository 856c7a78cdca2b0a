// A decoded JPEG, GIF or BMP picture: knows its kind and size, draws itself
// onto a drawing context at (0, 0) or stretched into a rectangle. A GIF's
// transparent pixels draw nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
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
  // and LastError() says why. A resource's JPEG is decoded when its pixels are
  // first needed (black, if its data fails after a sound header).
  bool LoadFromResource(std::string_view name);
  bool LoadFromBytes(std::span<const std::uint8_t> bytes);
  // Takes a copy of a bitmap as a BMP picture.
  void Assign(const TBitmap& bitmap);
  void Clear();

  platform::PictureKind Kind() const { return FKind; }
  bool IsJpeg() const { return FKind == platform::PictureKind::Jpeg; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  int PaletteEntries() const { return FPaletteEntries; }
  bool HasTransparency() const { return !FOpaque.empty(); }
  const std::string& LastError() const { return FLastError; }

  // The picture's own bitmap; transparent pixels are black in it.
  const TBitmap& Bitmap() const;
  // Frees the decoded pixels of a picture loaded from a resource, as a
  // compressed picture keeps only its data, and lets that data's pages go too:
  // they are decoded again from the resource when next needed; kind and size
  // stay. Others keep their pixels.
  void Dormant();
  PixelSource Source() const;
  // The rows of a JPEG loaded from a resource, decoded in order without the
  // whole picture being held; nullptr for any other picture.
  std::unique_ptr<platform::JpegRows> OpenRows() const;

  void Draw(platform::DrawingContext& dc) const;
  void StretchDraw(platform::DrawingContext& dc, const TRect& rect) const;

 private:
  bool Decode(std::span<const std::uint8_t> bytes);

  platform::PictureKind FKind = platform::PictureKind::None;
  int FWidth = 0, FHeight = 0;
  mutable TBitmap FBitmap;
  std::string FResource;         // where the pixels come from again after Dormant
  mutable bool FDormant = false;
  mutable std::mutex FDecodeMutex;
  std::vector<std::uint8_t> FOpaque;  // only when some pixel is transparent
  int FBitsPerPixel = 0, FPaletteEntries = 0;
  std::string FLastError;
};

}  // namespace framework
