#include "platform/FontCache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

namespace platform {

namespace {

constexpr std::size_t kMaxGlyphs = 8192;

// Windows-1252's 0x80..0x9F; 0 where the code page has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool DecodeUtf8(const std::string& s, std::vector<char32_t>* out) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int len = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      len = 1;
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) return false;
    for (int k = 1; k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static const char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out->push_back(cp);
    i += static_cast<std::size_t>(len);
  }
  return true;
}

GlyphBitmap Render(FT_Face face, char32_t cp) {
  GlyphBitmap g;
  if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return g;
  const FT_GlyphSlot slot = face->glyph;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(slot->bitmap.width);
  g.rows = static_cast<int>(slot->bitmap.rows);
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  g.coverage.resize(static_cast<std::size_t>(g.width) * g.rows);
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.width; ++c)
      g.coverage[static_cast<std::size_t>(r) * g.width + c] = slot->bitmap.buffer[r * slot->bitmap.pitch + c];
  return g;
}

}  // namespace

std::vector<char32_t> DecodeText(const std::string& bytes) {
  std::vector<char32_t> cps;
  if (DecodeUtf8(bytes, &cps)) return cps;
  cps.clear();
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x80 && c < 0xA0)
      cps.push_back(kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : U'?');
    else
      cps.push_back(c);
  }
  return cps;
}

struct FontCache::Impl {
  struct Face {
    FT_Face face = nullptr;
    int cellUnits = 0;    // ascent + descent, font units
    int ascentUnits = 0;
  };
  // The rendered glyphs of one face at one size; the code page's own
  // characters are found without hashing, as long lines draw thousands a frame.
  struct Sized {
    std::array<const GlyphBitmap*, 256> low{};
    std::unordered_map<char32_t, GlyphBitmap> glyphs;
  };
  std::mutex mutex;
  FT_Library library = nullptr;
  std::map<std::tuple<std::string, bool, bool>, Face> faces;  // face, bold, italic
  std::map<std::pair<const Face*, FT_F26Dot6>, Sized> sizes;
  std::size_t glyphCount = 0;

  Face* Load(const std::string& name, bool bold, bool italic) {
    auto key = std::make_tuple(name, bold, italic);
    if (auto it = faces.find(key); it != faces.end()) return it->second.face ? &it->second : nullptr;
    Face& f = faces[key];
    if (!library && FT_Init_FreeType(&library) != 0) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.empty() ? "Arial" : name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &f.face) != 0) f.face = nullptr;
    }
    FcPatternDestroy(match);
    if (!f.face) return nullptr;
    // The Windows font mapper reads a cell height against usWinAscent + usWinDescent.
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f.face, FT_SFNT_OS2)); os2 && os2->usWinAscent) {
      f.ascentUnits = os2->usWinAscent;
      f.cellUnits = os2->usWinAscent + os2->usWinDescent;
    } else {
      f.ascentUnits = f.face->ascender;
      f.cellUnits = f.face->ascender - f.face->descender;
    }
    if (f.cellUnits <= 0) f.cellUnits = f.face->units_per_EM;
    return &f;
  }
};

FontCache::FontCache() : impl_(std::make_unique<Impl>()) {}

FontCache::~FontCache() {
  for (auto& [key, f] : impl_->faces)
    if (f.face) FT_Done_Face(f.face);
  if (impl_->library) FT_Done_FreeType(impl_->library);
  FcFini();
}

FontCache& FontCache::Instance() {
  static FontCache cache;
  return cache;
}

bool FontCache::Visit(const FontRequest& font, const std::vector<char32_t>& text,
                      const std::function<void(const GlyphBitmap&)>& visit, FontMetrics* metrics) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  Impl::Face* f = impl_->Load(font.face, font.weight >= 600, font.italic);
  if (!f) return false;
  const int unitsPerEm = f->face->units_per_EM ? f->face->units_per_EM : 2048;
  int cell = 0;
  double em = 0;
  if (font.height > 0) {
    cell = font.height;
    em = static_cast<double>(font.height) * unitsPerEm / f->cellUnits;
  } else {
    em = font.height < 0 ? -font.height : 16.0 * unitsPerEm / f->cellUnits;
    cell = static_cast<int>(std::lround(em * f->cellUnits / unitsPerEm));
  }
  const int ascent = static_cast<int>(std::lround(em * f->ascentUnits / unitsPerEm));
  if (metrics) *metrics = {ascent, cell};
  const FT_F26Dot6 size26 = static_cast<FT_F26Dot6>(std::lround(em * 64));
  // Bounded by the distinct characters of all texts; a text may overshoot it once.
  if (impl_->glyphCount >= kMaxGlyphs) {
    impl_->sizes.clear();
    impl_->glyphCount = 0;
  }
  Impl::Sized& sized = impl_->sizes[{f, size26}];
  bool sizeSet = false;
  for (char32_t cp : text) {
    const GlyphBitmap* glyph = cp < 256 ? sized.low[cp] : nullptr;
    if (!glyph) {
      auto it = sized.glyphs.find(cp);
      if (it == sized.glyphs.end()) {
        if (!sizeSet) {
          FT_Set_Char_Size(f->face, 0, size26, 72, 72);
          sizeSet = true;
        }
        it = sized.glyphs.emplace(cp, Render(f->face, cp)).first;
        ++impl_->glyphCount;
      }
      glyph = &it->second;
      if (cp < 256) sized.low[cp] = glyph;
    }
    visit(*glyph);
  }
  return true;
}

}  // namespace platform
