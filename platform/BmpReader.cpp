// Windows BMP: BITMAPCOREHEADER and BITMAPINFOHEADER up to V5; 1/4/8-bit
// paletted (short palettes allowed), 24-bit, 32-bit plain or with bit fields,
// RLE8; bottom-up and top-down. Nothing is read before its bounds are checked.
#include <algorithm>
#include <bit>

#include "platform/Allocator.h"
#include "platform/PictureFormats.h"

namespace platform {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiBitfields = 3;

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

constexpr std::uint32_t Opaque(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// One channel of a bit-field pixel, widened or narrowed to 8 bits.
struct Channel {
  int shift = 0;
  int bits = 0;
  bool Set(std::uint32_t mask) {
    if (mask == 0) return false;
    shift = std::countr_zero(mask);
    bits = std::popcount(mask);
    return std::countr_one(mask >> shift) == bits;  // contiguous
  }
  std::uint32_t Get(std::uint32_t px) const {
    const std::uint32_t v = (px >> shift) & ((bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1));
    if (bits >= 8) return v >> (bits - 8);
    return v * 255u / ((1u << bits) - 1);
  }
};

}  // namespace

std::optional<DecodedPicture> DecodeBmp(std::span<const std::uint8_t> bytes, std::string* error) {
  if (bytes.size() < kFileHeaderSize + 4) return PictureFailure(error, "BMP: truncated header");
  if (bytes[0] != 'B' || bytes[1] != 'M') return PictureFailure(error, "BMP: no BM signature");
  const std::uint32_t fileSize = U32(bytes, 2);
  const std::uint32_t offBits = U32(bytes, 10);
  const std::uint32_t infoSize = U32(bytes, 14);
  if (fileSize != 0 && (fileSize > bytes.size() || fileSize < kFileHeaderSize + infoSize))
    return PictureFailure(error, "BMP: file size field does not match the file");
  if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 64 &&
      infoSize != 108 && infoSize != 124)
    return PictureFailure(error, "BMP: unsupported header size");
  if (kFileHeaderSize + infoSize > bytes.size()) return PictureFailure(error, "BMP: truncated header");

  const bool core = infoSize == 12;
  std::int64_t width, height;
  std::uint16_t planes, bpp;
  std::uint32_t compression = kBiRgb, sizeImage = 0, clrUsed = 0;
  if (core) {
    width = U16(bytes, 18);
    height = U16(bytes, 20);
    planes = U16(bytes, 22);
    bpp = U16(bytes, 24);
  } else {
    width = static_cast<std::int32_t>(U32(bytes, 18));
    height = static_cast<std::int32_t>(U32(bytes, 22));
    planes = U16(bytes, 26);
    bpp = U16(bytes, 28);
    compression = U32(bytes, 30);
    sizeImage = U32(bytes, 34);
    clrUsed = U32(bytes, 46);
  }
  if (planes != 1) return PictureFailure(error, "BMP: plane count is not 1");
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (!PictureSizeAllowed(width, height)) return PictureFailure(error, "BMP: width or height out of range");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
    return PictureFailure(error, "BMP: unsupported bit depth");
  if (compression == kBiRle8) {
    if (bpp != 8 || topDown) return PictureFailure(error, "BMP: RLE8 needs a bottom-up 8-bit picture");
  } else if (compression == kBiBitfields) {
    if (bpp != 32) return PictureFailure(error, "BMP: bit fields are supported for 32-bit pictures only");
  } else if (compression != kBiRgb) {
    return PictureFailure(error, "BMP: unsupported compression");
  }

  std::size_t pos = kFileHeaderSize + infoSize;
  Channel red{16, 8}, green{8, 8}, blue{0, 8};
  if (compression == kBiBitfields) {
    std::size_t maskAt = kFileHeaderSize + 40;
    if (infoSize == 40) {
      if (pos + 12 > bytes.size()) return PictureFailure(error, "BMP: truncated bit field masks");
      pos += 12;
    }
    if (!red.Set(U32(bytes, maskAt)) || !green.Set(U32(bytes, maskAt + 4)) || !blue.Set(U32(bytes, maskAt + 8)))
      return PictureFailure(error, "BMP: bad bit field mask");
  }

