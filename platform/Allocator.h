// How the process's allocator treats large buffers (frames, surfaces, decoded
// pictures).
#pragma once

namespace platform {

// Each large buffer is mapped and unmapped on its own: freeing the decoded
// pictures at start-up would otherwise raise the allocator's thresholds, and
// later buffers freed stay in the process.
void MapLargeBuffersApart();

}  // namespace platform
