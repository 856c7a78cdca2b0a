#include "platform/Resources.h"

#include <strings.h>

#include <string>

#include "platform/ResourceTable.h"

namespace platform {

std::optional<std::span<const std::uint8_t>> FindResource(std::string_view name) {
  const std::string wanted(name);
  for (std::size_t i = 0; i < kResourceEntryCount; ++i) {
    const ResourceEntry& e = kResourceEntries[i];
    if (strcasecmp(e.name, wanted.c_str()) == 0)
      return std::span<const std::uint8_t>(e.begin, static_cast<std::size_t>(e.end - e.begin));
  }
  return std::nullopt;
}

}  // namespace platform
