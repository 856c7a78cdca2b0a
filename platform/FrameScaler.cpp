#include "platform/FrameScaler.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BRISVANE_X86 1
#endif

namespace platform {

namespace {

using Level = FrameScaler::Level;

Level DetectLevel() {
#ifdef BRISVANE_X86
  if (__builtin_cpu_supports("avx2")) return Level::Avx2;
  if (__builtin_cpu_supports("ssse3")) return Level::Ssse3;
#endif
  return Level::Portable;
}

std::atomic<Level> gLevel{DetectLevel()};

// One pixel between a and b, the weight of b in 1/256, each channel rounded the
// way the vector code's multiply-high rounds: a + (b - a) * w / 256.
inline std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::int32_t w) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::int32_t ca = static_cast<std::int32_t>((a >> shift) & 0xFF);
    const std::int32_t cb = static_cast<std::int32_t>((b >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>(ca + (((cb - ca) * (w << 7) + 0x4000) >> 15)) << shift;
  }
  return out;
}

void BlendRowPortable(const std::uint32_t* a, const std::uint32_t* b, std::int32_t w, std::uint32_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = Blend(a[i], b[i], w);
}

#ifdef BRISVANE_X86
// a + (b - a) * w over 16-bit channels, w given as weight * 128.
__attribute__((target("ssse3"))) inline __m128i Lerp16(__m128i a, __m128i b, __m128i w) {
  return _mm_add_epi16(a, _mm_mulhrs_epi16(_mm_sub_epi16(b, a), w));
}

__attribute__((target("ssse3"))) inline __m128i Lerp8(__m128i a, __m128i b, __m128i wlo, __m128i whi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = Lerp16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), wlo);
  const __m128i hi = Lerp16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), whi);
  return _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
}

__attribute__((target("avx2"))) inline __m256i Lerp8(__m256i a, __m256i b, __m256i wlo, __m256i whi) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i lo = _mm256_add_epi16(_mm256_unpacklo_epi8(a, zero),
                                      _mm256_mulhrs_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(b, zero),
                                                                           _mm256_unpacklo_epi8(a, zero)),
                                                          wlo));
  const __m256i hi = _mm256_add_epi16(_mm256_unpackhi_epi8(a, zero),
                                      _mm256_mulhrs_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(b, zero),
                                                                           _mm256_unpackhi_epi8(a, zero)),
                                                          whi));
  return _mm256_and_si256(_mm256_packus_epi16(lo, hi), _mm256_set1_epi32(0x00FFFFFF));
}

__attribute__((target("ssse3"))) void BlendRowSsse3(const std::uint32_t* a, const std::uint32_t* b, std::int32_t w,
                                                    std::uint32_t* out, int n) {
  const __m128i wv = _mm_set1_epi16(static_cast<short>(w << 7));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Lerp8(pa, pb, wv, wv));
  }
  BlendRowPortable(a + i, b + i, w, out + i, n - i);
}

__attribute__((target("avx2"))) void BlendRowAvx2(const std::uint32_t* a, const std::uint32_t* b, std::int32_t w,
                                                  std::uint32_t* out, int n) {
  const __m256i wv = _mm256_set1_epi16(static_cast<short>(w << 7));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), Lerp8(pa, pb, wv, wv));
  }
  BlendRowSsse3(a + i, b + i, w, out + i, n - i);
}
#endif

// The samples of one axis for bilinear filtering, pixel centres aligned:
// output i samples the source at (i + 0.5) * in / out - 0.5, clamped to the edges.
void LinearAxis(int in, int out, std::vector<std::int32_t>& index, std::vector<std::uint16_t>& weight) {
  index.resize(out);
  weight.resize(out);
  for (int i = 0; i < out; ++i) {
    // The position in 1/256 of a source pixel, rounded.
    const long long num = (2LL * i + 1) * in * 128 - 128LL * out;
    long long s = num <= 0 ? 0 : (num + out / 2) / out;
    long long i0 = s >> 8;
    long long w = s & 255;
    if (i0 >= in - 1) {
      i0 = in - 1;
      w = 0;
    }
    index[i] = static_cast<std::int32_t>(i0);
    weight[i] = static_cast<std::uint16_t>(w);
  }
}

