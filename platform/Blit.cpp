#include "platform/Blit.h"

#include <algorithm>
#include <cstring>

namespace platform {

void FillRect(std::uint32_t* dst, int dstPitch, int x, int y, int w, int h, std::uint32_t color) {
  for (int row = 0; row < h; ++row) {
    std::uint32_t* d = dst + static_cast<std::ptrdiff_t>(y + row) * dstPitch + x;
    std::fill(d, d + w, color);
  }
}

void CopyPlain(std::uint32_t* dst, int dstPitch, const std::uint32_t* src, int srcPitch, int w, int h) {
  if (w <= 0 || h <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(w) * sizeof(std::uint32_t);
  for (int row = 0; row < h; ++row)
    std::memmove(dst + static_cast<std::ptrdiff_t>(row) * dstPitch, src + static_cast<std::ptrdiff_t>(row) * srcPitch,
                 bytes);
}

// Wider vectors where the processor has them; the select vectorises either way.
// The run-time choice is an ifunc, which ThreadSanitizer cannot start with.
#if defined(__SANITIZE_THREAD__)
#define BRISVANE_WIDE_VECTORS
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define BRISVANE_WIDE_VECTORS
#endif
#endif
#ifndef BRISVANE_WIDE_VECTORS
#define BRISVANE_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#endif

namespace {
BRISVANE_WIDE_VECTORS void KeyedRow(std::uint32_t* __restrict d, const std::uint32_t* __restrict s, int w,
                                    std::uint32_t low, std::uint32_t range) {
  for (int i = 0; i < w; ++i) {
    const std::uint32_t v = s[i];
    d[i] = ((v & 0xFFFFFFu) - low) <= range ? d[i] : v;
  }
}
BRISVANE_WIDE_VECTORS bool AnyInRange(const std::uint32_t* s, int w, std::uint32_t low, std::uint32_t range) {
  bool any = false;
  for (int i = 0; i < w; ++i) any |= ((s[i] & 0xFFFFFFu) - low) <= range;
  return any;
}
}  // namespace

bool HoldsKey(const std::uint32_t* row, int w, std::uint32_t low, std::uint32_t high) {
  low &= 0xFFFFFFu;
  high &= 0xFFFFFFu;
  return high >= low && AnyInRange(row, w, low, high - low);
}

void CopyKeyed(std::uint32_t* dst, int dstPitch, const std::uint32_t* src, int srcPitch, int w, int h,
               std::uint32_t low, std::uint32_t high) {
  low &= 0xFFFFFFu;
  high &= 0xFFFFFFu;
  if (high < low) {
    CopyPlain(dst, dstPitch, src, srcPitch, w, h);
    return;
  }
  const std::uint32_t range = high - low;
  for (int row = 0; row < h; ++row)
    KeyedRow(dst + static_cast<std::ptrdiff_t>(row) * dstPitch, src + static_cast<std::ptrdiff_t>(row) * srcPitch, w,
             low, range);
}

void StretchCopy(std::uint32_t* dst, int dstPitch, int dx, int dy, int dw, int dh, const std::uint32_t* src,
                 int srcPitch, int sx, int sy, int sw, int sh, bool keyed, std::uint32_t low, std::uint32_t high) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  low &= 0xFFFFFFu;
  high &= 0xFFFFFFu;
  for (int row = 0; row < dh; ++row) {
    const int srow = sy + static_cast<int>(static_cast<long long>(row) * sh / dh);
    const std::uint32_t* s = src + static_cast<std::ptrdiff_t>(srow) * srcPitch;
    std::uint32_t* d = dst + static_cast<std::ptrdiff_t>(dy + row) * dstPitch + dx;
    for (int col = 0; col < dw; ++col) {
      const std::uint32_t v = s[sx + static_cast<int>(static_cast<long long>(col) * sw / dw)];
      const std::uint32_t c = v & 0xFFFFFFu;
      if (keyed && c >= low && c <= high) continue;
      d[col] = v;
    }
  }
}

}  // namespace platform
