#include "platform/DDraw.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/DisplayDriver.h"
#include "platform/DrawingContext.h"
#include "support/FlipChain.h"

namespace {

using namespace platform;

struct DisplayTest : ::testing::Test {
  std::shared_ptr<HeadlessDisplayDriver> driver = std::make_shared<HeadlessDisplayDriver>();
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;

  DisplayTest() { SetDisplayDriver(driver); }
  ~DisplayTest() override {
    if (back) back->Release();
    if (primary) primary->Release();
    if (dd) dd->Release();
    SetDisplayDriver(nullptr);
  }
  void OpenChain(int w = 16, int h = 8) {
    ASSERT_EQ(testing_support::OpenFlipChain(w, h, &dd, &primary, &back), DD_OK);
  }
  IDirectDrawSurface* Plain(int w, int h) {
    IDirectDrawSurface* s = testing_support::MakePlainSurface(dd, w, h);
    EXPECT_NE(s, nullptr);
    return s;
  }
};

TEST_F(DisplayTest, ModesAndSurfacesNeedTheirPreconditions) {
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 32), DDERR_NOCOOPERATIVELEVELSET);
  EXPECT_EQ(dd->SetCooperativeLevel(0, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->SetCooperativeLevel(3, 0x11), DD_OK);
  EXPECT_EQ(driver->BoundWindow(), 3u);
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 12), DDERR_INVALIDMODE);
  driver->faults().refuseWidth = 1024;
  driver->faults().refuseHeight = 768;
  driver->faults().refuseBpp = 32;
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 32), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DD_OK);
  DDSURFACEDESC desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPARAMS);  // no size
  desc.dwSize = 12;
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(DDErrorName(DDERR_SURFACELOST), "DDERR_SURFACELOST");
  EXPECT_EQ(static_cast<std::uint32_t>(DDERR_WASSTILLDRAWING), 0x8876021Cu);
  EXPECT_EQ(static_cast<std::uint32_t>(DDERR_SURFACELOST), 0x887601C2u);
}

TEST_F(DisplayTest, NewSurfacesAreBlackAndFlipPresentsTheBackBuffer) {
  OpenChain();
  IDirectDrawSurface* s = Plain(5, 3);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(s->Pixels()[i], 0u);
  back->Pixels()[3] = 0x123456;
  ASSERT_EQ(primary->Flip(nullptr, 0), DD_OK);
  int w = 0, h = 0;
  auto frame = driver->LastFrame(&w, &h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 8);
  EXPECT_EQ(frame[3], 0x123456u);
  EXPECT_EQ(primary->Pixels()[3], 0x123456u);
  EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
  s->Release();
}

