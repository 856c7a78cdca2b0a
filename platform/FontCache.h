// FreeType faces found through fontconfig, sized by GDI's rules, and their
// rendered glyphs. Shared by every drawing context; thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct GlyphBitmap {
  int left = 0;     // from the pen position to the bitmap's first column
  int top = 0;      // from the baseline up to the bitmap's first row
  int width = 0, rows = 0;
  int advance = 0;  // whole pixels
  std::vector<std::uint8_t> coverage;
};

struct FontMetrics {
  int ascent = 0;  // baseline below the cell's top
  int cellHeight = 0;
};

struct FontRequest {
  std::string face;
  int height = 0;  // positive: cell height (ascent + descent); negative: em size
  int weight = 400;
  bool italic = false;
};

class FontCache {
 public:
  static FontCache& Instance();
  ~FontCache();
  // Runs visit for each glyph of the text in turn, under the cache's lock.
  // False when no face could be loaded (then nothing is visited).
  bool Visit(const FontRequest& font, const std::vector<char32_t>& text,
             const std::function<void(const GlyphBitmap&)>& visit, FontMetrics* metrics);

 private:
  FontCache();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Bytes to code points: valid UTF-8 as such, anything else as Windows-1252.
std::vector<char32_t> DecodeText(const std::string& bytes);

}  // namespace platform
