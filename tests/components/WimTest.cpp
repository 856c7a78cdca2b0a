#include "components/Wim.h"

#include <gtest/gtest.h>

#include "components/SpriteCopy.h"
#include "SpriteFixture.h"

namespace {

using components::TWIM;
using sprite_test::Numbered;
using sprite_test::NumberedBitmap;

struct WimTest : sprite_test::SpriteFixture {
  TWIM* Sprite(int w, int h, int tag = 1) {
    TWIM* s = Make<TWIM>();
    s->Picture()->Assign(NumberedBitmap(w, h, tag));
    return s;
  }
  // Draws a fresh w x h sprite at (x, y) on a cleared back surface.
  TWIM* DrawAt(int x, int y, int w, int h) {
    TWIM* s = Sprite(w, h);
    s->CreateDXImage();
    EXPECT_TRUE(s->GetSurface());
    wss->ClearBackSurface();
    s->SetShowX(x);
    s->SetShowY(y);
    s->DrawImage();
    EXPECT_EQ(s->GetErrorResult(), "");
    return s;
  }
};

TEST_F(WimTest, FullScreenPictureLeavesLastColumnAndRowBlack) {
  Open();
  DrawAt(0, 0, 1024, 768);
  for (int y = 0; y < 768; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const std::uint32_t want = (x < 1023 && y < 767) ? Numbered(x, y) : 0u;
      ASSERT_EQ(BackAt(x, y), want) << x << "," << y;
    }
  }
}

TEST_F(WimTest, HorizontalClipping) {
  Open();
  // One column at W - 2, the last the sprite may reach.
  DrawAt(1022, 100, 24, 10);
  EXPECT_EQ(LitBack(), 10);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(BackAt(1022, 100 + y), Numbered(0, y));
  EXPECT_EQ(BackAt(1023, 100), 0u);

  // Left overhang: source columns 5..23 land on columns 0..18.
  DrawAt(-5, 100, 24, 10);
  EXPECT_EQ(LitBack(), 19 * 10);
  for (int x = 0; x < 19; ++x) EXPECT_EQ(BackAt(x, 105), Numbered(x + 5, 5)) << x;
  EXPECT_EQ(BackAt(19, 105), 0u);

  // Right edge x + w == 2 still shows two columns; nothing at x + w <= 1 or x >= W - 1.
  DrawAt(-22, 100, 24, 10);
  EXPECT_EQ(LitBack(), 2 * 10);
  EXPECT_EQ(BackAt(0, 100), Numbered(22, 0));
  EXPECT_EQ(BackAt(1, 100), Numbered(23, 0));
  for (int x : {-23, -100, 1023, 1024, 5000}) {
    DrawAt(x, 100, 24, 10);
    EXPECT_EQ(LitBack(), 0) << "x = " << x;
  }
  // Wholly inside: every pixel, at its place.
  DrawAt(500, 100, 24, 10);
  EXPECT_EQ(LitBack(), 24 * 10);
  EXPECT_EQ(BackAt(500, 100), Numbered(0, 0));
  EXPECT_EQ(BackAt(523, 109), Numbered(23, 9));
}

TEST_F(WimTest, VerticalClipping) {
  Open();
  DrawAt(100, 766, 10, 24);
  EXPECT_EQ(LitBack(), 10);
  EXPECT_EQ(BackAt(100, 766), Numbered(0, 0));

  DrawAt(100, -5, 10, 24);
  EXPECT_EQ(LitBack(), 10 * 19);
  for (int y = 0; y < 19; ++y) EXPECT_EQ(BackAt(103, y), Numbered(3, y + 5)) << y;
  EXPECT_EQ(BackAt(103, 19), 0u);

  for (int y : {-23, 767, 800}) {
    DrawAt(100, y, 10, 24);
    EXPECT_EQ(LitBack(), 0) << "y = " << y;
  }
  // Reaching the bottom: the copy ends at row H - 2.
  DrawAt(100, 760, 10, 24);
  EXPECT_EQ(LitBack(), 10 * 7);
  EXPECT_EQ(BackAt(100, 766), Numbered(0, 6));
  EXPECT_EQ(BackAt(100, 767), 0u);
}

TEST_F(WimTest, OverhangingBothEdgesIsClippedOnBoth) {
  Open();
  DrawAt(-10, -4, 1100, 800);
  EXPECT_EQ(BackAt(0, 0), Numbered(10, 4));
  EXPECT_EQ(BackAt(1022, 766), Numbered(1032, 770));
  EXPECT_EQ(BackAt(1023, 0), 0u);
  EXPECT_EQ(BackAt(0, 767), 0u);
  EXPECT_EQ(LitBack(), 1023 * 767);
}

