// Flight paths of the lake's birds and butterflies: closed uniform cubic
// B-splines through fixed control points, walked a fixed number of steps per
// segment, one step per frame. Bird paths also turn their bird to the heading.
// The arithmetic is single precision where the positions are, so every run
// flies exactly the same way.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "components/Wmv.h"

namespace scene {

struct PathPoint {
  std::int32_t x, y;
};

// One bird or butterfly. The heading fields are used by birds only.
struct PathRecord {
  std::array<PathPoint, 256> points{};
  std::int32_t count = 0;
  std::int32_t segment = 0;
  std::int32_t steps = 32;
  std::int32_t step = 0;
  std::array<float, 4> cx{};
  std::array<float, 4> cy{};
  float x = 0, y = 0;
  std::int32_t startHeading = 0;
  std::int32_t nextHeading = 0;
  std::int32_t turn = 0;
  std::int32_t heading = 0;
  std::int32_t frame = 0;
};

// The three control-point tables (design coordinates: 1024 x 768 for the
// birds, 800 x 600 for the butterflies).
extern const std::array<PathPoint, 38> kBirdTable1;
extern const std::array<PathPoint, 23> kBirdTable2;
extern const std::array<PathPoint, 74> kButterflyTable;
constexpr int kButterflyCount = 3;
constexpr std::array<int, kButterflyCount> kButterflyStarts = {20, 28, 60};
constexpr int kButterflySteps = 30;

// The spline coefficients of segment i (control points i-1 .. i+2, wrapping).
void SegmentCoefficients(const PathRecord& r, int segment, std::array<float, 4>& cx, std::array<float, 4>& cy);
float Position(const std::array<float, 4>& c, float t);
// Heading in whole degrees (0..360, 0 flying right, clockwise on screen) of the
// segment with these coefficients, from two probe points 1/30 apart.
std::int32_t SegmentHeading(const std::array<float, 4>& cx, const std::array<float, 4>& cy);
// The heading of a probe step dx, dy.
std::int32_t HeadingOf(int dx, int dy);
// Turns the short way: next heading adjusted across 360, turn in -179..180.
void AdjustTurn(std::int32_t start, std::int32_t& next, std::int32_t& turn);

// The record's step counter and position must be 0 (a new record).
void InitBirdPath(PathRecord& r, int count, std::span<const PathPoint> table, int start, int steps);
// Advances one step and draws the strip there, turned to the heading.
void StepBird(components::TWMV& strip, PathRecord& r);
void InitButterflyPath(PathRecord& r, int start);
// Advances one step; the scene places and draws the butterfly.
void StepButterfly(PathRecord& r);

}  // namespace scene
