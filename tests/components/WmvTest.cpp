#include "components/Wmv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "SpriteFixture.h"
#include "components/Wim.h"

// Counts heap allocations while a test asks for it: drawing a frame must make none.
namespace {
std::atomic<bool> gCountAllocations{false};
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (gCountAllocations.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using components::TWMV;
using framework::TBitmap;
using sprite_test::Numbered;
using sprite_test::NumberedBitmap;

struct WmvTest : sprite_test::SpriteFixture {
  TWMV* Strip(int w, int h, int frameHeight, int tag = 1) {
    TWMV* s = Make<TWMV>();
    s->Picture()->Assign(NumberedBitmap(w, h, tag));
    s->SetYOffsetFrame(frameHeight);
    return s;
  }
  static int Filled(TWMV* s) {
    int n = 0;
    for (int i = 0; i < TWMV::kMaxFrames; ++i) n += s->GetFrameSurface(i) != nullptr;
    return n;
  }
};

TEST_F(WmvTest, FrameCountsOfTheSceneStrips) {
  Open();
  struct Case {
    int w, h, frameHeight, frames;
  };
  for (const Case& c : {Case{40, 480, 30, 16}, Case{38, 2904, 24, 121}, Case{1024, 6880, 215, 32},
                        Case{40, 95, 30, 3}}) {
    SCOPED_TRACE(c.h);
    TWMV* s = Strip(c.w, c.h, c.frameHeight);
    s->CreateDXMovie();
    EXPECT_EQ(s->GetErrorResult(), "");
    EXPECT_EQ(s->GetFrameCount(), c.frames);
    EXPECT_EQ(Filled(s), c.frames);
    EXPECT_EQ(s->GetFrameWidth(), c.w);
    EXPECT_EQ(s->GetFrameHeight(), c.frameHeight);
    s->CloseDXMovie();
    delete s;
  }
}

TEST_F(WmvTest, EachFrameHoldsItsOwnRows) {
  Open();
  TWMV* s = Strip(5, 17, 4);  // 4 frames; the last row is an incomplete fifth frame
  s->CreateDXMovie();
  ASSERT_EQ(s->GetFrameCount(), 4);
  EXPECT_FALSE(s->GetFrameSurface(4));
  for (int i = 0; i < 4; ++i) {
    auto* f = s->GetFrameSurface(i);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->Width(), 5);
    ASSERT_EQ(f->Height(), 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) ASSERT_EQ(f->Pixels()[y * 5 + x], Numbered(x, i * 4 + y)) << i;
  }
  // Drawing picks the frame by number, clipped as a still sprite is.
  s->SetNumberFrame(2);
  s->SetShowX(-1);
  s->SetShowY(20);
  s->DrawMovie();
  EXPECT_EQ(s->GetErrorResult(), "");
  EXPECT_EQ(LitBack(), 4 * 4);
  EXPECT_EQ(BackAt(0, 20), Numbered(1, 8));
  EXPECT_EQ(BackAt(3, 23), Numbered(4, 11));
}

TEST_F(WmvTest, TwoHundredFramesAtMost) {
  Open();
  TWMV* ok = Strip(3, 2000, 10);
  ok->CreateDXMovie();
  EXPECT_EQ(ok->GetErrorResult(), "");
  EXPECT_EQ(ok->GetFrameCount(), 200);
  EXPECT_EQ(Filled(ok), 200);

  TWMV* tooMany = Strip(3, 2010, 10);
  tooMany->CreateDXMovie();
  EXPECT_EQ(tooMany->GetErrorResult(), "TOO match sprites");
  EXPECT_EQ(tooMany->GetFrameCount(), 0);
  EXPECT_EQ(Filled(tooMany), 0);
  // Keying and drawing find nothing to use.
  tooMany->SetTransparency(true);
  EXPECT_FALSE(tooMany->GetTransparency());
}

TEST_F(WmvTest, StretchedFramesTakeTheStretchSize) {
  Open();
  TWMV* s = Make<TWMV>();
  s->Picture()->Assign(NumberedBitmap(38, 48));
  s->SetStretching(true);
  s->SetYOffsetFrame(24);
  EXPECT_EQ(s->GetStretchWidth(), 38);
  EXPECT_EQ(s->GetStretchHeight(), 24);
  s->SetStretchWidth(24);
  s->SetStretchHeight(16);
  s->CreateDXMovie();
  ASSERT_EQ(s->GetFrameCount(), 2);
  auto* f = s->GetFrameSurface(1);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Width(), 24);
  EXPECT_EQ(f->Height(), 16);
  // Nearest neighbour: pixel (x, y) comes from column x*38/24, row 24 + y*24/16.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) ASSERT_EQ(f->Pixels()[y * 24 + x], Numbered(x * 38 / 24, 24 + y * 24 / 16));