// Output i shows the source pixel whose span holds its centre.
void NearestAxis(int in, int out, std::vector<std::int32_t>& index) {
  index.resize(out);
  for (int i = 0; i < out; ++i)
    index[i] = static_cast<std::int32_t>(std::min<long long>(((2LL * i + 1) * in) / (2LL * out), in - 1));
}

void Fill(std::uint32_t* row, int n) {
  if (n > 0) std::memset(row, 0, static_cast<std::size_t>(n) * 4);
}

}  // namespace

FramePlacement FitFrame(int frameWidth, int frameHeight, int targetWidth, int targetHeight) {
  FramePlacement p;
  if (frameWidth <= 0 || frameHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return p;
  // Whichever side is tighter decides; integer arithmetic so no size is off by one.
  if (static_cast<long long>(targetWidth) * frameHeight <= static_cast<long long>(targetHeight) * frameWidth) {
    p.width = targetWidth;
    p.height = static_cast<int>(static_cast<long long>(frameHeight) * targetWidth / frameWidth);
  } else {
    p.height = targetHeight;
    p.width = static_cast<int>(static_cast<long long>(frameWidth) * targetHeight / frameHeight);
  }
  p.width = std::max(1, p.width);
  p.height = std::max(1, p.height);
  p.x = (targetWidth - p.width) / 2;
  p.y = (targetHeight - p.height) / 2;
  return p;
}

FrameScaler::Level FrameScaler::BestLevel() { return DetectLevel(); }

void FrameScaler::UseLevel(Level level) { gLevel.store(std::min(level, DetectLevel())); }

FrameScaler::Level FrameScaler::CurrentLevel() { return gLevel.load(); }

void FrameScaler::Prepare(int frameWidth, int frameHeight, const FramePlacement& placement) {
  if (frameWidth == frameWidth_ && frameHeight == frameHeight_ && placement.width == placement_.width &&
      placement.height == placement_.height) {
    placement_ = placement;
    return;
  }
  frameWidth_ = frameWidth;
  frameHeight_ = frameHeight;
  placement_ = placement;
  const int w = placement.width;
  LinearAxis(frameWidth, w, linearX_.index, linearX_.weight);
  LinearAxis(frameHeight, placement.height, linearY_.index, linearY_.weight);
  NearestAxis(frameWidth, w, nearestX_.index);
  NearestAxis(frameHeight, placement.height, nearestY_.index);
  blocks_.assign(static_cast<std::size_t>(w / 4), Block{});
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    Block& block = blocks_[b];
    const int first = static_cast<int>(b) * 4;
    block.base = linearX_.index[first];
    // Four outputs from five neighbouring samples, all inside the row.
    block.vector = linearX_.index[first + 3] - block.base <= 3 && block.base + 4 <= frameWidth - 1;
    for (int k = 0; k < 4; ++k) {
      const int offset = linearX_.index[first + k] - block.base;
      for (int c = 0; c < 4; ++c) {
        block.shuffle[k * 4 + c] = static_cast<std::uint8_t>(block.vector ? offset * 4 + c : 0);
        block.weight[k * 4 + c] = static_cast<std::int16_t>(linearX_.weight[first + k] << 7);
      }
    }
  }
  rowA_.assign(static_cast<std::size_t>(w), 0);
  rowB_.assign(static_cast<std::size_t>(w), 0);
}

namespace {

// What the row filter reads, for the loops of each level.
struct RowView {
  const std::uint32_t* source;
  const FrameScaler::Block* blocks;
  std::size_t blockCount;
  const std::int32_t* index;
  const std::uint16_t* weight;
  std::int32_t last;  // the row's last source pixel
};

inline void ScaleOne(const RowView& v, int i, std::uint32_t* out) {
  out[i] = Blend(v.source[v.index[i]], v.source[std::min(v.index[i] + 1, v.last)], v.weight[i]);
}

#ifdef BRISVANE_X86
// Four outputs of a row from the five source pixels at base: the left and the
// right samples picked by one shuffle from two overlapping loads.
__attribute__((target("ssse3"))) inline void ScaleBlockSsse3(const RowView& v, const FrameScaler::Block& b,
                                                             std::uint32_t* out) {
  const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(b.shuffle));
  const __m128i left = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v.source + b.base)), mask);
  const __m128i right =
      _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v.source + b.base + 1)), mask);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   Lerp8(left, right, _mm_load_si128(reinterpret_cast<const __m128i*>(b.weight)),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(b.weight + 8))));
}

