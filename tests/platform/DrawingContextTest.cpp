#include "platform/DrawingContext.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/FontCache.h"

namespace {

using platform::DrawingContext;

struct Canvas {
  std::vector<std::uint32_t> pixels;
  int width, height;
  DrawingContext dc;
  Canvas(int w, int h) : pixels(static_cast<std::size_t>(w) * h, 0), width(w), height(h), dc(pixels.data(), w, h, w) {}
  int Lit(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += (pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF) != 0;
    return n;
  }
};

TEST(DrawingContext, PositiveHeightIsTheCellHeightAsTheFontMapperReadsIt) {
  Canvas c(200, 50);
  platform::HFONT font = platform::CreateFontA(22, 0, 0, 0, platform::FW_BOLD, 0, 0, 0, platform::ANSI_CHARSET, 0, 0,
                                               platform::ANTIALIASED_QUALITY, 0, "Arial");
  c.dc.SelectObject(font);
  platform::SIZE size;
  ASSERT_TRUE(c.dc.GetTextExtentPoint32("21:05", &size));
  EXPECT_NEAR(size.cx, 51, 1);  // 55 if 22 were taken as the em size
  EXPECT_EQ(size.cy, 22);
  platform::HFONT em = platform::CreateFontA(-22, 0, 0, 0, platform::FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  c.dc.SelectObject(em);
  platform::SIZE emSize;
  ASSERT_TRUE(c.dc.GetTextExtentPoint32("21:05", &emSize));
  EXPECT_GT(emSize.cx, size.cx + 2);
  c.dc.SelectObject(nullptr);
  platform::DeleteObject(font);
  platform::DeleteObject(em);
}

TEST(DrawingContext, TextIsDrawnInsideItsCellInTheTextColour) {
  Canvas c(200, 60);
  platform::HFONT font = platform::CreateFontA(20, 0, 0, 0, platform::FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  c.dc.SelectObject(font);
  c.dc.SetBkMode(platform::TRANSPARENT);
  c.dc.SetTextColor(platform::RGB(255, 0, 0));
  c.dc.TextOut(10, 20, "Hello");
  platform::SIZE size;
  c.dc.GetTextExtentPoint32("Hello", &size);
  EXPECT_GT(c.Lit(10, 20, 10 + size.cx, 40), 30);
  EXPECT_EQ(c.Lit(0, 0, 200, 20), 0);
  EXPECT_EQ(c.Lit(0, 40, 200, 60), 0);
  // Fully covered pixels carry exactly the text colour (XRGB red).
  bool exactRed = false;
  for (std::uint32_t p : c.pixels) exactRed |= p == 0xFF0000;
  EXPECT_TRUE(exactRed);
  platform::DeleteObject(font);
}

TEST(DrawingContext, ClippedTextStaysInsideItsRectangle) {
  Canvas c(300, 40);
  c.dc.SetBkMode(platform::TRANSPARENT);
  c.dc.SetTextColor(platform::RGB(255, 255, 255));
  platform::RECT clip{50, 0, 120, 40};
  c.dc.ExtTextOut(20, 5, platform::ETO_CLIPPED, &clip, "A long line of text that overflows");
  EXPECT_EQ(c.Lit(0, 0, 50, 40), 0);
  EXPECT_EQ(c.Lit(120, 0, 300, 40), 0);
  EXPECT_GT(c.Lit(50, 0, 120, 40), 20);
}

TEST(DrawingContext, PixelsUseColorRefOrderAndIgnoreOutsidePoints) {
  Canvas c(4, 4);
  c.dc.SetPixel(1, 2, platform::RGB(10, 20, 30));
  EXPECT_EQ(c.pixels[2 * 4 + 1], 0x0A141Eu);
  EXPECT_EQ(c.dc.GetPixel(1, 2), platform::RGB(10, 20, 30));
  EXPECT_EQ(c.dc.GetPixel(-1, 0), platform::CLR_INVALID);
  EXPECT_EQ(c.dc.SetPixel(4, 0, 0), platform::CLR_INVALID);
}

TEST(DrawingContext, PicturesAreClippedToTheContext) {
  Canvas c(4, 3);
  const std::uint32_t src[] = {1, 2, 3, 4, 5, 6};  // 3 x 2
  c.dc.DrawPixels(2, 2, src, 3, 2, 3);
  EXPECT_EQ(c.pixels[2 * 4 + 2], 1u);
  EXPECT_EQ(c.pixels[2 * 4 + 3], 2u);
  c.dc.DrawPixels(-2, -1, src, 3, 2, 3);
  EXPECT_EQ(c.pixels[0], 6u);
  platform::RECT dst{0, 0, 4, 3};
  Canvas s(4, 3);
  s.dc.StretchPixels(dst, src, 3, 2, 3);
  EXPECT_EQ(s.pixels[0], 1u);
  EXPECT_EQ(s.pixels[4 * 2 + 3], 6u);
}

TEST(TextDecoding, Utf8WhenValidElseWindows1252) {
  EXPECT_EQ(platform::DecodeText("72\xC2\xB0"), (std::vector<char32_t>{U'7', U'2', 0xB0}));
  EXPECT_EQ(platform::DecodeText("72\xB0"), (std::vector<char32_t>{U'7', U'2', 0xB0}));
  EXPECT_EQ(platform::DecodeText("\x80\x96\x93"), (std::vector<char32_t>{0x20AC, 0x2013, 0x201C}));
  EXPECT_EQ(platform::DecodeText("\xE2\x82\xAC"), (std::vector<char32_t>{0x20AC}));
  // Overlong and truncated sequences are not UTF-8.
  EXPECT_EQ(platform::DecodeText("\xC0\xAF"), (std::vector<char32_t>{0xC0, 0xAF}));
  EXPECT_EQ(platform::DecodeText("a\xE2\x82"), (std::vector<char32_t>{U'a', 0xE2, 0x201A}));
}

}  // namespace
