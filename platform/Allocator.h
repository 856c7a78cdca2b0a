// How the process's allocator treats large buffers (frames, surfaces, decoded
// pictures).
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

// Each large buffer is mapped and unmapped on its own: freeing the decoded
// pictures at start-up would otherwise raise the allocator's thresholds, and
// later buffers freed stay in the process.
void MapLargeBuffersApart();

// Has the kernel back the whole pages of [data, data + bytes) for writing in
// one call, instead of one page fault per page as they are first written.
void BackPagesNow(void* data, std::size_t bytes);

// v as n copies of value, its pages backed at once.
template <class T>
void AssignBacked(std::vector<T>& v, std::size_t n, const T& value) {
  v.clear();
  v.reserve(n);
  BackPagesNow(v.data(), n * sizeof(T));
  v.resize(n, value);
}

}  // namespace platform
