#include "scene/FlightPaths.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using scene::PathRecord;

TEST(FlightPaths, HeadingTableCaseByCase) {
  struct Case {
    int dx, dy, heading;
  } cases[] = {
      {0, 0, 0},      {0, 3, 90},     {0, -3, 270},   {4, 0, 0},       {-4, 0, 180},
      {1, 1, 45},     {2, 1, 26},     {1, -1, 315},   {2, -1, 334},    {-1, 1, 135},
      {-2, 1, 154},   {-1, -1, 225},  {-2, -1, 206},  {1, 100, 89},    {100, -1, 360},
      {100, 1, 0},    {-100, 1, 180}, {-100, -1, 180}, {1, -100, 271}, {-1, -100, 269},
  };
  for (const auto& c : cases) EXPECT_EQ(scene::HeadingOf(c.dx, c.dy), c.heading) << c.dx << "," << c.dy;
}

TEST(FlightPaths, TurnsTheShortWay) {
  struct Case {
    int start, next, adjustedNext, turn;
  } cases[] = {
      {350, 10, 370, 20}, {10, 350, 350, -20}, {170, 10, 10, -160}, {0, 180, 180, 180},
      {90, 271, 271, -179}, {270, 360, 360, 90}, {200, 100, 460, -100}, {300, 170, 530, -130},
  };
  for (const auto& c : cases) {
    int next = c.next, turn = 0;
    scene::AdjustTurn(c.start, next, turn);
    EXPECT_EQ(next, c.adjustedNext) << c.start << " to " << c.next;
    EXPECT_EQ(turn, c.turn) << c.start << " to " << c.next;
  }
}

TEST(FlightPaths, ProbePointsOnOnePixelFlyRight) {
  // The probe points are truncated to pixels before the heading is taken.
  const struct {
    std::array<float, 4> cx, cy;
    std::int32_t heading;
  } cases[] = {
      {{500.2f, 0.3f, 0, 0}, {300.1f, 0.5f, 0, 0}, 0},      // both within one pixel: still
      {{500.2f, 0.3f, 0, 0}, {300.99f, 0.6f, 0, 0}, 90},    // y crosses into the next row
      {{500.01f, -0.6f, 0, 0}, {300.2f, 0.3f, 0, 0}, 180},  // x falls back a column
  };
  for (const auto& c : cases) EXPECT_EQ(scene::SegmentHeading(c.cx, c.cy), c.heading) << c.cx[0] << ", " << c.cy[0];
  // All control points equal: the probe points coincide whatever the spline.
  PathRecord r;
  std::vector<scene::PathPoint> still(4, {500, 300});
  scene::InitBirdPath(r, 4, still, 0, 10);
  EXPECT_EQ(r.startHeading, 0);
  EXPECT_EQ(r.turn, 0);
}

TEST(FlightPaths, ABirdsFirstStepIsTheStartSegmentAtOneStep) {
  // Path A starts on segment 0 (control points 37, 0, 1, 2): worked by hand from the
  // spline's definition, its x starts at 353 and y at 369.83; the probe 1/30 on
  // gives dx 0, dy -2 (heading 270); segment 1's probe gives dx 5, dy 0 (heading 0,
  // turned to 360), so the bird turns +90 over 32 steps.
  PathRecord r;
  scene::InitBirdPath(r, 38, scene::kBirdTable1, 0, 32);
  EXPECT_EQ(r.startHeading, 270);
  EXPECT_EQ(r.nextHeading, 360);
  EXPECT_EQ(r.turn, 90);
  EXPECT_FLOAT_EQ(r.cx[0], 353.0f);
  EXPECT_NEAR(r.cy[0], 369.8333f, 1e-3);
  components::TWMV strip(nullptr);  // no engine: positions are kept as given, nothing is drawn
  std::vector<int> frames, xs, ys;
  for (int i = 0; i < 3; ++i) {
    scene::StepBird(strip, r);
    frames.push_back(strip.GetNumberFrame());
    xs.push_back(strip.GetShowX());
    ys.push_back(strip.GetShowY());
  }
  EXPECT_EQ(r.step, 3);
  // x(1/32) = 353.0958, y(1/32) = 368.0135; headings 270 + trunc(k * 90 / 32).
  EXPECT_EQ(xs[0], 353);
  EXPECT_EQ(ys[0], 368);
  EXPECT_EQ(frames, (std::vector<int>{272 / 3, 275 / 3, 278 / 3}));
}

