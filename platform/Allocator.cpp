#include "platform/Allocator.h"

#include <malloc.h>

namespace platform {

void MapLargeBuffersApart() {
  // A fixed threshold turns the dynamic one off, and with it the raised trim threshold.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

}  // namespace platform