  // On an 800 x 600 display the frame size is scaled from the strip width.
  wss->SetWidthScreen(800);
  wss->SetHeightScreen(600);
  s->SetYOffsetFrame(24);
  EXPECT_EQ(s->GetStretchWidth(), 38 * 800 / 1024);
  EXPECT_EQ(s->GetStretchHeight(), 18);
  // Without Stretching the setter only stores the height.
  TWMV* plain = Strip(38, 48, 24);
  EXPECT_EQ(plain->GetStretchWidth(), 100);
  EXPECT_EQ(plain->GetYOffsetFrame(), 24);
}

TEST_F(WmvTest, EachFrameIsKeyedOnItsOwnTopLeftPixel) {
  Open();
  // Frame 0 keyed on A shows B; frame 1 keyed on B shows A.
  const std::uint32_t A = 0x112233, B = 0x445566;
  TBitmap pic(3, 2);
  pic.ScanLine(0)[0] = A, pic.ScanLine(0)[1] = B, pic.ScanLine(0)[2] = A;
  pic.ScanLine(1)[0] = B, pic.ScanLine(1)[1] = A, pic.ScanLine(1)[2] = B;
  TWMV* s = Make<TWMV>();
  s->Picture()->Assign(pic);
  s->SetYOffsetFrame(1);
  s->CreateDXMovie();
  s->SetTransparency(true);
  EXPECT_TRUE(s->GetTransparency());
  platform::DDCOLORKEY key;
  ASSERT_EQ(s->GetFrameSurface(0)->GetColorKey(platform::DDCKEY_SRCBLT, &key), platform::DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, A);
  EXPECT_EQ(key.dwColorSpaceHighValue, A);
  ASSERT_EQ(s->GetFrameSurface(1)->GetColorKey(platform::DDCKEY_SRCBLT, &key), platform::DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, B);

  s->SetShowX(10);
  s->SetShowY(10);
  FillBack(0x00FFFFFF);
  s->SetNumberFrame(0);
  s->DrawMovie();
  EXPECT_EQ(BackAt(10, 10), 0xFFFFFFu);
  EXPECT_EQ(BackAt(11, 10), B);
  EXPECT_EQ(BackAt(12, 10), 0xFFFFFFu);
  FillBack(0x00FFFFFF);
  s->SetNumberFrame(1);
  s->DrawMovie();
  EXPECT_EQ(BackAt(10, 10), 0xFFFFFFu);
  EXPECT_EQ(BackAt(11, 10), A);
  // The key stays through a display loss and refill.
  env.display->LoseSurfaces();
  wss->IsLostRestore();
  FillBack(0x00FFFFFF);
  s->DrawMovie();
  EXPECT_EQ(BackAt(10, 10), 0xFFFFFFu);
  EXPECT_EQ(BackAt(11, 10), A);
  s->SetTransparency(false);
  s->DrawMovie();
  EXPECT_EQ(BackAt(10, 10), B);
}

