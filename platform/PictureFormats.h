// The single-format readers behind DecodePicture, for callers (and fuzzers)
// that already know the format.
#pragma once

#include "platform/PictureDecoder.h"

namespace platform {

// Largest picture any reader accepts: enough for the tallest strip with room
// to spare, small enough that a lying header cannot exhaust memory.
constexpr int kMaxPictureSide = 32768;
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 25;

std::optional<DecodedPicture> DecodeBmp(std::span<const std::uint8_t> bytes, std::string* error = nullptr);
std::optional<DecodedPicture> DecodeGif(std::span<const std::uint8_t> bytes, std::string* error = nullptr);
std::optional<DecodedPicture> DecodeJpeg(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

// Sets *error (when given) and returns nothing: the readers' common failure.
inline std::optional<DecodedPicture> PictureFailure(std::string* error, const std::string& why) {
  if (error) *error = why;
  return std::nullopt;
}

inline bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

}  // namespace platform