TEST_F(WimTest, ClipRulesInIsolation) {
  using components::ClipSpriteCopy;
  const platform::RECT src{0, 0, 24, 10};
  const auto at = [&](int x, int y) { return ClipSpriteCopy(x, y, src, 1024, 768); };
  auto c = at(0, 0);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->source.left, 0);
  EXPECT_EQ(c->source.right, 24);
  EXPECT_EQ(c->x, 0);
  c = at(1000, 0);  // x + w == 1024 > W - 1: cut to W - x - 1 columns
  ASSERT_TRUE(c);
  EXPECT_EQ(c->source.right, 23);
  c = at(999, 0);  // x + w == W - 1: whole, ending at column W - 2
  ASSERT_TRUE(c);
  EXPECT_EQ(c->source.right, 24);
  EXPECT_EQ(c->x, 999);
  // A source starting below row 0 (frames of a strip never do; the rules allow it).
  const platform::RECT rows{0, 30, 24, 40};
  c = ClipSpriteCopy(100, -5, rows, 1024, 768);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->source.top, 35);
  EXPECT_EQ(c->source.bottom, 40);
  c = ClipSpriteCopy(100, 760, rows, 1024, 768);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->source.top, 30);
  EXPECT_EQ(c->source.bottom, 37);
}

TEST_F(WimTest, DesignSpaceScaling) {
  Open(800, 600);
  TWIM* s = Sprite(10, 10);
  s->SetStretching(true);
  s->SetShowX(379);
  s->SetShowY(100);
  s->SetOriginalWidth(644);
  s->SetOriginalHeight(341);
  EXPECT_EQ(s->GetShowX(), 296);
  EXPECT_EQ(s->GetShowY(), 78);
  EXPECT_EQ(s->GetStretchWidth(), 503);
  EXPECT_EQ(s->GetStretchHeight(), 266);
  EXPECT_EQ(s->GetOriginalHeight(), 341);
  s->SetShowX(-5);
  EXPECT_EQ(s->GetShowX(), -3) << "division truncates toward zero";

  // Stretching set afterwards does not rescale; without it positions are kept.
  TWIM* late = Sprite(10, 10);
  late->SetShowX(379);
  late->SetStretching(true);
  EXPECT_EQ(late->GetShowX(), 379);
  late->SetStretching(false);
  late->SetShowY(341);
  EXPECT_EQ(late->GetShowY(), 341);
  late->SetOriginalHeight(341);  // scaled even without Stretching
  EXPECT_EQ(late->GetStretchHeight(), 266);

  // The display size is read at the moment of the call.
  wss->SetWidthScreen(1024);
  s->SetShowX(379);
  EXPECT_EQ(s->GetShowX(), 379);
}