TEST_F(WmvTest, ColourMatchPaintsAndPutsBack) {
  Open();
  TWMV* s = Strip(4, 4, 4);
  s->CreateDXMovie();
  auto* f = s->GetFrameSurface(0);
  ASSERT_TRUE(f);
  // A GDI colour (0x00BBGGRR) comes back in the surface's own XRGB order.
  EXPECT_EQ(s->DDColorMatch(f, platform::RGB(0x12, 0x34, 0x56)), 0x123456u);
  EXPECT_EQ(f->Pixels()[0], Numbered(0, 0));
  EXPECT_EQ(s->DDColorMatch(f, platform::CLR_INVALID), Numbered(0, 0));
  // A surface that cannot be locked gives no usable key.
  platform::DDSURFACEDESC desc;
  ASSERT_EQ(f->Lock(nullptr, &desc, 0, nullptr), platform::DD_OK);
  EXPECT_EQ(s->DDColorMatch(f, platform::CLR_INVALID), 0xFFFFFFFFu);
  f->Unlock(nullptr);
}

TEST_F(WmvTest, JpegStripsAreCutFromTheirDibBitmap) {
  Open();
  TWMV* s = Make<TWMV>();
  ASSERT_TRUE(s->Picture()->LoadFromBytes(sprite_test::ReadPictureFixture("pattern.jpg")));  // 48 x 32
  s->SetYOffsetFrame(8);
  s->CreateDXMovie();
  EXPECT_EQ(s->GetErrorResult(), "not loaded DIB BMP");
  EXPECT_EQ(s->GetFrameCount(), 4);
  EXPECT_EQ(Filled(s), 0);

  s->SetFDibBitmap(nullptr);
  EXPECT_FALSE(s->GetDibLoaded());
  const TBitmap dib = NumberedBitmap(48, 32, 7);
  s->SetFDibBitmap(&dib);
  EXPECT_TRUE(s->GetDibLoaded());
  s->SetErrorResult("");
  s->CreateDXMovie();
  EXPECT_EQ(s->GetErrorResult(), "");
  ASSERT_EQ(Filled(s), 4);
  EXPECT_EQ(s->GetFrameSurface(3)->Pixels()[0], Numbered(0, 24, 7)) << "cut from DibBitmap, not the picture";
  // Refilled from the same source after a loss.
  env.display->LoseSurfaces();
  wss->IsLostRestore();
  EXPECT_EQ(s->GetFrameSurface(3)->Pixels()[48 + 1], Numbered(1, 25, 7));

  // A DibBitmap shorter than the picture: what it lacks is black, not the previous frame.
  const TBitmap shortDib = NumberedBitmap(48, 20, 5);
  s->SetFDibBitmap(&shortDib);
  s->CreateDXMovie();
  auto* f2 = s->GetFrameSurface(2);
  ASSERT_TRUE(f2);
  EXPECT_EQ(f2->Pixels()[3 * 48], Numbered(0, 19, 5));
  EXPECT_EQ(f2->Pixels()[4 * 48], 0u);
  EXPECT_EQ(s->GetFrameSurface(3)->Pixels()[0], 0u);
}

