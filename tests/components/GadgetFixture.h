// The gadgets on an open 1024 x 768 headless engine, with a fixed local time
// and time locale, and a reference canvas on which a test writes the texts it
// expects where it expects them, to compare with the back surface.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SpriteFixture.h"
#include "platform/DrawingContext.h"
#include "platform/LocalClock.h"
#include "platform/TimeFormat.h"

namespace gadget_test {

constexpr platform::COLORREF kWhite = 0xFFFFFF;
constexpr std::uint32_t kWhiteXrgb = 0xFFFFFF;

inline platform::LocalTime Time(const char* text) {
  platform::LocalTime t;
  EXPECT_TRUE(platform::ParseLocalTime(text, t)) << text;
  return t;
}

// A black 1024 x 768 picture to write expected texts on, "Arial" bold as the
// gadgets write theirs.
struct Reference {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(1024 * 768, 0);

  int Width(const std::string& text, int height) {
    Pen pen(*this, height);
    platform::SIZE s;
    EXPECT_TRUE(pen.dc.GetTextExtentPoint32(text, &s));
    return s.cx;
  }
  void Text(int x, int y, const std::string& text, int height, platform::COLORREF colour,
            const platform::RECT* clip = nullptr) {
    Pen pen(*this, height);
    pen.dc.SetBkMode(platform::TRANSPARENT);
    pen.dc.SetTextColor(colour);
    if (clip)
      pen.dc.ExtTextOut(x, y, platform::ETO_CLIPPED, clip, text);
    else
      pen.dc.TextOut(x, y, text);
  }

 private:
  struct Pen {
    platform::DrawingContext dc;
    platform::HFONT font;
    Pen(Reference& r, int height)
        : dc(r.pixels.data(), 1024, 768, 1024),
          font(platform::CreateFontA(height, 0, 0, 0, platform::FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial")) {
      dc.SelectObject(font);
    }
    ~Pen() {
      dc.SelectObject(nullptr);
      platform::DeleteObject(font);
    }
  };
};

struct Rect {
  int left, top, right, bottom;  // right and bottom exclusive
  bool Holds(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct GadgetFixture : sprite_test::SpriteFixture {
  platform::LocalTime now = Time("2026-12-08 21:05:07");

  void SetUp() override {
    platform::SetLocalClock([this] { return now; });
    UseLocale("de_DE.UTF-8");
    Open();
    wss->ClearBackSurface();
  }
  void TearDown() override {
    platform::SetLocalClock(nullptr);
    platform::SetShortTimeFormatter(nullptr);
  }
  static void UseLocale(const std::string& locale) {
    platform::SetShortTimeFormatter([locale](const platform::LocalTime& t) { return platform::FormatShortTime(locale, t); });
  }
  static void UseTimeText(const std::string& text) {
    platform::SetShortTimeFormatter([text](const platform::LocalTime&) { return text; });
  }

  // Pixels of the back surface inside within that differ from the reference,
  // outside the rectangles left out.
  int Differing(const Reference& ref, const std::vector<Rect>& leftOut = {}, Rect within = {0, 0, 1024, 768}) const {
    int n = 0;
    for (int y = within.top; y < within.bottom; ++y)
      for (int x = within.left; x < within.right; ++x) {
        bool skip = false;
        for (const Rect& r : leftOut) skip |= r.Holds(x, y);
        if (!skip && BackAt(x, y) != (ref.pixels[static_cast<std::size_t>(y) * 1024 + x] & 0xFFFFFF)) ++n;
      }
    return n;
  }
  int LitIn(const Rect& r) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += BackAt(x, y) != 0;
    return n;
  }
  // Lit pixels whose red, green and blue are not equal, or brighter than max.
  int NotGreyUpTo(const Rect& r, std::uint32_t max) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const std::uint32_t p = BackAt(x, y);
        const std::uint32_t red = p >> 16, green = (p >> 8) & 0xFF, blue = p & 0xFF;
        n += p != 0 && (red != green || green != blue || red > max);
      }
    return n;
  }
};

}  // namespace gadget_test
