// What every fuzz target asserts about a decoder's answer beyond "no crash".
#pragma once

#include <cstdlib>

#include "platform/PictureFormats.h"

inline void CheckDecodedPicture(const std::optional<platform::DecodedPicture>& pic, const std::string& error) {
  if (!pic) {
    if (error.empty()) std::abort();  // a failure must say why
    return;
  }
  if (!platform::PictureSizeAllowed(pic->width, pic->height)) std::abort();
  if (pic->pixels.size() != static_cast<std::size_t>(pic->width) * static_cast<std::size_t>(pic->height)) std::abort();
}