__attribute__((target("ssse3"))) inline void ScaleBlockOrPixelsSsse3(const RowView& v, std::size_t b,
                                                                     std::uint32_t* out) {
  const int i = static_cast<int>(b) * 4;
  if (v.blocks[b].vector)
    ScaleBlockSsse3(v, v.blocks[b], out + i);
  else
    for (int k = 0; k < 4; ++k) ScaleOne(v, i + k, out);
}

__attribute__((target("ssse3"))) void ScaleBlocksSsse3(const RowView& v, std::uint32_t* out) {
  for (std::size_t b = 0; b < v.blockCount; ++b) ScaleBlockOrPixelsSsse3(v, b, out);
}

__attribute__((target("avx2"))) inline __m256i Pair(const void* hi, const void* lo) {
  return _mm256_loadu2_m128i(static_cast<const __m128i*>(hi), static_cast<const __m128i*>(lo));
}

// Two blocks at once, one in each half of the register.
__attribute__((target("avx2"))) void ScaleBlocksAvx2(const RowView& v, std::uint32_t* out) {
  std::size_t b = 0;
  for (; b + 2 <= v.blockCount; b += 2) {
    const FrameScaler::Block& b0 = v.blocks[b];
    const FrameScaler::Block& b1 = v.blocks[b + 1];
    if (!b0.vector || !b1.vector) {
      ScaleBlockOrPixelsSsse3(v, b, out);
      ScaleBlockOrPixelsSsse3(v, b + 1, out);
      continue;
    }
    const __m256i mask = Pair(b1.shuffle, b0.shuffle);
    const __m256i left = _mm256_shuffle_epi8(Pair(v.source + b1.base, v.source + b0.base), mask);
    const __m256i right = _mm256_shuffle_epi8(Pair(v.source + b1.base + 1, v.source + b0.base + 1), mask);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b * 4),
                        Lerp8(left, right, Pair(b1.weight, b0.weight), Pair(b1.weight + 8, b0.weight + 8)));
  }
  if (b < v.blockCount) ScaleBlockOrPixelsSsse3(v, b, out);
}
#endif

}  // namespace

void FrameScaler::ScaleRow(const std::uint32_t* source, std::uint32_t* out) const {
  const RowView v{source, blocks_.data(), blocks_.size(), linearX_.index.data(), linearX_.weight.data(),
                  frameWidth_ - 1};
  int i = 0;
#ifdef BRISVANE_X86
  const Level level = gLevel.load(std::memory_order_relaxed);
  if (level == Level::Avx2) ScaleBlocksAvx2(v, out);
  if (level == Level::Ssse3) ScaleBlocksSsse3(v, out);
  if (level != Level::Portable) i = static_cast<int>(blocks_.size()) * 4;
#endif
  for (; i < placement_.width; ++i) ScaleOne(v, i, out);
}

void FrameScaler::Linear(const std::uint32_t* frame, std::uint32_t* target, int targetPitch, const RowFilter& rows) {
  const Level level = gLevel.load(std::memory_order_relaxed);
  const int w = placement_.width;
  const int last = frameHeight_ - 1;
  auto row = [&](int r) { return frame + static_cast<std::size_t>(r) * frameWidth_; };
  rowAIndex_ = rowBIndex_ = -1;
  for (int y = 0; y < placement_.height; ++y) {
    const int r0 = linearY_.index[y];
    const int r1 = std::min(r0 + 1, last);
    if (!rows.Wants(r0) && !rows.Wants(r1)) continue;
    rows.Drawn(placement_.y + y);
    const std::int32_t wy = linearY_.weight[y];
    // Each source row is filtered once; the two newest are kept.
    if (rowAIndex_ != r0) {
      if (rowBIndex_ == r0) {
        rowA_.swap(rowB_);
        rowAIndex_ = r0;
        rowBIndex_ = -1;
      } else {
        ScaleRow(row(r0), rowA_.data());
        rowAIndex_ = r0;
      }
    }
    std::uint32_t* out = target + static_cast<std::size_t>(placement_.y + y) * targetPitch + placement_.x;
    if (wy == 0) {
      std::memcpy(out, rowA_.data(), static_cast<std::size_t>(w) * 4);
      continue;
    }
    if (rowBIndex_ != r1) {
      ScaleRow(row(r1), rowB_.data());
      rowBIndex_ = r1;
    }
#ifdef BRISVANE_X86
    if (level == Level::Avx2) {
      BlendRowAvx2(rowA_.data(), rowB_.data(), wy, out, w);
      continue;
    }
    if (level == Level::Ssse3) {
      BlendRowSsse3(rowA_.data(), rowB_.data(), wy, out, w);
      continue;
    }
#endif
    (void)level;
    BlendRowPortable(rowA_.data(), rowB_.data(), wy, out, w);
  }
}

