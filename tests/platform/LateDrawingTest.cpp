// The display draws copies and fills late and leaves alone the rows a frame
// draws as the buffer already holds them. Whatever it leaves out, every
// presented frame must equal the same drawing done at once, rows with equal
// signatures must be equal, and a frame drawn like the one before must keep
// every row's signature (so the presenter sends nothing).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Blit.h"
#include "platform/DDraw.h"
#include "platform/DisplayDriver.h"
#include "platform/DrawingContext.h"
#include "support/FlipChain.h"

namespace {

using namespace platform;

constexpr int W = 40, H = 30;

// Trades buffers with the display as the windowed presenter does (a mailbox
// and the shown frame), so back buffers come back holding older frames.
class TradingDriver : public DisplayDriver {
 public:
  void Present(FrameBuffer& frame, int, int) override {
    last = frame;
    frame.swap(held[next]);
    if (frame.pixels.size() != last.pixels.size()) frame = {std::vector<std::uint32_t>(last.pixels.size(), 0u), {}};
    next = 1 - next;
  }
  FrameBuffer last;
  FrameBuffer held[2];
  int next = 0;
};

struct Image {
  int w = 0, h = 0;
  std::vector<std::uint32_t> px;
};

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct Step {
  enum What { Fill, Copy, CopyKeyed, BltSame, Stretch, Context, Lock, IntoSource, Renew } what = Fill;
  int source = 0;
  RECT from, to;  // source rectangle; destination (its size matters only for Stretch and Fill)
  std::uint32_t colour = 0;
  bool throughLock = false;  // IntoSource: written at once, not as a fill
  bool operator==(const Step&) const = default;
  bool Pure() const { return what <= BltSame; }  // changes nothing but the back buffer, as a signature tells
};

struct LateDrawingTest : ::testing::Test {
  std::shared_ptr<TradingDriver> driver = std::make_shared<TradingDriver>();
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;
  IDirectDrawSurface* sources[3] = {};
  // What drawing at once gives: the chain's buffers as they trade places.
  Image refPrimary{W, H, std::vector<std::uint32_t>(W * H, 0u)}, refBack = refPrimary;
  Image refHeld[2];
  Image refSources[3];
  std::mt19937 rng{20261208};

  LateDrawingTest() { SetDisplayDriver(driver); }
  ~LateDrawingTest() override {
    for (IDirectDrawSurface* s : sources)
      if (s) s->Release();
    if (back) back->Release();
    if (primary) primary->Release();
    if (dd) dd->Release();
    SetDisplayDriver(nullptr);
  }

  int Random(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  // Mostly a few colours, so keyed copies and equal rows happen; black is the key.
  std::uint32_t Colour() { return Random(4) == 0 ? 0u : 0x101010u * static_cast<std::uint32_t>(1 + Random(12)); }

  // A source of a given size, written through a lock: some rows hold the key, some not.
  void MakeSource(int i, int w, int h) {
    if (sources[i]) sources[i]->Release();
    sources[i] = testing_support::MakePlainSurface(dd, w, h);
    ASSERT_NE(sources[i], nullptr);
    DDCOLORKEY key{0, 0};
    sources[i]->SetColorKey(DDCKEY_SRCBLT, &key);
    refSources[i] = {w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h)};
    WriteThroughLock(sources[i], refSources[i]);
  }
  void WriteThroughLock(IDirectDrawSurface* s, Image& ref) {
    DDSURFACEDESC desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    auto* p = static_cast<std::uint32_t*>(desc.lpSurface);
    for (int y = 0; y < ref.h; ++y) {
      const bool keyRow = Random(3) == 0;
      for (int x = 0; x < ref.w; ++x) {
        std::uint32_t c = Colour();
        if (!keyRow && c == 0) c = 0x0A0B0C;
        p[y * (desc.lPitch / 4) + x] = ref.px[static_cast<std::size_t>(y) * ref.w + x] = c;
      }
    }
    s->Unlock(nullptr);
  }

