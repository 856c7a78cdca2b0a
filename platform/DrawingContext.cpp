#include "platform/DrawingContext.h"

#include <algorithm>

#include "platform/Blit.h"
#include "platform/FontCache.h"

namespace platform {

namespace {
// A device context's stock font when none is selected.
const LogicalFont kDefaultFont{16, FW_BOLD, false, DEFAULT_CHARSET, 0, 0, "Arial"};

inline std::uint32_t ToXrgb(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
inline COLORREF ToColorRef(std::uint32_t p) { return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16); }

inline std::uint32_t Blend(std::uint32_t dst, std::uint32_t color, unsigned alpha) {
  const unsigned inv = 255 - alpha;
  const unsigned r = (((color >> 16) & 0xFF) * alpha + ((dst >> 16) & 0xFF) * inv + 127) / 255;
  const unsigned g = (((color >> 8) & 0xFF) * alpha + ((dst >> 8) & 0xFF) * inv + 127) / 255;
  const unsigned b = ((color & 0xFF) * alpha + (dst & 0xFF) * inv + 127) / 255;
  return (r << 16) | (g << 8) | b;
}

FontRequest RequestOf(const LogicalFont& f) { return {f.face, f.height, f.weight, f.italic}; }
}  // namespace

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD charset, DWORD, DWORD,
                  DWORD quality, DWORD pitchAndFamily, const char* face) {
  auto* f = new LogicalFont;
  f->height = height;
  f->weight = weight <= 0 ? FW_NORMAL : weight;
  f->italic = italic != 0;
  f->charset = charset;
  f->quality = quality;
  f->pitchAndFamily = pitchAndFamily;
  f->face = face ? face : "";
  return f;
}

bool DeleteObject(HFONT font) {
  delete font;
  return font != nullptr;
}

DrawingContext::DrawingContext(std::uint32_t* pixels, int width, int height, int pitch)
    : pixels_(pixels), width_(width), height_(height), pitch_(pitch) {}

DrawingContext::~DrawingContext() = default;

void DrawingContext::Touch(int top, int bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, height_);
  if (top >= bottom) return;
  if (touchedTop_ >= touchedBottom_) {
    touchedTop_ = top;
    touchedBottom_ = bottom;
    return;
  }
  touchedTop_ = std::min(touchedTop_, top);
  touchedBottom_ = std::max(touchedBottom_, bottom);
}

HFONT DrawingContext::SelectObject(HFONT font) {
  HFONT old = font_;
  font_ = font;
  return old;
}

int DrawingContext::SetBkMode(int mode) {
  const int old = bkMode_;
  bkMode_ = mode;
  return old;
}

COLORREF DrawingContext::SetTextColor(COLORREF color) {
  const COLORREF old = textColor_;
  textColor_ = color;
  return old;
}

COLORREF DrawingContext::SetBkColor(COLORREF color) {
  const COLORREF old = bkColor_;
  bkColor_ = color;
  return old;
}

bool DrawingContext::TextOut(int x, int y, const std::string& text) {
  return DrawText(x, y, text, nullptr, bkMode_ == OPAQUE);
}

bool DrawingContext::ExtTextOut(int x, int y, unsigned options, const RECT* rect, const std::string& text) {
  if (rect && (options & ETO_OPAQUE)) {
    RECT r{std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, width_),
           std::min(rect->bottom, height_)};
    if (r.right > r.left && r.bottom > r.top) {
      FillRect(pixels_, pitch_, r.left, r.top, r.right - r.left, r.bottom - r.top, ToXrgb(bkColor_));
      Touch(r.top, r.bottom);
    }
  }
  return DrawText(x, y, text, (options & ETO_CLIPPED) ? rect : nullptr, bkMode_ == OPAQUE && !(options & ETO_OPAQUE));
}

bool DrawingContext::GetTextExtentPoint32(const std::string& text, SIZE* size) {
  if (!size) return false;
  const LogicalFont& font = font_ ? *font_ : kDefaultFont;
  FontMetrics m;
  int width = 0;
  if (!FontCache::Instance().Visit(RequestOf(font), DecodeText(text), [&](const GlyphBitmap& g) { width += g.advance; },
                                   &m))
    return false;
  size->cx = width;
  size->cy = m.cellHeight;
  return true;
}

