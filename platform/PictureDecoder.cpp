#include "platform/PictureDecoder.h"

#include "platform/PictureFormats.h"

namespace platform {

std::optional<DecodedPicture> DecodePicture(std::span<const std::uint8_t> bytes, std::string* error) {
  const auto starts = [&](std::initializer_list<std::uint8_t> magic) {
    if (bytes.size() < magic.size()) return false;
    std::size_t i = 0;
    for (std::uint8_t m : magic)
      if (bytes[i++] != m) return false;
    return true;
  };
  if (starts({'B', 'M'})) return DecodeBmp(bytes, error);
  if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'})) return DecodeGif(bytes, error);
  if (starts({0xFF, 0xD8, 0xFF})) return DecodeJpeg(bytes, error);
  return PictureFailure(error, "unknown picture format");
}

}  // namespace platform
