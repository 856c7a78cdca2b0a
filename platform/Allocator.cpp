#include "platform/Allocator.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

void MapLargeBuffersApart() {
  // A fixed threshold turns the dynamic one off, and with it the raised trim threshold.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

void BackPagesNow(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
  // Older kernels refuse the advice; the pages then come one fault at a time.
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)data, (void)bytes;
#endif
}

}  // namespace platform
