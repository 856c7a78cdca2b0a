// Contact sheet, drawn from the asset files themselves (with a scene composed
// by hand among them; the running scene's own picture comes from brisvane-render).
// Usage: art_sheet <assets-dir> <out-dir>
// Writes <out-dir>/art-contact-sheet.png.
#include <algorithm>
#include <cstdio>
#include <string>

#include "ArtCore.h"
#include "Scene.h"
#include "StrokeFont.h"

using namespace art;

namespace {

const Rgb kSheet = Hex(0x1E2230);
const Rgb kLabel = Hex(0xD8DCE6);
const Rgb kSkyBack = Hex(0xB8C0D2);

bool IsKey(const Rgb& c) { return c.r == 0 && c.g == 0 && c.b == 0; }

Image Load(const std::string& dir, const std::string& file) {
  Image img;
  std::string kind;
  if (!ReadAny(dir + "/" + file, img, kind)) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return Image(8, 8, Hex(0xFF00FF));
  }
  return img;
}

// Pure black is the key colour: show it as a backdrop so the shape reads.
Image Keyed(const Image& img, Rgb back) {
  Image out = img;
  for (auto& c : out.px)
    if (IsKey(c)) c = back;
  return out;
}

Image Scale(const Image& img, int factor) {
  Image out(img.w * factor, img.h * factor);
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x) out.at(x, y) = img.at(x / factor, y / factor);
  return out;
}

void Blit(Image& dst, const Image& src, int x, int y, bool keyed = false) {
  for (int sy = 0; sy < src.h; ++sy)
    for (int sx = 0; sx < src.w; ++sx) {
      int tx = x + sx, ty = y + sy;
      if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h) continue;
      if (keyed && IsKey(src.at(sx, sy))) continue;
      dst.at(tx, ty) = src.at(sx, sy);
    }
}

// Frames of a vertical strip laid out in a grid.
Image Grid(const Image& strip, int frameH, int cols, int gap, Rgb back, int scale) {
  int frames = strip.h / frameH, rows = (frames + cols - 1) / cols;
  int cw = strip.w * scale + gap, ch = frameH * scale + gap;
  Image out(cols * cw, rows * ch, kSheet);
  for (int f = 0; f < frames; ++f) {
    Image one(strip.w, frameH);
    for (int y = 0; y < frameH; ++y)
      for (int x = 0; x < strip.w; ++x) one.at(x, y) = strip.at(x, f * frameH + y);
    Blit(out, Scale(Keyed(one, back), scale), (f % cols) * cw, (f / cols) * ch);
  }
  return out;
}

// Drawn the way the program stretches strips: nearest pixel, black keyed out.
void Sprite(Image& dst, const Image& strip, int frameH, int frame, int x, int y, int w, int h) {
  for (int dy = 0; dy < h; ++dy)
    for (int dx = 0; dx < w; ++dx) {
      const Rgb& c = strip.at(dx * strip.w / w, frame * frameH + dy * frameH / h);
      if (!IsKey(c) && x + dx >= 0 && y + dy >= 0 && x + dx < dst.w && y + dy < dst.h) dst.at(x + dx, y + dy) = c;
    }
}

struct Flow {
  Image& sheet;
  int x = 20, y = 20, rowH = 0;
  void Place(const Image& img, const std::string& label) {
    if (x + img.w > sheet.w - 20) x = 20, y += rowH + 16, rowH = 0;
    DrawText(sheet, static_cast<float>(x), static_cast<float>(y), 9, label, kLabel);
    Blit(sheet, img, x, y + 16);
    x += img.w + 24;
    rowH = std::max(rowH, img.h + 16);
  }
  void Break() { x = 20, y += rowH + 16, rowH = 0; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <assets-dir> <out-dir>\n", argv[0]);
    return 2;
  }
  const std::string in = argv[1], out = argv[2];
  Image bg = Load(in, "WIM1.jpg"), water = Load(in, "WMV1.jpg");
  Image tree = Load(in, "WIM2tree.bmp"), front = Load(in, "WIM2tree_n1.bmp");
  Image birds = Load(in, "WMV3SGsmall.bmp"), flies = Load(in, "WMV2btfl.bmp");
  Image icons = Load(in, "WMV3Weather.bmp"), strip = Load(in, "WIM2GadgetPanel.gif");
  Image clock = Load(in, "WGC1.gif"), weather = Load(in, "WGW1.gif"), ticker = Load(in, "WGR1.gif");
  Image preview = Load(in, "PREVIEWBMP.bmp"), banner = Load(in, "Image1.jpg"), product = Load(in, "Image2.bmp");

  // The scene as the program draws it, with sprites placed by hand.
  Image scene = bg;
  const int frame = 5;
  for (int y = 0; y < kWaterRows; ++y)
    for (int x = 0; x < kScreenW; ++x) scene.at(x, kWaterTop + y) = water.at(x, frame * kWaterRows + y);
  Sprite(scene, birds, 24, 7, 604, 214, 14, 9);
  Sprite(scene, birds, 24, 58, 742, 256, 14, 9);
  Blit(scene, tree, 379, 119, true);
  Sprite(scene, birds, 24, 115, 476, 338, 24, 16);
  Sprite(scene, birds, 24, 4, 836, 296, 24, 16);
  Blit(scene, front, 282, 335, true);
  Sprite(scene, flies, 30, 3, 112, 520, 20, 15);
  Sprite(scene, flies, 30, 9, 902, 612, 20, 15);
  Sprite(scene, flies, 30, 12, 160, 448, 20, 15);
  bool ok = true;