// The scene's water, cut from the picture's rows as they are decoded, is the
// water cut from a decoded copy: at creation, after a loss (each frame spoilt
// first, so only a true refill passes) and for one frame made on its own.
TEST_F(WmvTest, AStripCutFromThePicturesRowsIsTheStripCutFromADecodedCopy) {
  Open();
  auto strip = [&] {
    TWMV* s = Make<TWMV>();
    EXPECT_TRUE(s->Picture()->LoadFromResource("WMV1"));
    s->SetYOffsetFrame(215);
    return s;
  };
  TWMV* copied = strip();
  copied->SetFDibBitmap(&copied->Picture()->Bitmap());
  copied->CreateDXMovie();
  TWMV* rows = strip();
  rows->Picture()->Dormant();
  rows->SetDibFromPicture();
  rows->CreateDXMovie();
  EXPECT_TRUE(rows->GetDibLoaded());
  EXPECT_TRUE(rows->GetDibBitmap().Empty()) << "the decoded strip is held";
  ASSERT_EQ(rows->GetFrameCount(), 32);
  // Frames asked for out of order: those before a later one are cut on the way.
  const auto same = [&](const char* when) {
    for (int i : {5, 1, 0, 31, 16}) {
      auto* a = rows->GetFrameSurface(i);
      auto* b = copied->GetFrameSurface(i);
      ASSERT_TRUE(a && b) << when;
      ASSERT_TRUE(std::equal(a->Pixels(), a->Pixels() + 1024 * 215, b->Pixels())) << when << ", frame " << i;
    }
  };
  same("created");
  for (int i = 0; i < 32; ++i) std::fill_n(rows->GetFrameSurface(i)->Pixels(), 1024 * 215, 0x123456u);
  env.display->LoseSurfaces();
  wss->IsLostRestore();
  same("restored");
  std::fill_n(rows->GetFrameSurface(5)->Pixels(), 1024 * 215, 0x123456u);
  rows->Create1Surface(5, 1024, 215);
  same("frame 5 made again");
  EXPECT_EQ(rows->GetErrorResult(), "");

  // No frame is made before it is asked for, then those up to it are; closed, none is.
  TWMV* late = strip();
  late->SetDibFromPicture();
  late->CreateDXMovie();
  env.display->faults().failOffscreen = true;
  EXPECT_EQ(errors, 0);
  EXPECT_FALSE(late->GetFrameSurface(3));
  EXPECT_EQ(errors, 4);
  env.display->faults().failOffscreen = false;
  EXPECT_TRUE(late->GetFrameSurface(4));
  late->CloseDXMovie();
  EXPECT_FALSE(late->GetFrameSurface(10));
  EXPECT_EQ(errors, 4);
}

TEST_F(WmvTest, FailuresAndEmptySlots) {
  TWMV* s = Strip(4, 8, 4);
  s->CreateDXMovie();
  EXPECT_EQ(s->GetErrorResult(), "FDD==NULL");
  EXPECT_EQ(lastSender, s);
  s->SetTransparency(true);  // never made: nothing happens
  EXPECT_FALSE(s->GetTransparency());

  Open();
  TWMV* undefined = Strip(4, 8, 0);
  undefined->CreateDXMovie();
  EXPECT_EQ(undefined->GetErrorResult(), "Not defined OriginalHeight");
  EXPECT_EQ(undefined->GetFrameCount(), 0);

  env.display->faults().failOffscreen = true;
  s->CreateDXMovie();
  EXPECT_EQ(s->GetErrorResult(), "Error CreateSurfaceMOV");
  EXPECT_EQ(s->GetFrameCount(), 2);
  EXPECT_EQ(Filled(s), 0);
  env.display->faults().failOffscreen = false;
  env.display->faults().failGetDC = true;
  s->CreateDXMovie();
  EXPECT_EQ(s->GetErrorResult(), "Error FpSurface->GetDC (MOV)");
  EXPECT_EQ(Filled(s), 0);
  env.display->faults().failGetDC = false;

  // Empty slot, or a frame number outside the table: nothing drawn, reported.
  s->CreateDXMovie();
  ASSERT_EQ(Filled(s), 2);
  s->SetShowX(10);
  s->SetShowY(10);
  for (int n : {2, 199, 200, -1, 1 << 30}) {
    s->SetErrorResult("");
    s->SetNumberFrame(n);
    s->DrawMovie();
    EXPECT_EQ(s->GetErrorResult(), "eFpSurface==NULL") << n;
    EXPECT_EQ(LitBack(), 0) << n;
  }

  // Lost display: nothing drawn until the engine restores.
  s->SetNumberFrame(1);
  env.display->LoseSurfaces();
  s->DrawMovie();
  EXPECT_EQ(s->GetErrorResult(), "Lost surface");
  env.display->faults().failRestore = true;
  s->RestoreSurfaces();
  EXPECT_EQ(s->GetErrorResult(), "Can't restore surface TWMV");
  env.display->faults().failRestore = false;
  env.display->faults().failGetDC = true;
  s->RestoreSurfaces();
  EXPECT_EQ(s->GetErrorResult(), "Error FpSurface->GetDC (RestoreSurfaces)");
  EXPECT_EQ(Filled(s), 0) << "every frame whose context failed is dropped";
}