TEST_F(DisplayTest, ColourFillCoversTheWholeSurfaceOrARectangle) {
  OpenChain();
  DDBLTFX fx;
  fx.dwFillColor = 0xABCDEF;
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  for (int i = 0; i < 16 * 8; ++i) ASSERT_EQ(back->Pixels()[i], 0xABCDEFu);
  RECT r{2, 1, 4, 3};
  fx.dwFillColor = 0;
  ASSERT_EQ(back->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  EXPECT_EQ(back->Pixels()[1 * 16 + 2], 0u);
  EXPECT_EQ(back->Pixels()[2 * 16 + 3], 0u);
  EXPECT_EQ(back->Pixels()[1 * 16 + 4], 0xABCDEFu);
  RECT outside{10, 0, 17, 1};
  EXPECT_EQ(back->Blt(&outside, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
}

// A frame's clear is written only where nothing opaque covers it: whatever
// follows, the presented frame is the one the calls describe, pixel for pixel.
TEST_F(DisplayTest, AClearShowsWhereverNothingOpaqueCoversIt) {
  OpenChain();
  constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;
  IDirectDrawSurface* s = Plain(3, 2);
  const std::uint32_t src[] = {0x000000, 0x112233, 0x445566, 0x778899, 0xAABBCC, 0x000000};
  std::copy(src, src + 6, s->Pixels());
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  const auto fill = [&](std::uint32_t colour, const RECT* r = nullptr) {
    DDBLTFX fx;
    fx.dwFillColor = colour;
    return back->Blt(r, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  };
  // Pixel (x, y) of the source, stretched 2x into (2, 2)..(8, 6).
  const auto stretched = [&](int x, int y) { return src[((y - 2) / 2) * 3 + (x - 2) / 2]; };
  const struct {
    const char* what;
    std::function<void()> draw;
    std::function<std::uint32_t(int, int)> expected;
  } cases[] = {
      {"a clear alone", [&] { fill(kRed); }, [&](int, int) { return kRed; }},
      {"the last of two clears", [&] { fill(kRed); fill(kGreen); }, [&](int, int) { return kGreen; }},
      {"an opaque copy on a clear",
       [&] { fill(kRed); back->BltFast(5, 3, s, nullptr, DDBLTFAST_NOCOLORKEY); },
       [&](int x, int y) { return x >= 5 && x < 8 && y >= 3 && y < 5 ? src[(y - 3) * 3 + x - 5] : kRed; }},
      {"a keyed copy on a clear",
       [&] { fill(kRed); back->BltFast(5, 3, s, nullptr, DDBLTFAST_SRCCOLORKEY); },
       [&](int x, int y) {
         const bool in = x >= 5 && x < 8 && y >= 3 && y < 5;
         return in && src[(y - 3) * 3 + x - 5] != 0 ? src[(y - 3) * 3 + x - 5] : kRed;
       }},
      {"an opaque stretch on a clear",
       [&] {
         fill(kRed);
         RECT d{2, 2, 8, 6};
         back->Blt(&d, s, nullptr, DDBLT_WAIT, nullptr);
       },
       [&](int x, int y) { return x >= 2 && x < 8 && y >= 2 && y < 6 ? stretched(x, y) : kRed; }},
      {"a rectangle filled on a clear",
       [&] {
         fill(kRed);
         RECT r{1, 1, 3, 3};
         fill(kBlue, &r);
       },
       [&](int x, int y) { return x >= 1 && x < 3 && y >= 1 && y < 3 ? kBlue : kRed; }},
      {"a copy of the whole surface",
       [&] {
         fill(kRed);
         IDirectDrawSurface* whole = Plain(16, 8);
         std::fill(whole->Pixels(), whole->Pixels() + 16 * 8, kGreen);
         back->BltFast(0, 0, whole, nullptr, DDBLTFAST_NOCOLORKEY);
         whole->Release();
       },
       [&](int, int) { return kGreen; }},
      {"drawing through a context on a clear",
       [&] {
         fill(kRed);
         HDC dc = nullptr;
         ASSERT_EQ(back->GetDC(&dc), DD_OK);
         dc->SetPixel(4, 4, kGreen);
         back->ReleaseDC(dc);
       },
       [&](int x, int y) { return x == 4 && y == 4 ? kGreen : kRed; }},
  };
  for (const auto& c : cases) {
    c.draw();
    ASSERT_EQ(primary->Flip(nullptr, 0), DD_OK) << c.what;
    const auto frame = driver->LastFrame();
    int wrong = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) wrong += frame[static_cast<std::size_t>(y) * 16 + x] != c.expected(x, y);
    EXPECT_EQ(wrong, 0) << c.what;
  }
  s->Release();
}

TEST_F(DisplayTest, BltFastCopiesPlainOrKeyedAndRejectsRectanglesOutside) {
  OpenChain();
  IDirectDrawSurface* s = Plain(3, 2);
  const std::uint32_t src[] = {0x000000, 0x112233, 0x000001, 0x000002, 0xFFFFFF, 0x000000};
  std::copy(src, src + 6, s->Pixels());
  DDBLTFX fx;
  fx.dwFillColor = 0x777777;
  back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
  DDCOLORKEY key{0x000000, 0x000001};  // a range: both 0 and 1 are transparent
  ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(back->BltFast(1, 1, s, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
  const std::uint32_t* b = back->Pixels();
  EXPECT_EQ(b[1 * 16 + 1], 0x777777u);
  EXPECT_EQ(b[1 * 16 + 2], 0x112233u);
  EXPECT_EQ(b[1 * 16 + 3], 0x777777u);
  EXPECT_EQ(b[2 * 16 + 1], 0x000002u);
  EXPECT_EQ(b[2 * 16 + 2], 0xFFFFFFu);
  EXPECT_EQ(b[2 * 16 + 3], 0x777777u);
  RECT part{1, 0, 3, 1};
  ASSERT_EQ(back->BltFast(14, 7, s, &part, DDBLTFAST_NOCOLORKEY), DD_OK);
  EXPECT_EQ(b[7 * 16 + 14], 0x112233u);
  EXPECT_EQ(b[7 * 16 + 15], 0x000001u);
  EXPECT_EQ(back->BltFast(15, 7, s, &part, DDBLTFAST_NOCOLORKEY), DDERR_INVALIDRECT);
  EXPECT_EQ(back->BltFast(0, 8, s, nullptr, DDBLTFAST_NOCOLORKEY), DDERR_INVALIDRECT);
  RECT bad{0, 0, 4, 1};
  EXPECT_EQ(back->BltFast(0, 0, s, &bad, DDBLTFAST_NOCOLORKEY), DDERR_INVALIDRECT);
  s->Release();
}

TEST_F(DisplayTest, WideKeyedCopyMatchesThePixelRule) {
  OpenChain(700, 360);
  IDirectDrawSurface* s = Plain(644, 341);
  std::uint32_t seed = 1;
  for (int i = 0; i < 644 * 341; ++i) {
    seed = seed * 1103515245u + 12345u;
    s->Pixels()[i] = (seed >> 8) % 3 == 0 ? 0u : (seed & 0xFFFFFF);
  }
  DDCOLORKEY key{0, 0};
  s->SetColorKey(DDCKEY_SRCBLT, &key);
  DDBLTFX fx;
  fx.dwFillColor = 0x0000FF;
  back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  ASSERT_EQ(back->BltFast(31, 9, s, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
  for (int y = 0; y < 341; ++y)
    for (int x = 0; x < 644; ++x) {
      const std::uint32_t v = s->Pixels()[y * 644 + x];
      ASSERT_EQ(back->Pixels()[(y + 9) * 700 + x + 31], v == 0 ? 0x0000FFu : v) << x << "," << y;
    }
  s->Release();
}

TEST_F(DisplayTest, LostSurfacesRefuseWorkUntilRestored) {
  OpenChain();
  IDirectDrawSurface* s = Plain(2, 2);
  driver->LoseSurfaces();
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Flip(nullptr, 0), DDERR_SURFACELOST);
  HDC dc = nullptr;
  EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACELOST);
  driver->SetCanRestore(false);  // still minimised
  EXPECT_NE(primary->Restore(), DD_OK);
  driver->SetCanRestore(true);
  EXPECT_EQ(primary->Restore(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK);  // the whole chain comes back
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->Restore(), DD_OK);
  EXPECT_EQ(back->BltFast(0, 0, s, nullptr, 0), DD_OK);
  s->Release();
  // Surfaces outliving their display object stay lost and cannot be restored.
  IDirectDrawSurface* orphan = Plain(2, 2);
  back->Release();
  back = nullptr;
  primary->Release();
  primary = nullptr;
  dd->Release();
  dd = nullptr;
  EXPECT_EQ(orphan->IsLost(), DDERR_SURFACELOST);
  EXPECT_NE(orphan->Restore(), DD_OK);
  orphan->Release();
}

TEST_F(DisplayTest, LockAndDrawingContextAreExclusive) {
  OpenChain();
  DDSURFACEDESC desc;
  RECT r{2, 3, 4, 5};
  ASSERT_EQ(back->Lock(&r, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(desc.lPitch, 16 * 4);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
  static_cast<std::uint32_t*>(desc.lpSurface)[0] = 0x42;
  EXPECT_EQ(back->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(back->Unlock(nullptr), DD_OK);
  EXPECT_EQ(back->Unlock(nullptr), DDERR_NOTLOCKED);
  EXPECT_EQ(back->Pixels()[3 * 16 + 2], 0x42u);
  HDC dc = nullptr;
  ASSERT_EQ(back->GetDC(&dc), DD_OK);
  EXPECT_EQ(dc->GetPixel(2, 3), RGB(0x00, 0x00, 0x42));
  HDC second = nullptr;
  EXPECT_EQ(back->GetDC(&second), DDERR_SURFACEBUSY);
  EXPECT_EQ(back->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(back->ReleaseDC(dc), DDERR_NODC);
  driver->faults().failGetDC = true;
  EXPECT_EQ(back->GetDC(&dc), DDERR_CANTCREATEDC);
}

TEST_F(DisplayTest, GammaControlOnlyOnThePrimaryAndOnlyWhenSupported) {
  OpenChain();
  DDCAPS caps;
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_TRUE(caps.dwCaps2 & DDCAPS2_PRIMARYGAMMA);
  void* gamma = nullptr;
  EXPECT_EQ(back->QueryInterface(IID_IDirectDrawGammaControl, &gamma), E_NOINTERFACE);
  ASSERT_EQ(primary->QueryInterface(IID_IDirectDrawGammaControl, &gamma), DD_OK);
  auto* control = static_cast<IDirectDrawGammaControl*>(gamma);
  DDGAMMARAMP ramp;
  ASSERT_EQ(control->GetGammaRamp(0, &ramp), DD_OK);
  EXPECT_EQ(ramp.red[255], 65535);
  for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<std::uint16_t>(i * 128);
  ASSERT_EQ(control->SetGammaRamp(0, &ramp), DD_OK);
  back->Pixels()[0] = 0xFF8040;
  primary->Flip(nullptr, 0);
  EXPECT_EQ(driver->LastFrame()[0], 0x7F4020u);  // the ramp reaches the presented frame
  driver->faults().failSetGamma = true;
  EXPECT_NE(control->SetGammaRamp(0, &ramp), DD_OK);
  driver->faults().failGetGamma = true;
  EXPECT_NE(control->GetGammaRamp(0, &ramp), DD_OK);
  control->Release();
  driver->faults().gammaUnsupported = true;
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_FALSE(caps.dwCaps2 & DDCAPS2_PRIMARYGAMMA);
  EXPECT_EQ(primary->QueryInterface(IID_IDirectDrawGammaControl, &gamma), E_NOINTERFACE);
}

}  // namespace
