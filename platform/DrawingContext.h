// A GDI-shaped drawing context over a 32-bit XRGB pixel buffer: logical fonts
// (FreeType + fontconfig, anti-aliased, faces cached here), text out, text
// extent, clipped text out, pixels, and copying pictures in. Colours passed in
// and out are COLORREF (0x00BBGGRR) as GDI's are. Text bytes that form valid
// UTF-8 are drawn as such; other bytes as Windows-1252.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/DDraw.h"

namespace platform {

using COLORREF = std::uint32_t;
constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr unsigned ETO_OPAQUE = 0x2;
constexpr unsigned ETO_CLIPPED = 0x4;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr unsigned ANSI_CHARSET = 0;
constexpr unsigned DEFAULT_CHARSET = 1;
constexpr unsigned OUT_DEFAULT_PRECIS = 0;
constexpr unsigned CLIP_DEFAULT_PRECIS = 0;
constexpr unsigned PROOF_QUALITY = 2;
constexpr unsigned ANTIALIASED_QUALITY = 4;
constexpr unsigned DEFAULT_PITCH = 0;
constexpr unsigned VARIABLE_PITCH = 2;

struct SIZE {
  std::int32_t cx = 0, cy = 0;
};

// A logical font as CreateFont describes it. A positive height is the cell
// height (ascent + descent), a negative one the character (em) height.
struct LogicalFont {
  int height = 0;
  int weight = FW_NORMAL;
  bool italic = false;
  unsigned charset = DEFAULT_CHARSET;
  unsigned quality = 0;
  unsigned pitchAndFamily = 0;
  std::string face;
};
using HFONT = LogicalFont*;

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charset, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* face);
bool DeleteObject(HFONT font);

class DrawingContext {
 public:
  // Draws into pixels (pitch in pixels per row); the buffer must outlive the context.
  DrawingContext(std::uint32_t* pixels, int width, int height, int pitch);
  ~DrawingContext();
  DrawingContext(const DrawingContext&) = delete;
  DrawingContext& operator=(const DrawingContext&) = delete;

  // Returns the previously selected font (nullptr for the default font).
  HFONT SelectObject(HFONT font);
  int SetBkMode(int mode);
  COLORREF SetTextColor(COLORREF color);
  COLORREF SetBkColor(COLORREF color);
  bool TextOut(int x, int y, const std::string& text);
  bool ExtTextOut(int x, int y, unsigned options, const RECT* rect, const std::string& text);
  bool GetTextExtentPoint32(const std::string& text, SIZE* size);
  COLORREF GetPixel(int x, int y) const;
  COLORREF SetPixel(int x, int y, COLORREF color);

  // Copies XRGB pixels in at (x, y), clipped to the context.
  void DrawPixels(int x, int y, const std::uint32_t* src, int width, int height, int srcPitch);
  // Stretches XRGB pixels into dst (nearest neighbour), clipped to the context.
  void StretchPixels(const RECT& dst, const std::uint32_t* src, int width, int height, int srcPitch);

  // For writing anywhere: every row counts as drawn on.
  std::uint32_t* Pixels() {
    Touch(0, height_);
    return pixels_;
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Pitch() const { return pitch_; }
  // The rows drawn on so far: [top, bottom), empty when top >= bottom.
  int TouchedTop() const { return touchedTop_; }
  int TouchedBottom() const { return touchedBottom_; }

 private:
  bool DrawText(int x, int y, const std::string& text, const RECT* clip, bool opaque);
  void Touch(int top, int bottom);

  std::uint32_t* pixels_;
  int width_, height_, pitch_;
  HFONT font_ = nullptr;
  int bkMode_ = OPAQUE;
  COLORREF textColor_ = RGB(0, 0, 0);
  COLORREF bkColor_ = RGB(255, 255, 255);
  int touchedTop_ = 0, touchedBottom_ = 0;
};

}  // namespace platform
