// Turns the bytes of a JPEG, GIF or BMP file into 32-bit pixels. Bad files
// fail cleanly: every size, offset and count is checked before it is used.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

enum class PictureKind { None, Jpeg, Gif, Bmp };

struct DecodedPicture {
  PictureKind kind = PictureKind::None;
  int width = 0, height = 0;
  int bitsPerPixel = 0;                 // of the file: 1/4/8/24/32 for BMP, 8 for GIF, 24 (or 8 grey) for JPEG
  int paletteEntries = 0;               // BMP/GIF palette length in the file, 0 when none
  std::vector<std::uint32_t> pixels;    // width*height, row-major, top row first, 0xAARRGGBB;
                                        // A = 0xFF opaque, 0x00 only for a GIF's transparent index
};

// Recognises the format from the bytes; nullopt on any bad input (error says why when given).
std::optional<DecodedPicture> DecodePicture(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

// A JPEG's rows decoded in order, some at a time, so a tall picture need not be
// held whole. The bytes must outlive the reader.
class JpegRows {
 public:
  // nullptr for bad data (error says why when given).
  static std::unique_ptr<JpegRows> Open(std::span<const std::uint8_t> bytes, std::string* error = nullptr);
  ~JpegRows();
  JpegRows(const JpegRows&) = delete;
  JpegRows& operator=(const JpegRows&) = delete;

  int Width() const;
  int Height() const;
  int Components() const;
  int NextRow() const;
  // The next count rows as 0xFFRRGGBB, Width() pixels each; false on damaged
  // data or rows past the end (then this reader reads no more).
  bool Read(std::uint32_t* out, int count);
  const std::string& Error() const;

 private:
  struct State;
  explicit JpegRows(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform
