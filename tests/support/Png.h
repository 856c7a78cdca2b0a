// Reads a PNG into 0x00RRGGBB pixels, for comparing frames with committed pictures.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct PngPixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

inline bool ReadPng(const std::string& path, PngPixels& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  for (auto& p : pixels) p &= 0xFFFFFF;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels = std::move(pixels);
  return true;
}

}  // namespace testing_support