  Image sheet(1660, 3200, kSheet);
  Flow f{sheet};
  f.Place(Resize(bg, 512, 384), "WIM1 BACKGROUND 1024X768");
  {
    Image frames(512, 4 * 108, kSheet);
    for (int i = 0; i < 4; ++i) {
      Image one(kScreenW, kWaterRows);
      for (int y = 0; y < kWaterRows; ++y)
        for (int x = 0; x < kScreenW; ++x) one.at(x, y) = water.at(x, i * 8 * kWaterRows + y);
      Blit(frames, Resize(one, 512, 107), 0, i * 108);
    }
    f.Place(frames, "WMV1 WATER FRAMES 0 8 16 24 (HALF SIZE)");
  }
  f.Place(Resize(scene, 512, 384), "COMPOSED SCENE");
  f.Break();
  f.Place(Keyed(tree, kSkyBack), "WIM2TREE 644X341 (KEY SHOWN PALE)");
  f.Place(Keyed(front, kSkyBack), "WIM2TREE_N1 156X234");
  f.Place(Scale(preview, 2), "PREVIEWBMP 154X116 (X2)");
  f.Break();
  f.Place(Grid(birds, 24, 11, 4, kSkyBack, 2), "WMV3SGSMALL 121 HEADINGS (X2)");
  f.Place(Grid(flies, 30, 4, 4, Hex(0x20344A), 2), "WMV2BTFL 16 FRAMES (X2)");
  f.Break();
  {
    Image table(9 * 64, 6 * 76, kSheet);
    for (int code = 0; code < 49; ++code) {
      int cx = (code % 9) * 64, cy = (code / 9) * 76;
      Image one(52, 52);
      for (int y = 0; y < 52; ++y)
        for (int x = 0; x < 52; ++x) one.at(x, y) = icons.at(x, code * 52 + y);
      Blit(table, one, cx, cy);
      DrawText(table, static_cast<float>(cx + 18), static_cast<float>(cy + 58), 9, std::to_string(code), kLabel);
    }
    f.Place(table, "WMV3WEATHER ICONS BY CODE");
  }
  {
    Image panels(1024, 80 + 2 * 90, kSheet);
    Blit(panels, Keyed(strip, Hex(0x000000)), 0, 0);
    DrawText(panels, 8, 28, 9, "WIM2GADGETPANEL 1024X70 (SOLID BLACK)", kLabel);
    // Over the lake with black keyed out, and over the opaque black bar.
    for (int row = 0; row < 2; ++row) {
      Image lake(1024, 70);
      for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 1024; ++x) lake.at(x, y) = row == 0 ? scene.at(x, 698 + y) : Hex(0x000000);
      Blit(lake, ticker, 0, 0, true);
      Blit(lake, weather, 571, 0, true);
      Blit(lake, clock, 907, 0, true);
      for (int i = 0; i < 2; ++i) {
        Image icon(52, 52);
        int code = row == 0 ? (i == 0 ? 30 : 12) : (i == 0 ? 48 : 47);
        for (int y = 0; y < 52; ++y)
          for (int x = 0; x < 52; ++x) icon.at(x, y) = icons.at(x, code * 52 + y);
        Blit(lake, icon, 571 + 94 + i * 112, 8);
      }
      Blit(panels, lake, 0, 80 + row * 90);
    }
    f.Place(panels, "GADGETS WGR1 WGW1 WGC1 OVER THE LAKE AND OVER BLACK");
  }
  f.Break();
  {
    Image dialog(560, 190, pal::kDialog);
    Blit(dialog, banner, 0, 0);
    // The product picture and the buttons are drawn with their bottom-left
    // colour as the transparent one.
    auto transparent = [&dialog](const Image& img, int x, int y) {
      Rgb key = img.at(0, img.h - 1);
      for (int sy = 0; sy < img.h; ++sy)
        for (int sx = 0; sx < img.w; ++sx) {
          const Rgb& c = img.at(sx, sy);
          if (c.r != key.r || c.g != key.g || c.b != key.b) dialog.at(x + sx, y + sy) = c;
        }
    };
    transparent(product, 337, 13);
    Image cancel = Load(in, "BTCANCEL_UP.bmp"), ok2 = Load(in, "BTOK_UP.bmp");
    Image cancelDown = Load(in, "BTCANCEL_DOWN.bmp"), okDown = Load(in, "BTOK_DOWN.bmp");
    transparent(cancel, 20, 155);
    transparent(cancelDown, 110, 155);
    transparent(ok2, 370, 155);
    transparent(okDown, 460, 155);
    Image track = Load(in, "FADER_TRACK.bmp"), knob = Load(in, "FADER_KNOB.bmp");
    Blit(dialog, track, 20, 105);
    transparent(knob, 20 + 165 * 180 / 256, 105 + 24 / 2 - 16 / 2 - 1);
    f.Place(dialog, "DIALOG IMAGE1 IMAGE2 BUTTONS (UP DOWN) FADER");
  }
  f.Break();
  Image used(sheet.w, std::min(sheet.h, f.y + 4));
  for (int y = 0; y < used.h; ++y)
    for (int x = 0; x < used.w; ++x) used.at(x, y) = sheet.at(x, y);
  ok &= WritePng(out + "/art-contact-sheet.png", used);
  std::printf("%s\n", ok ? "wrote art-contact-sheet.png" : "FAILED");
  return ok ? 0 : 1;
}
