#include "scene/FlightPaths.h"

#include <cmath>

namespace scene {

const std::array<PathPoint, 38> kBirdTable1 = {{
    {331, 378}, {398, 296}, {613, 350}, {384, 373}, {468, 343}, {559, 329}, {621, 351}, {743, 294},
    {616, 238}, {490, 308}, {754, 341}, {845, 282}, {908, 239}, {1005, 272}, {907, 330}, {862, 293},
    {937, 250}, {1071, 300}, {997, 362}, {887, 346}, {806, 250}, {672, 269}, {771, 312}, {856, 270},
    {785, 232}, {715, 258}, {676, 293}, {669, 345}, {750, 351}, {792, 283}, {664, 312}, {664, 345},
    {594, 381}, {525, 406}, {383, 385}, {548, 361}, {483, 425}, {396, 411},
}};

const std::array<PathPoint, 23> kBirdTable2 = {{
    {439, 240}, {499, 268}, {590, 249}, {721, 275}, {756, 198}, {686, 180}, {630, 212}, {771, 243},
    {839, 265}, {912, 195}, {776, 200}, {823, 232}, {893, 222}, {953, 236}, {910, 277}, {806, 255},
    {791, 201}, {705, 212}, {789, 278}, {685, 280}, {636, 184}, {597, 277}, {498, 305},
}};

const std::array<PathPoint, 74> kButterflyTable = {{
    {1, 315},    {82, 393},   {47, 416},   {1, 356},    {1, 371},    {33, 375},   {94, 452},  {165, 396},
    {171, 385},  {72, 352},   {19, 425},   {46, 490},   {127, 505},  {118, 479},  {54, 517},  {95, 528},
    {87, 498},   {130, 458},  {147, 437},  {88, 419},   {5, 486},    {0, 361},    {49, 337},  {92, 321},
    {81, 370},   {102, 367},  {16, 344},   {-156, 355}, {-65, 653},  {259, 654},  {573, 654}, {735, 653},
    {835, 651},  {839, 456},  {766, 381},  {687, 403},  {665, 488},  {744, 500},  {732, 417}, {688, 456},
    {696, 474},  {705, 516},  {676, 526},  {658, 513},  {730, 483},  {729, 472},  {712, 458}, {767, 544},
    {701, 558},  {654, 489},  {678, 433},  {692, 430},  {832, 439},  {830, 351},  {755, 456}, {720, 535},
    {670, 461},  {772, 490},  {854, 453},  {855, 655},  {855, 654},  {621, 655},  {389, 653}, {173, 653},
    {-77, 656},  {-109, 655}, {-165, 340}, {-146, 320}, {16, 324},   {102, 337},  {161, 333}, {125, 310},
    {63, 373},   {2, 337},
}};

namespace {

// The probe step of a heading, as a single-precision value (0.033333335).
constexpr float kProbeT = 1.0f / 30.0f;

std::array<float, 4> Coefficients(float p0, float p1, float p2, float p3) {
  return {(p0 + 4.0f * p1 + p2) / 6.0f, (p2 - p0) / 2.0f, (p0 - 2.0f * p1 + p2) / 2.0f,
          (3.0f * (p1 - p2) - p0 + p3) / 6.0f};
}

// Moves to the next step, changing segment (and calling change) past the last.
template <class Change>
void Advance(PathRecord& r, Change change) {
  r.step += 1;
  if (r.step > r.steps) {
    r.step = 0;
    r.segment += 1;
    if (r.segment >= r.count) r.segment = 0;
    change();
    r.step += 1;
  }
  const float t = static_cast<float>(r.step) / static_cast<float>(r.steps);
  r.x = Position(r.cx, t);
  r.y = Position(r.cy, t);
}

void BirdSegmentChange(PathRecord& r) {
  std::array<float, 4> nx, ny;
  SegmentCoefficients(r, (r.segment + 1) % r.count, nx, ny);
  r.nextHeading = SegmentHeading(nx, ny);
  SegmentCoefficients(r, r.segment, r.cx, r.cy);
  r.startHeading = SegmentHeading(r.cx, r.cy);
  AdjustTurn(r.startHeading, r.nextHeading, r.turn);
}

}  // namespace

void SegmentCoefficients(const PathRecord& r, int segment, std::array<float, 4>& cx, std::array<float, 4>& cy) {
  const int n = r.count;
  const PathPoint& p0 = r.points[static_cast<std::size_t>((segment - 1 + n) % n)];
  const PathPoint& p1 = r.points[static_cast<std::size_t>(segment % n)];
  const PathPoint& p2 = r.points[static_cast<std::size_t>((segment + 1) % n)];
  const PathPoint& p3 = r.points[static_cast<std::size_t>((segment + 2) % n)];
  const auto f = [](std::int32_t v) { return static_cast<float>(v); };
  cx = Coefficients(f(p0.x), f(p1.x), f(p2.x), f(p3.x));
  cy = Coefficients(f(p0.y), f(p1.y), f(p2.y), f(p3.y));
}

float Position(const std::array<float, 4>& c, float t) { return ((c[3] * t + c[2]) * t + c[1]) * t + c[0]; }

std::int32_t HeadingOf(int dx, int dy) {
  if (dx == 0) return dy == 0 ? 0 : dy > 0 ? 90 : 270;
  if (dy == 0) return dx > 0 ? 0 : 180;
  const int a = std::abs(static_cast<int>(std::atan(static_cast<double>(dy) / dx) * 180.0 / M_PI));
  if (dx > 0) return dy > 0 ? a : 360 - a;
  return dy > 0 ? 180 - a : 180 + a;
}

std::int32_t SegmentHeading(const std::array<float, 4>& cx, const std::array<float, 4>& cy) {
  const int x0 = static_cast<int>(Position(cx, 0.0f));
  const int y0 = static_cast<int>(Position(cy, 0.0f));
  const int x1 = static_cast<int>(Position(cx, kProbeT));
  const int y1 = static_cast<int>(Position(cy, kProbeT));
  return HeadingOf(x1 - x0, y1 - y0);
}

void AdjustTurn(std::int32_t start, std::int32_t& next, std::int32_t& turn) {
  if (start > next && next < 180 && start > 180) next += 360;
  turn = next - start;
  if (turn > 180) turn -= 360;
}

void InitBirdPath(PathRecord& r, int count, std::span<const PathPoint> table, int start, int steps) {
  for (int i = 0; i < count; ++i) r.points[static_cast<std::size_t>(i)] = table[static_cast<std::size_t>(i)];
  r.count = count;
  r.segment = start;
  r.steps = steps;
  BirdSegmentChange(r);
}

void StepBird(components::TWMV& strip, PathRecord& r) {
  Advance(r, [&] { BirdSegmentChange(r); });
  if (r.step >= 1) {
    int h = (r.startHeading + r.step * r.turn / r.steps) % 360;
    if (h < 0) h += 360;
    r.heading = h;
  } else {
    r.heading = r.startHeading;
  }
  r.frame = r.heading / 3;
  strip.SetNumberFrame(r.frame);
  strip.SetShowX(static_cast<int>(r.x));
  strip.SetShowY(static_cast<int>(r.y));
  strip.DrawMovie();
}

void InitButterflyPath(PathRecord& r, int start) {
  r.step = 0;
  r.count = static_cast<std::int32_t>(kButterflyTable.size());
  for (std::size_t i = 0; i < kButterflyTable.size(); ++i) r.points[i] = kButterflyTable[i];
  r.segment = start;
  r.steps = kButterflySteps;
  SegmentCoefficients(r, r.segment, r.cx, r.cy);
}

void StepButterfly(PathRecord& r) {
  Advance(r, [&] { SegmentCoefficients(r, r.segment, r.cx, r.cy); });
}

}  // namespace scene
