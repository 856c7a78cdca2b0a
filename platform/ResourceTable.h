// The generated table of embedded resources.
#pragma once

#include <cstddef>

namespace platform {

struct ResourceEntry {
  const char* name;
  const unsigned char* begin;
  const unsigned char* end;
};

extern const ResourceEntry kResourceEntries[];
extern const std::size_t kResourceEntryCount;

}  // namespace platform