TEST_F(WmvTest, DrawingAFrameAllocatesNothing) {
  Open();
  TWMV* s = Strip(64, 640, 64);
  s->CreateDXMovie();
  s->SetShowX(100);
  s->SetShowY(100);
  s->SetTransparency(true);
  // The display keeps what it learns of a surface on first use, and its lists once grown.
  for (int n = 0; n < 10; ++n) {
    s->SetNumberFrame(n);
    s->DrawMovie();
  }
  ASSERT_EQ(wss->FDDPRIM.load()->Flip(nullptr, 0), platform::DD_OK);
  gAllocations = 0;
  gCountAllocations = true;
  for (int n = 0; n < 10; ++n) {
    s->SetNumberFrame(n);
    s->DrawMovie();
  }
  gCountAllocations = false;
  EXPECT_EQ(s->GetErrorResult(), "");
  EXPECT_EQ(gAllocations.load(), 0);
  // The counter does see allocations: recording a failure message makes one.
  gCountAllocations = true;
  s->SetNumberFrame(500);
  s->DrawMovie();
  gCountAllocations = false;
  EXPECT_GT(gAllocations.load(), 0);
}

TEST_F(WmvTest, EngineFindsStripsByExactClassAndClosesThem) {
  Open();
  TWMV* s = Strip(4, 8, 4);
  s->CreateDXMovie();
  ASSERT_EQ(Filled(s), 2);
  wss->SetEnabled(false);
  EXPECT_EQ(Filled(s), 0);
}

}  // namespace

namespace {

// Both sprites inside the engine's own frame: restore check, clear, draw, flip;
// after a display loss the engine has them refill their surfaces.
TEST_F(WmvTest, SpritesInTheEnginesFrameSurviveADisplayLoss) {
  Open();
  auto* background = Make<components::TWIM>();
  background->Picture()->Assign(NumberedBitmap(1024, 768, 2));
  background->CreateDXImage();
  TWMV* strip = Strip(16, 64, 16, 3);
  strip->CreateDXMovie();
  strip->SetTransparency(true);  // keyed on each frame's top-left pixel
  strip->SetShowX(100);
  strip->SetShowY(50);
  wss->OnTimer = [&](framework::TObject*) {
    background->DrawImage();
    strip->SetNumberFrame(2);
    strip->DrawMovie();
  };
  const auto check = [&](const char* when) {
    int w = 0, h = 0;
    const auto frame = env.display->LastFrame(&w, &h);
    ASSERT_EQ(w, 1024) << when;
    const auto at = [&](int x, int y) { return frame[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF; };
    EXPECT_EQ(at(0, 0), Numbered(0, 0, 2)) << when;
    EXPECT_EQ(at(100, 50), Numbered(100, 50, 2)) << when << ": the frame's key colour shows the background";
    EXPECT_EQ(at(101, 50), Numbered(1, 32, 3)) << when;
    EXPECT_EQ(at(115, 65), Numbered(15, 47, 3)) << when;
    EXPECT_EQ(at(1023, 767), 0u) << when;
  };
  wss->Tick();
  check("first frame");
  env.display->LoseSurfaces();
  wss->Tick();
  check("after the loss");
  EXPECT_EQ(errors, 0);
}

}  // namespace
