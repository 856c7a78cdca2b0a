#include "components/SpriteCopy.h"

namespace components {
namespace {

// One axis: `pos` on a screen of `size`, source [first, last). The rules are
// tried in order; a sprite overhanging both ends is also clipped at the start
// so the target never lies outside the surface.
bool ClipAxis(int pos, int first, int last, int size, std::int32_t& outFirst, std::int32_t& outLast, int& outPos) {
  const int extent = last - first;
  if (pos > 0 && pos + extent < size) {
    outFirst = first, outLast = last, outPos = pos;
    return true;
  }
  if (pos > size - 2) return false;
  if (pos + extent > size - 1) {
    outFirst = pos < 0 ? first - pos : first;
    outLast = first + size - pos - 1;
    outPos = pos < 0 ? 0 : pos;
    return true;
  }
  if (pos + extent < 2) return false;
  outFirst = first - pos, outLast = last, outPos = 0;
  return true;
}

}  // namespace

std::optional<SpriteCopy> ClipSpriteCopy(int x, int y, const platform::RECT& src, int W, int H) {
  SpriteCopy copy;
  // Horizontally the source right edge is the sprite width itself (left is 0
  // for every caller); vertically the rows count from the source top.
  if (!ClipAxis(x, src.left, src.right, W, copy.source.left, copy.source.right, copy.x)) return std::nullopt;
  if (!ClipAxis(y, src.top, src.bottom, H, copy.source.top, copy.source.bottom, copy.y)) return std::nullopt;
  return copy;
}

std::string BltErrorName(platform::HRESULT hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    case 0x80004001u: return "DDERR_UNSUPPORTED";
    case 0x80004005u: return "DDERR_GENERIC";
    case 0x80070057u: return "DERR_INVALIDPARAMS";
    case 0x88760037u: return "DDERR_EXCEPTION";
    case 0x88760082u: return "DDERR_INVALIDOBJECT";
    case 0x88760096u: return "DDERR_INVALIDRECT";
    case 0x887601AEu: return "DDERR_SURFACEBUSY";
    case 0x887601C2u: return "DDERR_SURFACELOST";
    case 0x8876021Cu: return "DDERR_WASSTILLDRAWING";
    case 0x8876023Fu: return "DDERR_NOBLTHW";
    default: return "";
  }
}

platform::DDSURFACEDESC OffscreenSurfaceDesc(int width, int height) {
  platform::DDSURFACEDESC desc;
  desc.dwFlags = platform::DDSD_CAPS | platform::DDSD_HEIGHT | platform::DDSD_WIDTH;
  desc.ddsCaps.dwCaps = platform::DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = static_cast<platform::DWORD>(width);
  desc.dwHeight = static_cast<platform::DWORD>(height);
  return desc;
}

}  // namespace components