void FrameScaler::Nearest(const std::uint32_t* frame, std::uint32_t* target, int targetPitch, const RowFilter& rows) {
  const int w = placement_.width;
  const std::int32_t* index = nearestX_.index.data();
  for (int y = 0; y < placement_.height; ++y) {
    // Rows showing one frame row are all drawn or all skipped: the row above
    // that is copied below was drawn now.
    if (!rows.Wants(nearestY_.index[y])) continue;
    rows.Drawn(placement_.y + y);
    std::uint32_t* out = target + static_cast<std::size_t>(placement_.y + y) * targetPitch + placement_.x;
    if (y > 0 && nearestY_.index[y] == nearestY_.index[y - 1]) {
      std::memcpy(out, out - targetPitch, static_cast<std::size_t>(w) * 4);  // the same source row again
      continue;
    }
    const std::uint32_t* source = frame + static_cast<std::size_t>(nearestY_.index[y]) * frameWidth_;
    for (int x = 0; x < w; ++x) out[x] = source[index[x]] & 0x00FFFFFFu;
  }
}

void FrameScaler::RowFilter::Drawn(int targetRow) const {
  if (!runs) return;
  if (!runs->empty() && runs->back().first + runs->back().count == targetRow)
    ++runs->back().count;
  else
    runs->push_back({targetRow, 1});
}

FramePlacement FrameScaler::Draw(const std::uint32_t* frame, int frameWidth, int frameHeight, std::uint32_t* target,
                                 int targetPitch, int targetWidth, int targetHeight, ScaleFilter filter, bool bars) {
  return DrawRows(frame, frameWidth, frameHeight, target, targetPitch, targetWidth, targetHeight, filter, bars, {});
}

FramePlacement FrameScaler::DrawChanged(const std::uint32_t* frame, int frameWidth, int frameHeight,
                                        const std::uint8_t* changed, std::uint32_t* target, int targetPitch,
                                        int targetWidth, int targetHeight, ScaleFilter filter,
                                        std::vector<RowRun>& runs) {
  runs.clear();
  if (!changed) return {};
  return DrawRows(frame, frameWidth, frameHeight, target, targetPitch, targetWidth, targetHeight, filter, false,
                  {changed, &runs});
}

FramePlacement FrameScaler::DrawRows(const std::uint32_t* frame, int frameWidth, int frameHeight,
                                     std::uint32_t* target, int targetPitch, int targetWidth, int targetHeight,
                                     ScaleFilter filter, bool bars, const RowFilter& rows) {
  const FramePlacement p = FitFrame(frameWidth, frameHeight, targetWidth, targetHeight);
  if (p.width == 0 || !frame || !target || targetPitch < targetWidth) return {};
  if (bars) {
    for (int y = 0; y < p.y; ++y) Fill(target + static_cast<std::size_t>(y) * targetPitch, targetWidth);
    for (int y = p.y + p.height; y < targetHeight; ++y) Fill(target + static_cast<std::size_t>(y) * targetPitch, targetWidth);
    for (int y = p.y; y < p.y + p.height; ++y) {
      std::uint32_t* row = target + static_cast<std::size_t>(y) * targetPitch;
      Fill(row, p.x);
      Fill(row + p.x + p.width, targetWidth - p.x - p.width);
    }
  }
  if (p.width == frameWidth && p.height == frameHeight) {
    for (int y = 0; y < p.height; ++y) {
      if (!rows.Wants(y)) continue;
      rows.Drawn(p.y + y);
      std::memcpy(target + static_cast<std::size_t>(p.y + y) * targetPitch + p.x,
                  frame + static_cast<std::size_t>(y) * frameWidth, static_cast<std::size_t>(frameWidth) * 4);
    }
    placement_ = p;
    return p;
  }
  Prepare(frameWidth, frameHeight, p);
  if (filter == ScaleFilter::Linear)
    Linear(frame, target, targetPitch, rows);
  else
    Nearest(frame, target, targetPitch, rows);
  return p;
}

}  // namespace platform