TEST(FlightPaths, PathAWrapsFromItsLastSegmentToTheFirst) {
  PathRecord r;
  scene::InitBirdPath(r, 38, scene::kBirdTable1, 37, 32);
  // Segment 37 uses points 36, 37, 0, 1: c0 = (483 + 4*396 + 331) / 6 and (425 + 4*411 + 378) / 6.
  EXPECT_NEAR(r.cx[0], 2398.0f / 6, 1e-3);
  EXPECT_NEAR(r.cy[0], 2447.0f / 6, 1e-3);
  std::array<float, 4> cx0, cy0;
  scene::SegmentCoefficients(r, 0, cx0, cy0);
  // Segment 0 uses points 37, 0, 1, 2 and begins where segment 37 ends.
  EXPECT_FLOAT_EQ(cx0[0], 353.0f);
  EXPECT_NEAR(scene::Position(r.cx, 1.0f), cx0[0], 1e-3);
  EXPECT_NEAR(scene::Position(r.cy, 1.0f), cy0[0], 1e-3);
  components::TWMV strip(nullptr);
  for (int i = 0; i < 33; ++i) scene::StepBird(strip, r);
  EXPECT_EQ(r.segment, 0);
  EXPECT_EQ(r.step, 1);
  EXPECT_EQ(r.cx, cx0);
}

struct Loop {
  const char* name;
  bool bird;
  int count;
  const scene::PathPoint* table;
  int start, steps, frames;
};

TEST(FlightPaths, EveryPathReturnsToItsFirstPositionAfterOneLoop) {
  const Loop loops[] = {
      {"A", true, 38, scene::kBirdTable1.data(), 0, 32, 1216},
      {"B", true, 38, scene::kBirdTable1.data(), 10, 36, 1368},
      {"C", true, 23, scene::kBirdTable2.data(), 0, 50, 1150},
      {"D", true, 23, scene::kBirdTable2.data(), 9, 50, 1150},
      {"butterfly 1", false, 74, scene::kButterflyTable.data(), 20, 30, 2220},
      {"butterfly 2", false, 74, scene::kButterflyTable.data(), 28, 30, 2220},
      {"butterfly 3", false, 74, scene::kButterflyTable.data(), 60, 30, 2220},
  };
  components::TWMV strip(nullptr);
  for (const Loop& loop : loops) {
    PathRecord r;
    if (loop.bird)
      scene::InitBirdPath(r, loop.count, std::span(loop.table, static_cast<std::size_t>(loop.count)), loop.start,
                          loop.steps);
    else
      scene::InitButterflyPath(r, loop.start);
    const auto step = [&] { loop.bird ? scene::StepBird(strip, r) : scene::StepButterfly(r); };
    step();
    const float x = r.x, y = r.y;
    const int heading = r.heading;
    bool back = false;
    for (int i = 1; i < loop.frames; ++i) {
      step();
      back = back || (r.x == x && r.y == y && r.segment == loop.start && r.step == 1);
    }
    EXPECT_FALSE(back) << loop.name << " came back before its loop ended";
    step();
    EXPECT_EQ(r.x, x) << loop.name;
    EXPECT_EQ(r.y, y) << loop.name;
    EXPECT_EQ(r.heading, heading) << loop.name;
  }
}

TEST(FlightPaths, ButterfliesLeaveTheScreenAndComeBack) {
  for (int start : scene::kButterflyStarts) {
    PathRecord r;
    scene::InitButterflyPath(r, start);
    int left = 0, below = 0, onScreen = 0, returns = 0;
    bool wasOff = false;
    for (int i = 0; i < 2220; ++i) {
      scene::StepButterfly(r);
      const bool off = r.x < 0 || r.y >= 600 || r.x >= 800;
      left += r.x < 0;
      below += r.y >= 600;
      onScreen += !off;
      returns += wasOff && !off;
      wasOff = off;
    }
    EXPECT_GT(left, 0) << start;
    EXPECT_GT(below, 0) << start;
    EXPECT_GT(onScreen, 1000) << start;
    EXPECT_GT(returns, 0) << start;
  }
}

}  // namespace
