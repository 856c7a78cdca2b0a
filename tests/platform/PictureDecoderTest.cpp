#include "platform/PictureDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/PictureFormats.h"
#include "platform/Resources.h"

namespace {

using platform::DecodedPicture;
using platform::DecodePicture;
using platform::PictureKind;
using Bytes = std::vector<std::uint8_t>;

std::string FixturePath(const std::string& name) {
  const char* root = std::getenv("BRISVANE_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/platform/data/pictures/" + name;
}

Bytes ReadFixture(const std::string& name) {
  std::ifstream in(FixturePath(name), std::ios::binary);
  EXPECT_TRUE(in) << "missing fixture " << name;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The reference pixels, from the PPM the fixtures were converted from.
struct Reference {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};
Reference ReadPpm(const std::string& name) {
  std::ifstream in(FixturePath(name), std::ios::binary);
  std::string magic;
  int maxValue = 0;
  Reference ref;
  in >> magic >> ref.width >> ref.height >> maxValue;
  in.get();
  for (int i = 0; i < ref.width * ref.height; ++i) {
    const std::uint32_t r = static_cast<std::uint8_t>(in.get()), g = static_cast<std::uint8_t>(in.get()),
                        b = static_cast<std::uint8_t>(in.get());
    ref.pixels.push_back(0xFF000000u | (r << 16) | (g << 8) | b);
  }
  EXPECT_TRUE(in && magic == "P6" && maxValue == 255);
  return ref;
}

std::optional<DecodedPicture> Decode(const Bytes& bytes, std::string* error = nullptr) {
  return DecodePicture(std::span<const std::uint8_t>(bytes.data(), bytes.size()), error);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void ExpectFails(const Bytes& bytes, const char* what) {
  std::string error;
  EXPECT_FALSE(Decode(bytes, &error).has_value()) << what;
  EXPECT_FALSE(error.empty()) << what;
}

TEST(PictureDecoder, BmpVariantsFromAnotherToolMatchTheirSource) {
  const Reference pattern = ReadPpm("pattern.ppm");
  struct Case {
    const char* file;
    int bpp;
    int palette;
  };
  for (const Case& c : {Case{"rgb24.bmp", 24, 0}, Case{"rgb32.bmp", 32, 0}, Case{"pal4.bmp", 4, 16},
                        Case{"rle8.bmp", 8, 256}}) {
    SCOPED_TRACE(c.file);
    std::string error;
    const auto pic = Decode(ReadFixture(c.file), &error);
    ASSERT_TRUE(pic) << error;
    EXPECT_EQ(pic->kind, PictureKind::Bmp);
    EXPECT_EQ(pic->width, pattern.width);
    EXPECT_EQ(pic->height, pattern.height);
    EXPECT_EQ(pic->bitsPerPixel, c.bpp);
    EXPECT_EQ(pic->paletteEntries, c.palette);
    EXPECT_EQ(pic->pixels, pattern.pixels);
  }
  const auto ramp = Decode(ReadFixture("pal8.bmp"));
  ASSERT_TRUE(ramp);
  EXPECT_EQ(ramp->bitsPerPixel, 8);
  EXPECT_EQ(ramp->pixels, ReadPpm("ramp.ppm").pixels);
  const auto mono = Decode(ReadFixture("pal1.bmp"));
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->bitsPerPixel, 1);
  EXPECT_EQ(mono->pixels, ReadPpm("twocolour.ppm").pixels);
}

TEST(PictureDecoder, BmpTopDownAndShortPalette) {
  // Top-down: negative height, rows stored top first.
  Bytes bottomUp = ReadFixture("rgb24.bmp");
  const std::uint32_t off = Get32(bottomUp, 10);
  const std::size_t stride = 20;  // 6 pixels * 3 bytes, padded to 4
  Bytes topDown = bottomUp;
  Put32(topDown, 22, static_cast<std::uint32_t>(-4));
  for (int r = 0; r < 4; ++r)
    std::copy_n(bottomUp.begin() + off + r * stride, stride, topDown.begin() + off + (3 - r) * stride);
  const auto pic = Decode(topDown);
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->pixels, ReadPpm("pattern.ppm").pixels);

  // The preview picture has 255 palette entries, one short of a full 8-bit table.
  const auto preview = platform::FindResource("PREVIEWBMP");
  ASSERT_TRUE(preview);
  std::string error;
  const auto prev = DecodePicture(*preview, &error);
  ASSERT_TRUE(prev) << error;
  EXPECT_EQ(prev->width, 154);
  EXPECT_EQ(prev->height, 116);
  EXPECT_EQ(prev->paletteEntries, 255);

  // A palette cut shorter than the indices the pixels use is refused, not read past.
  Bytes cut = ReadFixture("pal8.bmp");
  Put32(cut, 46, 2);
  ExpectFails(cut, "index beyond a short palette");
}

TEST(PictureDecoder, BmpBrokenHeadersFailCleanly) {
  const Bytes good = ReadFixture("pal4.bmp");
  ASSERT_TRUE(Decode(good));
  const std::uint32_t off = Get32(good, 10);
  auto edited = [&](std::size_t at, std::uint32_t v) {
    Bytes b = good;
    Put32(b, at, v);
    return b;
  };
  ExpectFails(edited(18, 100000), "width beyond the limit");
  ExpectFails(edited(18, 0), "zero width");
  ExpectFails(edited(18, 0x80000000u), "negative width");
  ExpectFails(edited(22, 0x80000000u), "most negative height");
  ExpectFails(edited(22, 0), "zero height");
  {
    Bytes b = edited(18, 0x7FFFFFFF);
    Put32(b, 22, 0x7FFFFFFF);
    ExpectFails(b, "width x height overflow");
  }
  ExpectFails(edited(18, 30000), "more pixels than the data holds");
  ExpectFails(edited(10, 20), "pixel data offset inside the header");
  ExpectFails(edited(10, off - 4), "pixel data offset inside the palette");
  ExpectFails(edited(10, static_cast<std::uint32_t>(good.size()) + 1), "pixel data offset beyond the file");
  ExpectFails(edited(10, 0xFFFFFFF0u), "pixel data offset near 4 GiB");
  ExpectFails(edited(46, 17), "palette longer than 4 bits allow");
  ExpectFails(edited(46, 0xFFFFFFFFu), "huge palette count");
  ExpectFails(edited(14, 41), "unknown header size");
  ExpectFails(edited(14, 0xFFFFFFF0u), "header size near 4 GiB");
  ExpectFails(edited(2, static_cast<std::uint32_t>(good.size()) + 100), "file size larger than the file");
  ExpectFails(edited(30, 2), "RLE4 is not supported");
  ExpectFails(edited(30, 7), "unknown compression");
  {
    Bytes b = good;
    b[26] = 2;  // planes
    ExpectFails(b, "two planes");
    b = good;
    b[28] = 16;  // bit depth
    ExpectFails(b, "16-bit");
  }
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(Decode(Bytes(good.begin(), good.begin() + n))) << "truncated to " << n;

  // RLE8: every truncation fails; a run longer than its row is cut at the row's
  // end and does not spill into the next row.
  const Bytes rle = ReadFixture("rle8.bmp");
  for (std::size_t n = 0; n < rle.size(); ++n)
    EXPECT_FALSE(Decode(Bytes(rle.begin(), rle.begin() + n))) << "RLE truncated to " << n;
  const auto plain = Decode(rle);
  ASSERT_TRUE(plain);
  Bytes longRun = rle;
  const std::uint32_t rleOff = Get32(rle, 10);
  longRun[rleOff] = 200;
  longRun[rleOff + 1] = 0;
  const auto cut = Decode(longRun);
  ASSERT_TRUE(cut);
  const std::uint32_t first = Get32(rle, 54);  // palette entry 0
  for (int x = 0; x < 6; ++x) EXPECT_EQ(cut->pixels[3 * 6 + x], 0xFF000000u | (first & 0xFFFFFF)) << x;
  EXPECT_TRUE(std::equal(cut->pixels.begin(), cut->pixels.begin() + 18, plain->pixels.begin()));
}

TEST(PictureDecoder, GifFirstImageInterlaceAndTransparency) {
  const Reference pattern = ReadPpm("pattern.ppm");
  for (const char* file : {"plain87.gif", "interlaced.gif"}) {
    // The interlaced file is compared with its maker's own reading of it.
    const Reference want = std::string(file) == "interlaced.gif" ? ReadPpm("interlaced.ppm") : pattern;
    SCOPED_TRACE(file);
    std::string error;
    const auto pic = Decode(ReadFixture(file), &error);
    ASSERT_TRUE(pic) << error;
    EXPECT_EQ(pic->kind, PictureKind::Gif);
    EXPECT_EQ(pic->bitsPerPixel, 8);
    EXPECT_EQ(pic->paletteEntries, 16);
    EXPECT_EQ(pic->pixels, want.pixels);
  }
  const auto keyed = Decode(ReadFixture("transparent89.gif"));
  ASSERT_TRUE(keyed);
  int transparent = 0;
  for (std::size_t i = 0; i < pattern.pixels.size(); ++i) {
    if (pattern.pixels[i] == 0xFF0000FFu) {
      EXPECT_EQ(keyed->pixels[i], 0u) << i;
      ++transparent;
    } else {
      EXPECT_EQ(keyed->pixels[i], pattern.pixels[i]) << i;
    }
  }
  EXPECT_EQ(transparent, 2);
}

TEST(PictureDecoder, GifBrokenFilesFailCleanly) {
  const Bytes good = ReadFixture("plain87.gif");
  // Anything cut before the image's end-of-data block is refused.
  for (std::size_t n = 0; n + 2 < good.size(); ++n)
    EXPECT_FALSE(Decode(Bytes(good.begin(), good.begin() + n))) << "truncated to " << n;
  Bytes huge = good;
  huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;  // 65535 x 65535 screen
  ExpectFails(huge, "huge screen");
  Bytes empty = good;
  empty[6] = empty[7] = 0;
  ExpectFails(empty, "zero-width screen");
  // No image at all: header, colour table, trailer.
  Bytes noImage(good.begin(), good.begin() + 13 + 3 * 16);
  noImage.push_back(0x3B);
  ExpectFails(noImage, "no image");
}

TEST(PictureDecoder, JpegFromCjpeg) {
  const Reference pattern = ReadPpm("pattern.ppm");
  std::string error;
  const auto pic = Decode(ReadFixture("pattern.jpg"), &error);
  ASSERT_TRUE(pic) << error;
  EXPECT_EQ(pic->kind, PictureKind::Jpeg);
  EXPECT_EQ(pic->bitsPerPixel, 24);
  EXPECT_EQ(pic->paletteEntries, 0);
  ASSERT_EQ(pic->width, 48);
  ASSERT_EQ(pic->height, 32);
  const auto progressive = Decode(ReadFixture("progressive.jpg"));
  ASSERT_TRUE(progressive);
  for (int by = 0; by < 4; ++by) {
    for (int bx = 0; bx < 6; ++bx) {
      const std::uint32_t want = pattern.pixels[by * 6 + bx];
      const std::size_t centre = static_cast<std::size_t>((by * 8 + 4) * 48 + bx * 8 + 4);
      for (int shift : {16, 8, 0}) {
        const int w = (want >> shift) & 0xFF;
        EXPECT_NEAR((pic->pixels[centre] >> shift) & 0xFF, w, 6) << bx << "," << by;
        EXPECT_NEAR((progressive->pixels[centre] >> shift) & 0xFF, w, 80) << bx << "," << by;
      }
      EXPECT_EQ(pic->pixels[centre] >> 24, 0xFFu);
    }
  }
  const auto grey = Decode(ReadFixture("grey.jpg"));
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->bitsPerPixel, 8);
  for (std::uint32_t px : grey->pixels) {
    ASSERT_EQ((px >> 16) & 0xFF, px & 0xFF);
    ASSERT_EQ((px >> 8) & 0xFF, px & 0xFF);
  }
}

TEST(PictureDecoder, JpegBrokenFilesFailCleanly) {
  const Bytes good = ReadFixture("pattern.jpg");
  for (std::size_t n = 0; n < good.size(); n += 7)
    EXPECT_FALSE(Decode(Bytes(good.begin(), good.begin() + n))) << "truncated to " << n;
  EXPECT_FALSE(Decode(Bytes(good.begin(), good.end() - 2))) << "no end marker";
  // Claim 65000 x 65000 in the frame header: refused before any allocation.
  Bytes huge = good;
  bool patched = false;
  for (std::size_t i = 0; i + 8 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
      patched = true;
      break;
    }
  }
  ASSERT_TRUE(patched);
  std::string error;
  EXPECT_FALSE(Decode(huge, &error));
  EXPECT_NE(error.find("out of range"), std::string::npos) << error;
  Bytes garbage = good;
  for (std::size_t i = good.size() / 2; i < good.size() - 2; ++i) garbage[i] = static_cast<std::uint8_t>(i * 37);
  ExpectFails(garbage, "scrambled entropy data");
}

TEST(PictureDecoder, UnknownInput) {
  ExpectFails({}, "empty");
  ExpectFails({'P', '6', '\n'}, "a PPM");
  ExpectFails({'B'}, "one byte");
}

}  // namespace
