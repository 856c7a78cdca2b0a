// Scales the display's frame into a window's pixels with its aspect kept and
// black bars around it: a plain copy when the sizes match, otherwise nearest
// neighbour or bilinear. Coefficients are computed once per size; the bilinear
// filter is separable and fixed-point, with vector code where the processor has
// it. Given which rows of the frame changed, it redraws only the target rows that
// show them. Knows nothing of windows, so any 32-bit target can be drawn into.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

enum class ScaleFilter { Nearest, Linear };

struct FramePlacement {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const FramePlacement&) const = default;
};

// Target rows first .. first + count - 1.
struct RowRun {
  int first = 0, count = 0;
  bool operator==(const RowRun&) const = default;
};

// Where a frame lands in a target: as large as fits with the aspect kept, centred.
FramePlacement FitFrame(int frameWidth, int frameHeight, int targetWidth, int targetHeight);

class FrameScaler {
 public:
  // Draws the frame (XRGB, tightly packed) into the target (XRGB, pitch in
  // pixels): the placement scaled with the filter and, when bars is true, black
  // everywhere around it. Returns the placement.
  FramePlacement Draw(const std::uint32_t* frame, int frameWidth, int frameHeight, std::uint32_t* target,
                      int targetPitch, int targetWidth, int targetHeight, ScaleFilter filter, bool bars);
  // The same without bars, drawing only the target rows that show a frame row r
  // with changed[r] != 0 (bilinear rows read two frame rows); the rows drawn are
  // put into runs, in order.
  FramePlacement DrawChanged(const std::uint32_t* frame, int frameWidth, int frameHeight,
                             const std::uint8_t* changed, std::uint32_t* target, int targetPitch, int targetWidth,
                             int targetHeight, ScaleFilter filter, std::vector<RowRun>& runs);

  // The widest vector code the processor runs is used; tests and benchmarks
  // compare every level with the portable code (all are always built).
  enum class Level { Portable, Ssse3, Avx2 };
  static Level BestLevel();
  static void UseLevel(Level level);  // clamped to what the processor runs
  static Level CurrentLevel();

 public:
  // Per block of four outputs for the vector row filter: first source sample,
  // byte shuffle, weights; blocks it cannot take (downscaling, the row's end) are
  // done one by one.
  struct Block {
    alignas(16) std::uint8_t shuffle[16] = {};
    alignas(16) std::int16_t weight[16] = {};  // per channel of the four outputs, weight * 128
    std::int32_t base = 0;
    bool vector = false;
  };

 private:
  struct Axis {
    std::vector<std::int32_t> index;   // left (or nearest) source sample of each output
    std::vector<std::uint16_t> weight;  // of the right sample, in 1/256 (0..255)
  };
  // What one drawing redraws: every row (changed null) or the changed ones, noted in runs.
  struct RowFilter {
    const std::uint8_t* changed = nullptr;
    std::vector<RowRun>* runs = nullptr;
    bool Wants(int frameRow) const { return !changed || changed[frameRow]; }
    void Drawn(int targetRow) const;
  };
  FramePlacement DrawRows(const std::uint32_t* frame, int frameWidth, int frameHeight, std::uint32_t* target,
                          int targetPitch, int targetWidth, int targetHeight, ScaleFilter filter, bool bars,
                          const RowFilter& rows);
  void Prepare(int frameWidth, int frameHeight, const FramePlacement& placement);
  void Linear(const std::uint32_t* frame, std::uint32_t* target, int targetPitch, const RowFilter& rows);
  void Nearest(const std::uint32_t* frame, std::uint32_t* target, int targetPitch, const RowFilter& rows);
  void ScaleRow(const std::uint32_t* source, std::uint32_t* out) const;

  int frameWidth_ = 0, frameHeight_ = 0;
  FramePlacement placement_;
  Axis linearX_, linearY_, nearestX_, nearestY_;
  std::vector<Block> blocks_;
  std::vector<std::uint32_t> rowA_, rowB_;  // the two filtered source rows an output row blends
  int rowAIndex_ = -1, rowBIndex_ = -1;
};

}  // namespace platform
