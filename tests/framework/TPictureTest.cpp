#include "framework/TPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "framework/TBitmap.h"
#include "platform/Resources.h"

namespace {

using framework::Rect;
using framework::TBitmap;
using framework::TPicture;

std::vector<std::uint8_t> ReadFixture(const std::string& name) {
  const char* root = std::getenv("BRISVANE_SOURCE_DIR");
  std::ifstream in(std::string(root ? root : ".") + "/tests/platform/data/pictures/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TBitmap Numbered(int w, int h) {
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = static_cast<std::uint32_t>(0x010000 * (y + 1) + x + 1);
  return b;
}

TEST(TPicture, LoadsEmbeddedAndReportsFailures) {
  TPicture pic;
  ASSERT_TRUE(pic.LoadFromResource("previewbmp")) << pic.LastError();
  EXPECT_EQ(pic.Kind(), platform::PictureKind::Bmp);
  EXPECT_FALSE(pic.IsJpeg());
  EXPECT_EQ(pic.Width(), 154);
  EXPECT_EQ(pic.Height(), 116);
  EXPECT_EQ(pic.PaletteEntries(), 255);
  EXPECT_FALSE(pic.HasTransparency());

  EXPECT_FALSE(pic.LoadFromResource("NO_SUCH_PICTURE"));
  EXPECT_TRUE(pic.Empty());
  EXPECT_FALSE(pic.LastError().empty());

  std::vector<std::uint8_t> cut = ReadFixture("pattern.jpg");
  cut.resize(cut.size() / 2);
  EXPECT_FALSE(pic.LoadFromBytes(cut));
  EXPECT_TRUE(pic.Empty());
  EXPECT_EQ(pic.Kind(), platform::PictureKind::None);

  ASSERT_TRUE(pic.LoadFromBytes(ReadFixture("pattern.jpg")));
  EXPECT_TRUE(pic.IsJpeg());
  // Pixels are XRGB: no alpha byte left over from decoding.
  for (int y = 0; y < pic.Height(); ++y)
    for (int x = 0; x < pic.Width(); ++x) ASSERT_EQ(pic.Bitmap().ScanLine(y)[x] >> 24, 0u);
}

TEST(TPicture, ADormantPictureKeepsItsSizeAndDecodesTheSamePixelsAgain) {
  TPicture picture;
  ASSERT_TRUE(picture.LoadFromResource("WIM1"));
  // Decoded when first asked for: the same pixels as the bytes decoded at once.
  TPicture atOnce;
  ASSERT_TRUE(atOnce.LoadFromBytes(*platform::FindResource("WIM1")));
  EXPECT_EQ(picture.BitsPerPixel(), atOnce.BitsPerPixel());
  const TBitmap before = picture.Bitmap();
  ASSERT_EQ(before.Width(), atOnce.Width());
  EXPECT_TRUE(std::equal(before.Pixels(), before.Pixels() + 1024 * 768, atOnce.Bitmap().Pixels()));
  picture.Dormant();
  EXPECT_EQ(picture.Width(), 1024);
  EXPECT_EQ(picture.Height(), 768);
  EXPECT_TRUE(picture.IsJpeg());
  EXPECT_FALSE(picture.Empty());
  const TBitmap& after = picture.Bitmap();
  ASSERT_EQ(after.Width(), 1024);
  EXPECT_TRUE(std::equal(before.Pixels(), before.Pixels() + 1024 * 768, after.Pixels()));
  // Pictures that did not come from a resource have nothing to decode again from.
  TPicture assigned;
  assigned.Assign(before);
  assigned.Dormant();
  EXPECT_EQ(assigned.Bitmap().Width(), 1024);
}

TEST(TPicture, TransparentGifPixelsDrawNothing) {
  TPicture pic;
  ASSERT_TRUE(pic.LoadFromBytes(ReadFixture("transparent89.gif")));
  ASSERT_TRUE(pic.HasTransparency());
  TBitmap target(6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) target.ScanLine(y)[x] = 0x123456;
  target.Canvas()->Draw(0, 0, pic);
  // Blue sits at (2, 0) and (1, 2) in the pattern and is the transparent index.
  EXPECT_EQ(target.ScanLine(0)[2], 0x123456u);
  EXPECT_EQ(target.ScanLine(2)[1], 0x123456u);
  EXPECT_EQ(target.ScanLine(0)[0], 0xFF0000u);
  EXPECT_EQ(target.ScanLine(1)[1], 0xFFFFFFu);
  EXPECT_EQ(pic.Bitmap().ScanLine(0)[2], 0u) << "transparent is black in the picture's own bitmap";
}

TEST(TCanvas, StretchIsNearestNeighbourAndKeepsColoursExact) {
  const TBitmap src = Numbered(2, 2);
  TBitmap big(4, 4);
  big.Canvas()->StretchDraw(Rect(0, 0, 4, 4), src);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.ScanLine(y)[x], src.ScanLine(y / 2)[x / 2]) << x << "," << y;

  // Odd factors both ways: every pixel drawn is one of the source's, never a blend.
  const TBitmap odd = Numbered(7, 5);
  std::set<std::uint32_t> colours(odd.Pixels(), odd.Pixels() + 35);
  for (auto [w, h] : {std::pair{13, 9}, std::pair{3, 2}, std::pair{7, 11}}) {
    TBitmap out(w, h);
    out.Canvas()->StretchDraw(Rect(0, 0, w, h), odd);
    for (int i = 0; i < w * h; ++i) ASSERT_TRUE(colours.count(out.Pixels()[i])) << w << "x" << h << " at " << i;
    EXPECT_EQ(out.ScanLine(0)[0], odd.ScanLine(0)[0]);
  }
}

TEST(TCanvas, CopyRectClipsBothSides) {
  TBitmap src = Numbered(8, 8);
  TBitmap dst(5, 5);
  TBitmap& d = dst;
  // Rows 2..5 of the source into (-2, 3): only what lands inside dst is written.
  d.Canvas()->CopyRect(Rect(-2, 3, 6, 7), *src.Canvas(), Rect(0, 2, 8, 6));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const std::uint32_t want = y >= 3 ? src.ScanLine(2 + y - 3)[x + 2] : 0u;
      EXPECT_EQ(d.ScanLine(y)[x], want) << x << "," << y;
    }
  }
  // A source rectangle hanging off the source draws only the part that exists.
  TBitmap e(4, 1);
  e.Canvas()->CopyRect(Rect(0, 0, 4, 1), *src.Canvas(), Rect(6, 0, 10, 1));
  EXPECT_EQ(e.ScanLine(0)[0], src.ScanLine(0)[6]);
  EXPECT_EQ(e.ScanLine(0)[1], src.ScanLine(0)[7]);
  EXPECT_EQ(e.ScanLine(0)[2], 0u);
  EXPECT_EQ(e.ScanLine(0)[3], 0u);
  // Empty or inverted rectangles draw nothing.
  TBitmap f(2, 2);
  f.Canvas()->CopyRect(Rect(1, 1, 1, 2), *src.Canvas(), Rect(0, 0, 1, 1));
  f.Canvas()->CopyRect(Rect(0, 0, 2, 2), *src.Canvas(), Rect(2, 2, 0, 0));
  EXPECT_EQ(std::count(f.Pixels(), f.Pixels() + 4, 0u), 4);
}

TEST(TBitmap, CopiesAreDeepAndKeepTheirOwnCanvas) {
  TBitmap a = Numbered(3, 3);
  a.Canvas();  // make the canvas before copying
  TBitmap b = a;
  b.Canvas()->SetPixel(1, 1, 0xABCDEF);
  EXPECT_EQ(b.ScanLine(1)[1], 0xABCDEFu);
  EXPECT_EQ(a.ScanLine(1)[1], 0x020002u);
  TBitmap c;
  c = b;
  c.Canvas()->SetPixel(0, 0, 0x111111);
  EXPECT_EQ(b.ScanLine(0)[0], 0x010001u);
  EXPECT_EQ(c.Canvas()->Pixel(0, 0), 0x111111u);
  EXPECT_EQ(c.Canvas()->Pixel(3, 0), 0u) << "outside reads as 0";
  c.SetSize(0, 5);
  EXPECT_TRUE(c.Empty());
}

}  // namespace
