// GIF 87a/89a through giflib: the first image only, placed on the logical
// screen; its transparent index (and any part of the screen the image does
// not cover) comes out with alpha 0.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/Allocator.h"
#include "platform/PictureFormats.h"

namespace platform {
namespace {

struct MemoryInput {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  if (count <= 0) return 0;
  const std::size_t take = std::min(static_cast<std::size_t>(count), in->bytes.size() - in->pos);
  std::memcpy(buffer, in->bytes.data() + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  }
};

std::string GifError(const char* what, int code) {
  const char* text = GifErrorString(code);
  return std::string("GIF: ") + what + (text ? std::string(": ") + text : std::string());
}

}  // namespace

std::optional<DecodedPicture> DecodeGif(std::span<const std::uint8_t> bytes, std::string* error) {
  MemoryInput input{bytes, 0};
  int code = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, ReadFromMemory, &code));
  if (!gif) return PictureFailure(error, GifError("cannot read the header", code));
  if (!PictureSizeAllowed(gif->SWidth, gif->SHeight))
    return PictureFailure(error, "GIF: screen width or height out of range");

  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
      return PictureFailure(error, GifError("bad record", gif->Error));
    if (record == TERMINATE_RECORD_TYPE) return PictureFailure(error, "GIF: no image");
    if (record == EXTENSION_RECORD_TYPE) {
      int function = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &function, &block) == GIF_ERROR)
        return PictureFailure(error, GifError("bad extension", gif->Error));
      if (function == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
      }
      while (block) {
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
          return PictureFailure(error, GifError("bad extension", gif->Error));
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;

    if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
      return PictureFailure(error, GifError("bad image descriptor", gif->Error));
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0 || !map->Colors) return PictureFailure(error, "GIF: no colour table");
    if (!PictureSizeAllowed(desc.Width, desc.Height) || desc.Left < 0 || desc.Top < 0)
      return PictureFailure(error, "GIF: image width or height out of range");

    DecodedPicture out;
    out.kind = PictureKind::Gif;
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    out.bitsPerPixel = 8;
    out.paletteEntries = map->ColorCount;
    const std::size_t w = static_cast<std::size_t>(out.width);
    AssignBacked(out.pixels, w * static_cast<std::size_t>(out.height), 0u);

    std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
    // Interlaced images arrive in four passes: every 8th row from 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      const int start = desc.Interlace ? kStart[pass] : 0, step = desc.Interlace ? kStep[pass] : 1;
      for (int row = start; row < desc.Height; row += step) {
        if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR)
          return PictureFailure(error, GifError("truncated image data", gif->Error));
        const std::int64_t y = static_cast<std::int64_t>(desc.Top) + row;
        if (y >= out.height) continue;
        std::uint32_t* dst = &out.pixels[static_cast<std::size_t>(y) * w];
        for (int x = 0; x < desc.Width; ++x) {
          const std::int64_t tx = static_cast<std::int64_t>(desc.Left) + x;
          const int index = line[static_cast<std::size_t>(x)];
          if (index >= map->ColorCount) return PictureFailure(error, "GIF: colour index outside the colour table");
          if (tx >= out.width) continue;
          if (index == transparent) {
            dst[tx] = 0u;
          } else {
            const GifColorType& c = map->Colors[index];
            dst[tx] = 0xFF000000u | (static_cast<std::uint32_t>(c.Red) << 16) |
                      (static_cast<std::uint32_t>(c.Green) << 8) | c.Blue;
          }
        }
      }
    }
    return out;
  }
}

}  // namespace platform