  std::uint64_t entries = clrUsed;
  if (bpp <= 8) {
    const std::uint64_t most = std::uint64_t{1} << bpp;
    if (entries == 0) entries = most;
    if (entries > most) return PictureFailure(error, "BMP: palette longer than the bit depth allows");
  }
  const std::uint64_t entrySize = core ? 3 : 4;
  const std::uint64_t paletteEnd = pos + entries * entrySize;
  if (offBits < pos) return PictureFailure(error, "BMP: pixel data offset inside the header");
  if (paletteEnd > offBits) return PictureFailure(error, "BMP: palette runs into the pixel data");
  if (offBits > bytes.size()) return PictureFailure(error, "BMP: pixel data offset beyond the end of the file");

  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    palette.reserve(entries);
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::size_t at = pos + i * entrySize;
      palette.push_back(Opaque(bytes[at + 2], bytes[at + 1], bytes[at]));
    }
  }

  const std::span<const std::uint8_t> data = bytes.subspan(offBits);
  if (sizeImage != 0 && sizeImage > data.size()) return PictureFailure(error, "BMP: truncated pixel data");
  const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
  if (compression != kBiRle8 && stride * static_cast<std::uint64_t>(height) > data.size())
    return PictureFailure(error, "BMP: truncated pixel data");

  DecodedPicture out;
  out.kind = PictureKind::Bmp;
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.bitsPerPixel = bpp;
  out.paletteEntries = static_cast<int>(entries);  // bounded by offBits above
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  AssignBacked(out.pixels, w * h, Opaque(0, 0, 0));

  const auto targetRow = [&](std::size_t fileRow) { return topDown ? fileRow : h - 1 - fileRow; };

  if (compression == kBiRle8) {
    const std::span<const std::uint8_t> rle = sizeImage != 0 ? data.first(sizeImage) : data;
    std::size_t p = 0, x = 0, y = 0;
    for (;;) {
      if (p + 2 > rle.size()) return PictureFailure(error, "BMP: RLE8 data ends without an end mark");
      const std::uint8_t n = rle[p], c = rle[p + 1];
      p += 2;
      if (n > 0) {
        // Some writers encode the row padding too: what falls outside the picture is dropped.
        if (y < h && x < w) {
          if (c >= palette.size()) return PictureFailure(error, "BMP: colour index outside the palette");
          std::uint32_t* row = &out.pixels[targetRow(y) * w];
          for (std::size_t k = x, end = std::min<std::size_t>(x + n, w); k < end; ++k) row[k] = palette[c];
        }
        x += n;  // may pass w; later pixels of the row are dropped as well
      } else if (c == 0) {
        x = 0;
        ++y;
      } else if (c == 1) {
        break;
      } else if (c == 2) {
        if (p + 2 > rle.size()) return PictureFailure(error, "BMP: truncated RLE8 delta");
        x += rle[p];
        y += rle[p + 1];
        p += 2;
        if (x > w || y > h) return PictureFailure(error, "BMP: RLE8 delta outside the picture");
      } else {
        const std::size_t padded = (c + 1u) & ~1u;
        if (p + padded > rle.size()) return PictureFailure(error, "BMP: truncated RLE8 literal");
        for (unsigned k = 0; k < c; ++k, ++x) {
          if (y >= h || x >= w) continue;
          const std::uint8_t index = rle[p + k];
          if (index >= palette.size()) return PictureFailure(error, "BMP: colour index outside the palette");
          out.pixels[targetRow(y) * w + x] = palette[index];
        }
        p += padded;
      }
    }
    return out;
  }

  for (std::size_t fy = 0; fy < h; ++fy) {
    const std::uint8_t* src = data.data() + fy * stride;
    std::uint32_t* row = &out.pixels[targetRow(fy) * w];
    switch (bpp) {
      case 1:
      case 4:
      case 8: {
        const unsigned perByte = 8 / bpp, mask = (1u << bpp) - 1;
        for (std::size_t x = 0; x < w; ++x) {
          const unsigned shift = 8 - bpp * (1 + x % perByte);
          const unsigned index = (src[x / perByte] >> shift) & mask;
          if (index >= palette.size()) return PictureFailure(error, "BMP: colour index outside the palette");
          row[x] = palette[index];
        }
        break;
      }
      case 24:
        for (std::size_t x = 0; x < w; ++x) row[x] = Opaque(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      case 32:
        for (std::size_t x = 0; x < w; ++x) {
          const std::uint32_t px = U32(std::span<const std::uint8_t>(src + 4 * x, 4), 0);
          row[x] = Opaque(red.Get(px), green.Get(px), blue.Get(px));
        }
        break;
    }
  }
  return out;
}

}  // namespace platform
