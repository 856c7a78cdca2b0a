// Helpers of the feed fuzz targets: inputs as text, and a check that aborts.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

inline std::string FuzzText(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

inline void FuzzRequire(bool holds) {
  if (!holds) std::abort();
}

inline bool NoControlBytes(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 32) return false;
  return true;
}