bool DrawingContext::DrawText(int x, int y, const std::string& text, const RECT* clip, bool opaque) {
  const LogicalFont& font = font_ ? *font_ : kDefaultFont;
  const std::vector<char32_t> cps = DecodeText(text);
  RECT bounds{0, 0, width_, height_};
  if (clip) bounds = {std::max(clip->left, 0), std::max(clip->top, 0), std::min(clip->right, width_),
                      std::min(clip->bottom, height_)};
  if (opaque) {
    SIZE extent;
    if (GetTextExtentPoint32(text, &extent)) {
      RECT r{std::max<int>(x, bounds.left), std::max<int>(y, bounds.top), std::min<int>(x + extent.cx, bounds.right),
             std::min<int>(y + extent.cy, bounds.bottom)};
      if (r.right > r.left && r.bottom > r.top) {
        FillRect(pixels_, pitch_, r.left, r.top, r.right - r.left, r.bottom - r.top, ToXrgb(bkColor_));
        Touch(r.top, r.bottom);
      }
    }
  }
  const std::uint32_t color = ToXrgb(textColor_);
  FontMetrics m;
  int pen = x;
  int baseline = 0;
  bool first = true;
  auto draw = [&](const GlyphBitmap& g) {
    if (first) {
      baseline = y + m.ascent;
      first = false;
    }
    const int gx = pen + g.left;
    const int gy = baseline - g.top;
    pen += g.advance;
    // Most of a long clipped line lies outside: skip those glyphs whole.
    if (gx >= bounds.right || gx + g.width <= bounds.left) return;
    Touch(std::max<int>(gy, bounds.top), std::min<int>(gy + g.rows, bounds.bottom));
    for (int r = 0; r < g.rows; ++r) {
      const int py = gy + r;
      if (py < bounds.top || py >= bounds.bottom) continue;
      std::uint32_t* row = pixels_ + static_cast<std::ptrdiff_t>(py) * pitch_;
      for (int c = 0; c < g.width; ++c) {
        const int px = gx + c;
        if (px < bounds.left || px >= bounds.right) continue;
        const unsigned a = g.coverage[static_cast<std::size_t>(r) * g.width + c];
        if (a == 0) continue;
        row[px] = a == 255 ? color : Blend(row[px], color, a);
      }
    }
  };
  return FontCache::Instance().Visit(RequestOf(font), cps, draw, &m);
}

COLORREF DrawingContext::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  return ToColorRef(pixels_[static_cast<std::ptrdiff_t>(y) * pitch_ + x]);
}

COLORREF DrawingContext::SetPixel(int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  pixels_[static_cast<std::ptrdiff_t>(y) * pitch_ + x] = ToXrgb(color);
  Touch(y, y + 1);
  return color & 0xFFFFFF;
}

void DrawingContext::DrawPixels(int x, int y, const std::uint32_t* src, int width, int height, int srcPitch) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + width, width_), y1 = std::min(y + height, height_);
  if (x1 <= x0 || y1 <= y0) return;
  Touch(y0, y1);
  CopyPlain(pixels_ + static_cast<std::ptrdiff_t>(y0) * pitch_ + x0, pitch_,
            src + static_cast<std::ptrdiff_t>(y0 - y) * srcPitch + (x0 - x), srcPitch, x1 - x0, y1 - y0);
}

void DrawingContext::StretchPixels(const RECT& dst, const std::uint32_t* src, int width, int height, int srcPitch) {
  const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  if (dw <= 0 || dh <= 0 || width <= 0 || height <= 0) return;
  Touch(dst.top, dst.bottom);
  for (int row = 0; row < dh; ++row) {
    const int py = dst.top + row;
    if (py < 0 || py >= height_) continue;
    const std::uint32_t* s = src + static_cast<std::ptrdiff_t>(static_cast<long long>(row) * height / dh) * srcPitch;
    std::uint32_t* d = pixels_ + static_cast<std::ptrdiff_t>(py) * pitch_;
    for (int col = 0; col < dw; ++col) {
      const int px = dst.left + col;
      if (px < 0 || px >= width_) continue;
      d[px] = s[static_cast<long long>(col) * width / dw];
    }
  }
}

}  // namespace platform
