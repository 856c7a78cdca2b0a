#include "platform/Resources.h"

#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

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

void ReleaseResource(std::string_view name) {
  const auto bytes = FindResource(name);
  const long page = sysconf(_SC_PAGESIZE);
  if (!bytes || page <= 0) return;
  // Only the pages the resource fills alone: its neighbours may be in use.
  const auto size = static_cast<std::uintptr_t>(page);
  const auto begin = (reinterpret_cast<std::uintptr_t>(bytes->data()) + size - 1) / size * size;
  const auto end = (reinterpret_cast<std::uintptr_t>(bytes->data()) + bytes->size()) / size * size;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

}  // namespace platform
