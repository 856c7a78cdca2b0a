#include "fuzz/PictureFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  CheckDecodedPicture(platform::DecodeGif(std::span<const std::uint8_t>(data, size), &error), error);
  return 0;
}