  RECT RandomRect(int w, int h) {
    const int l = Random(w), t = Random(h);
    return {l, t, l + 1 + Random(w - l), t + 1 + Random(h - t)};
  }
  Step RandomStep() {
    Step s;
    const int r = Random(20);
    s.what = r < 3 ? Step::Fill : r < 8 ? Step::Copy : r < 13 ? Step::CopyKeyed : r < 15 ? Step::BltSame
           : r < 16 ? Step::Stretch : r < 17 ? Step::Context : r < 18 ? Step::Lock : r < 19 ? Step::IntoSource
                    : Step::Renew;
    s.source = Random(3);
    const Image& src = refSources[s.source];
    s.from = RandomRect(src.w, src.h);
    const int w = s.from.right - s.from.left, h = s.from.bottom - s.from.top;
    const int x = Random(W - w + 1), y = Random(H - h + 1);
    s.to = s.what == Step::Fill || s.what == Step::Stretch ? RandomRect(W, H) : RECT{x, y, x + w, y + h};
    s.colour = Colour();
    s.throughLock = Random(2) == 0;
    return s;
  }
  static Step Cover(std::uint32_t colour) { return {Step::Fill, 0, {}, {0, 0, W, H}, colour}; }

  // The step on the display and on the reference.
  void Apply(const Step& s) {
    IDirectDrawSurface* src = sources[s.source];
    Image& ref = refSources[s.source];
    const int w = s.to.right - s.to.left, h = s.to.bottom - s.to.top;
    std::uint32_t* at = refBack.px.data() + s.to.top * W + s.to.left;
    const std::uint32_t* from = ref.px.data() + s.from.top * ref.w + s.from.left;
    switch (s.what) {
      case Step::Fill: {
        DDBLTFX fx;
        fx.dwFillColor = s.colour;
        ASSERT_EQ(back->Blt(&s.to, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
        FillRect(refBack.px.data(), W, s.to.left, s.to.top, w, h, s.colour);
        break;
      }
      case Step::Copy:
      case Step::CopyKeyed: {
        const bool keyed = s.what == Step::CopyKeyed;
        ASSERT_EQ(back->BltFast(s.to.left, s.to.top, src, &s.from, keyed ? DDBLTFAST_SRCCOLORKEY : 0), DD_OK);
        keyed ? CopyKeyed(at, W, from, ref.w, w, h, 0, 0) : CopyPlain(at, W, from, ref.w, w, h);
        break;
      }
      case Step::BltSame:
        ASSERT_EQ(back->Blt(&s.to, src, &s.from, DDBLT_KEYSRC, nullptr), DD_OK);
        CopyKeyed(at, W, from, ref.w, w, h, 0, 0);
        break;
      case Step::Stretch:
        ASSERT_EQ(back->Blt(&s.to, src, &s.from, 0, nullptr), DD_OK);
        StretchCopy(refBack.px.data(), W, s.to.left, s.to.top, w, h, ref.px.data(), ref.w, s.from.left, s.from.top,
                    s.from.right - s.from.left, s.from.bottom - s.from.top, false, 0, 0);
        break;
      case Step::Context: {
        HDC dc = nullptr;
        ASSERT_EQ(back->GetDC(&dc), DD_OK);
        dc->DrawPixels(s.to.left, s.to.top, from, w, h, ref.w);
        back->ReleaseDC(dc);
        CopyPlain(at, W, from, ref.w, w, h);
        break;
      }
      case Step::Lock: {
        DDSURFACEDESC desc;
        ASSERT_EQ(back->Lock(&s.to, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        static_cast<std::uint32_t*>(desc.lpSurface)[0] = s.colour;
        back->Unlock(nullptr);
        *at = s.colour;
        break;
      }
      case Step::IntoSource: {
        // A copy drawn late must still see the source as it was.
        if (s.throughLock) {
          DDSURFACEDESC desc;
          ASSERT_EQ(src->Lock(&s.from, &desc, DDLOCK_WAIT, nullptr), DD_OK);
          FillRect(static_cast<std::uint32_t*>(desc.lpSurface), desc.lPitch / 4, 0, 0, s.from.right - s.from.left,
                   s.from.bottom - s.from.top, s.colour);
          src->Unlock(nullptr);
        } else {
          DDBLTFX fx;
          fx.dwFillColor = s.colour;
          ASSERT_EQ(src->Blt(&s.from, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
        }
        FillRect(ref.px.data(), ref.w, s.from.left, s.from.top, s.from.right - s.from.left,
                 s.from.bottom - s.from.top, s.colour);
        break;
      }
      case Step::Renew:  // released with copies from it still to draw
        MakeSource(s.source, ref.w, ref.h);
        break;
    }
  }

  void Flip() {
    ASSERT_EQ(primary->Flip(nullptr, 0), DD_OK);
    std::swap(refPrimary, refBack);
    const Image shown = refPrimary;
    std::swap(refPrimary, refHeld[driver->next == 0 ? 1 : 0]);  // the driver has moved on
    if (refPrimary.px.size() != shown.px.size()) refPrimary = {W, H, std::vector<std::uint32_t>(W * H, 0u)};
    ASSERT_EQ(driver->last.pixels, shown.px);
  }
};

TEST_F(LateDrawingTest, EveryFrameEqualsDrawingAtOnceAndUnchangedRowsKeepTheirSignatures) {
  ASSERT_EQ(testing_support::OpenFlipChain(W, H, &dd, &primary, &back), DD_OK);
  MakeSource(0, W, H);  // a background's size, so that copies can cover the frame
  MakeSource(1, 12, 10);
  MakeSource(2, 7, 5);
  std::vector<Step> steps, before;
  FrameBuffer previous;
  int unchangedFrames = 0;
  for (int frame = 0; frame < 600; ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    before = steps;
    const int change = Random(10);
    if (steps.empty() || change == 0) {
      steps = {Cover(Colour())};
    } else if (change < 5) {
      for (int n = 1 + Random(3); n > 0; --n) {
        const int at = Random(static_cast<int>(steps.size()) + 1);
        if (Random(3) == 0 && steps.size() > 1)
          steps.erase(steps.begin() + std::max(at - 1, 1));
        else
          steps.insert(steps.begin() + std::max(at, 1), RandomStep());
      }
      // Now and then a frame that does not start from a cover.
      if (Random(8) == 0) steps.front() = RandomStep();
      if (Random(4) == 0) steps.front() = Cover(Colour());
      if (Random(4) == 0) steps.insert(steps.begin() + 1, {Step::Copy, 0, {0, 0, W, H}, {0, 0, W, H}, 0});
    }
    if (frame % 100 == 50) {  // more copies and fills to draw at once than a frame usually has
      while (steps.size() < 150) {
        if (Step s = RandomStep(); s.Pure()) steps.push_back(s);
      }
    }
    for (const Step& s : steps) {
      Apply(s);
      if (HasFatalFailure()) return;
    }
    Flip();
    if (HasFatalFailure()) return;
    const FrameBuffer& shown = driver->last;
    ASSERT_EQ(shown.rows.size(), static_cast<std::size_t>(H));
    if (previous.rows.size() == static_cast<std::size_t>(H)) {
      for (int r = 0; r < H; ++r) {
        if (shown.rows[r] != previous.rows[r]) continue;
        ASSERT_TRUE(std::equal(shown.pixels.begin() + r * W, shown.pixels.begin() + (r + 1) * W,
                               previous.pixels.begin() + r * W))
            << "row " << r << " kept its signature but changed";
      }
      const bool pure = std::all_of(steps.begin(), steps.end(), [](const Step& s) { return s.Pure(); });
      if (steps == before && pure && steps.front() == Cover(steps.front().colour)) {
        ++unchangedFrames;
        EXPECT_EQ(shown.rows, previous.rows) << "a frame drawn as the one before changed signatures";
      }
    }
    previous = shown;
  }
  EXPECT_GT(unchangedFrames, 30);
}

}  // namespace