TEST_F(WimTest, StretchedSurfaceHasStretchSize) {
  Open();
  TWIM* s = Sprite(2, 2);
  s->SetStretching(true);
  s->SetOriginalWidth(4);
  s->SetOriginalHeight(6);
  s->CreateDXImage();
  auto* surface = s->GetSurface();
  ASSERT_TRUE(surface);
  ASSERT_EQ(surface->Width(), 4);
  ASSERT_EQ(surface->Height(), 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(surface->Pixels()[y * 4 + x], Numbered(x / 2, y / 3)) << x << "," << y;
  // A later change of the stretch size reads a source rectangle larger than the surface.
  s->SetStretchWidth(8);
  s->SetShowX(10);
  s->SetShowY(10);
  s->DrawImage();
  EXPECT_EQ(s->GetErrorResult(), "Error FDDBACK->BltFast (BMP) err #DDERR_INVALIDRECT");
  EXPECT_EQ(lastSender, s);
}

TEST_F(WimTest, BlackIsTransparentWhenKeyed) {
  Open();
  framework::TBitmap pic = NumberedBitmap(4, 1);
  pic.ScanLine(0)[1] = 0;  // black
  TWIM* s = Make<TWIM>();
  s->Picture()->Assign(pic);
  s->CreateDXImage();
  s->SetShowX(10);
  s->SetShowY(10);
  s->SetTransparency(true);
  EXPECT_TRUE(s->GetTransparency());
  EXPECT_EQ(s->GetBltFlags(), platform::DDBLTFAST_SRCCOLORKEY);
  FillBack(0x00ABCDEF);
  s->DrawImage();
  EXPECT_EQ(BackAt(10, 10), Numbered(0, 0));
  EXPECT_EQ(BackAt(11, 10), 0xABCDEFu);
  EXPECT_EQ(BackAt(12, 10), Numbered(2, 0));
  s->SetTransparency(false);
  EXPECT_FALSE(s->GetTransparency());
  s->DrawImage();
  EXPECT_EQ(BackAt(11, 10), 0u);
}

TEST_F(WimTest, FailuresAreRecordedAndReported) {
  TWIM* s = Sprite(8, 8);
  s->CreateDXImage();
  EXPECT_EQ(s->GetErrorResult(), "FDD==NULL");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(lastSender, s);
  s->SetTransparency(true);
  EXPECT_EQ(s->GetErrorResult(), "eFpSurface==NULL");
  EXPECT_FALSE(s->GetTransparency());
  s->DrawImage();
  EXPECT_EQ(s->GetErrorResult(), "eFpSurface==NULL");
  s->RestoreSurface();  // no surface: nothing to refill
  EXPECT_EQ(errors, 3);

  Open();
  env.display->faults().failOffscreen = true;
  s->CreateDXImage();
  EXPECT_EQ(s->GetErrorResult(), "eCreateSurfaceWIM");
  EXPECT_FALSE(s->GetSurface());
  env.display->faults().failOffscreen = false;
  env.display->faults().failGetDC = true;
  s->CreateDXImage();
  EXPECT_EQ(s->GetErrorResult(), "eFpSurface->GetDC (WIM)");
  EXPECT_FALSE(s->GetSurface());
  env.display->faults().failGetDC = false;
  const int before = errors;
  s->DrawImage();
  s->DrawImage();
  EXPECT_EQ(s->GetErrorResult(), "eFpSurface==NULL");
  EXPECT_EQ(errors, before + 2);
}

TEST_F(WimTest, LostDisplayDrawsNothingUntilRestored) {
  Open();
  TWIM* s = DrawAt(10, 10, 8, 8);
  env.display->LoseSurfaces();
  const int before = errors;
  s->DrawImage();
  s->DrawImage();
  EXPECT_EQ(s->GetErrorResult(), "Lost surface");
  EXPECT_EQ(errors, before + 2);

  // The engine restores the chain and asks the sprite to refill its surface.
  wss->IsLostRestore();
  wss->ClearBackSurface();
  s->SetErrorResult("");
  s->DrawImage();
  EXPECT_EQ(s->GetErrorResult(), "");
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(BackAt(10 + x, 10 + y), Numbered(x, y));

  // A surface that cannot be restored.
  env.display->LoseSurfaces();
  env.display->faults().failRestore = true;
  s->RestoreSurface();
  EXPECT_EQ(s->GetErrorResult(), "Can't restore surface TWIM");
  EXPECT_TRUE(s->GetSurface());
  env.display->faults().failRestore = false;
  env.display->faults().failGetDC = true;
  s->RestoreSurface();
  EXPECT_EQ(s->GetErrorResult(), "eFpSurface->GetDC (BMP)");
  EXPECT_FALSE(s->GetSurface());
}

// A sprite class built on TWIM, as the gadgets are: the engine neither
// restores nor closes it, because it asks by exact class name.
class GadgetLike : public TWIM {
 public:
  using TWIM::TWIM;
  std::string ClassName() const override { return "TWGC"; }
};

TEST_F(WimTest, TheEngineRestoresAndClosesOnlyExactTWIM) {
  Open();
  TWIM* still = DrawAt(0, 0, 8, 8);
  auto* gadget = Make<GadgetLike>();
  gadget->Picture()->Assign(NumberedBitmap(8, 8, 2));
  gadget->CreateDXImage();
  ASSERT_TRUE(gadget->GetSurface());
  env.display->LoseSurfaces();
  wss->Tick();  // the frame restores the chain and asks the exact TWIM to refill
  auto pixel = [](TWIM* s) { return s->GetSurface()->Pixels()[0] & 0xFFFFFF; };
  EXPECT_EQ(pixel(still), Numbered(0, 0));
  EXPECT_EQ(gadget->GetSurface()->IsLost(), platform::DDERR_SURFACELOST);  // restored by no one
  wss->SetEnabled(false);
  EXPECT_FALSE(still->GetSurface());
  EXPECT_TRUE(gadget->GetSurface());  // its owner closes it
  gadget->CloseDXImage();
}

TEST_F(WimTest, EngineClosesTheSurface) {
  Open();
  TWIM* s = DrawAt(0, 0, 8, 8);
  ASSERT_TRUE(s->GetSurface());
  wss->SetEnabled(false);
  EXPECT_FALSE(s->GetSurface());
}

}  // namespace
