// Gadget panels, dialog buttons, the fader, the dialog's pictures and the
// composed scene used for the preview.
#include <cmath>
#include <functional>

#include "Generators.h"
#include "StrokeFont.h"

namespace art {
namespace {

constexpr float kPi = 3.14159265358979f;
// The knob sits on the track inside the dialog: its key is the dialog colour, so
// the antialiased rim blends toward what surrounds it.
const Rgb kKnobKey = pal::kDialog;

std::vector<float> RoundRectPath(float x0, float y0, float x1, float y1, float r) {
  std::vector<float> p;
  const float cx[4] = {x1 - r, x0 + r, x0 + r, x1 - r}, cy[4] = {y0 + r, y0 + r, y1 - r, y1 - r};
  for (int c = 0; c < 4; ++c)
    for (int i = 0; i <= 6; ++i) {
      float a = -kPi / 2 * c - kPi / 2 * i / 6.f;
      p.push_back(cx[c] + r * std::cos(a));
      p.push_back(cy[c] + r * std::sin(a));
    }
  return p;
}

// Rounded rectangle whose colour may vary per pixel (gradients).
void FillRoundRect(Image& img, float x0, float y0, float x1, float y1, float r, const std::function<Rgb(int, int)>& colour) {
  Image mask(img.w, img.h, {}, 0.f);
  FillPolygon(mask, RoundRectPath(x0, y0, x1, y1, r), Hex(0xFFFFFF));
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x)
      if (mask.alpha(x, y) > 0) img.Blend(x, y, colour(x, y), mask.alpha(x, y));
}

Image Panel(int w, int h) {
  Image img(w, h, {}, 0.f);
  const Rgb rim = Hex(0x56627E), fill = kPanelFill;
  FillRoundRect(img, 1, 2, w - 1.f, h - 1.f, 12, [&](int, int y) { return Mix(rim, Hex(0x3A4560), y / static_cast<float>(h)); });
  FillRoundRect(img, 3, 4, w - 3.f, h - 3.f, 10, [&](int, int) { return fill; });
  Stroke(img, 14, 5.5f, w - 14.f, 5.5f, 0.5f, 0.5f, Hex(0x3C4864));
  // A warm thread along the foot, the light of the lake's sun.
  Stroke(img, w * 0.3f, h - 5.5f, w * 0.7f, h - 5.5f, 0.45f, 0.45f, Mix(fill, pal::kRim, 0.45f));
  return img;
}

void DrawSprite(Image& dst, const Image& strip, int frameW, int frameH, int frame, int x, int y, int w, int h) {
  for (int dy = 0; dy < h; ++dy)
    for (int dx = 0; dx < w; ++dx) {
      int sx = dx * frameW / w, sy = frame * frameH + dy * frameH / h;
      int tx = x + dx, ty = y + dy;
      if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h || strip.alpha(sx, sy) < 0.5f) continue;
      dst.at(tx, ty) = strip.at(sx, sy);
    }
}

void Overlay(Image& dst, const Image& sprite, int x, int y) {
  for (int sy = 0; sy < sprite.h; ++sy)
    for (int sx = 0; sx < sprite.w; ++sx)
      if (sprite.alpha(sx, sy) >= 0.5f) dst.at(x + sx, y + sy) = sprite.at(sx, sy);
}

}  // namespace

Image ClockPanel() { return Panel(117, 69); }

Image WeatherPanel() {
  Image img = Panel(336, 69);
  const Rgb label = Hex(0x98A4BE);
  DrawText(img, 153, 13, 7, "TODAY", label, 0.9f);
  DrawText(img, 265, 13, 7, "TOMORROW", label, 0.9f);
  // Emblem: the lake itself, small.
  Image emblem(66, 46, kPanelFill);
  FillCircle(emblem, 40, 17, 7, Hex(0xF4C46A));
  FillPolygon(emblem, {0, 30, 14, 18, 26, 26, 38, 16, 52, 24, 66, 20, 66, 32, 0, 32}, Hex(0x6E7A96));
  FillPolygon(emblem, {0, 32, 66, 32, 66, 46, 0, 46}, Hex(0x35506C));
  for (int i = 0; i < 4; ++i) Stroke(emblem, 30 - i * 3.f, 36 + i * 3.f, 50 + i * 3.f, 36 + i * 3.f, 0.6f, 0.6f, Mix(Hex(0xF4C46A), Hex(0x35506C), 0.3f + i * 0.15f));
  Image round(66, 46, {}, 0.f);
  FillRoundRect(round, 0, 0, 66, 46, 8, [](int, int) { return Hex(0xFFFFFF); });
  for (int y = 0; y < 46; ++y)
    for (int x = 0; x < 66; ++x) img.Blend(16 + x, 12 + y, emblem.at(x, y), round.alpha(x, y));
  return img;
}

Image TickerPanel() {
  Image img = Panel(572, 69);
  DrawText(img, 20, 9, 10, "NEWS", Mix(pal::kRim, Hex(0xFFFFFF), 0.2f), 1.1f);
  Stroke(img, 15, 26.5f, 560, 26.5f, 0.5f, 0.5f, Hex(0x36425C));
  return img;
}

Image DialogButton(const std::string& label, bool pressed) {
  Image img(76, 26, pal::kDialog);
  FillRoundRect(img, 0.5f, 0.5f, 75.5f, 25.5f, 9, [](int, int) { return Hex(0x2C3246); });
  FillRoundRect(img, 1.5f, 1.5f, 74.5f, 24.5f, 8, [pressed](int, int y) {
    float t = y / 25.f;
    return pressed ? Mix(Hex(0x3E4862), Hex(0x66708E), t) : Mix(Hex(0x98A2BE), Hex(0x4E5874), t);
  });
  if (!pressed) Stroke(img, 9, 2.8f, 67, 2.8f, 0.5f, 0.5f, Hex(0xC4CCE0), 0.7f);
  float h = 9.f, w = TextWidth(h, label);
  float x = (76 - w) / 2 + (pressed ? 1.f : 0.f), y = 8.5f + (pressed ? 1.f : 0.f);
  DrawText(img, x + 0.8f, y + 0.8f, h, label, Hex(0x262A3A), 1.1f);
  DrawText(img, x, y, h, label, pressed ? Hex(0xE8D6B0) : Hex(0xFBF4E4), 1.1f);
  return img;
}

Image FaderTrack() {
  Image img(199, 24, pal::kDialog);
  FillRoundRect(img, 3, 8, 196, 16, 4, [](int, int y) { return Mix(Hex(0x262C3E), Hex(0x40485E), (y - 8) / 8.f); });
  Stroke(img, 7, 16.6f, 192, 16.6f, 0.5f, 0.5f, Hex(0x9AA0B6), 0.8f);
  for (int i = 0; i <= 8; ++i) {
    float x = 17.f + i * 165.f / 8.f;
    Stroke(img, x, 19.5f, x, 22.f, 0.55f, 0.55f, i == 0 || i == 8 ? Mix(pal::kRim, Hex(0xFFFFFF), 0.2f) : Hex(0xA4AABE));
  }
  return img;
}

Image FaderKnob() {
  Image img(34, 16, kKnobKey);
  FillRoundRect(img, 0.5f, 0.5f, 33.5f, 15.5f, 6, [](int, int) { return Hex(0x2C3246); });
  FillRoundRect(img, 1.5f, 1.5f, 32.5f, 14.5f, 5, [](int, int y) { return Mix(Hex(0xD8DCE8), Hex(0x7C849E), y / 15.f); });
  for (int i = -1; i <= 1; ++i) {
    float x = 17.f + i * 4.f;
    Stroke(img, x, 4.5f, x, 11.f, 0.5f, 0.5f, Hex(0x50586E));
    Stroke(img, x + 1.f, 4.5f, x + 1.f, 11.f, 0.45f, 0.45f, Hex(0xEEF0F6), 0.7f);
  }
  return img;
}

Image ComposeScene(const LakeScene& scene, int waterFrame, bool withBirds) {
  Image img = scene.Render(static_cast<float>(waterFrame) / kWaterFrames);
  if (!withBirds) return img;
  Image birds = BirdStrip();
  Image flies = ButterflyStrip();
  // Hand-placed: two small birds behind the big tree, two between the trees.
  DrawSprite(img, birds, kBirdW, kBirdH, 7, 604, 214, 14, 9);
  DrawSprite(img, birds, kBirdW, kBirdH, 58, 742, 256, 14, 9);
  Overlay(img, scene.BigTree(), 379, 119);
  DrawSprite(img, birds, kBirdW, kBirdH, 115, 476, 338, 24, 16);
  DrawSprite(img, birds, kBirdW, kBirdH, 4, 836, 296, 24, 16);
  Overlay(img, scene.FrontTree(), 282, 335);
  DrawSprite(img, flies, kFlyW, kFlyH, 3, 112, 520, 20, 15);
  DrawSprite(img, flies, kFlyW, kFlyH, 9, 902, 612, 20, 15);
  return img;
}

Image Banner(const LakeScene& scene) {
  Image full = ComposeScene(scene, 0, true);
  Image crop(1024, 169);
  for (int y = 0; y < crop.h; ++y)
    for (int x = 0; x < 1024; ++x) crop.at(x, y) = full.at(x, 372 + y);
  Image img = Resize(crop, 546, 90);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 546; ++x) {
      float shade = 0.35f * (1 - Smooth(0, 300, static_cast<float>(x)));
      img.at(x, y) = Mix(img.at(x, y), pal::kSlate, shade);
      img.at(x, y) = Mix(img.at(x, y), pal::kDialog, Smooth(72, 90, static_cast<float>(y)));
    }
  Image text(546, 90, {}, 0.f);
  DrawText(text, 18, 20, 20, "BRISVANE", Hex(0xFFF6E6), 1.15f);
  DrawText(text, 20, 50, 8, "SCREENSAVER", Mix(pal::kRim, Hex(0xFFFFFF), 0.35f), 1.f);
  // A soft shadow down and to the right lifts the title off the picture.
  Image shadow(546, 90);
  for (int y = 2; y < 90; ++y)
    for (int x = 2; x < 546; ++x) {
      float a = text.alpha(x - 2, y - 2) * 255.f;
      shadow.at(x, y) = {a, a, a};
    }
  BoxBlur(shadow, 2, 2);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 546; ++x) {
      img.at(x, y) = Mix(img.at(x, y), Hex(0x141A26), shadow.at(x, y).r / 255.f * 0.6f);
      img.at(x, y) = Mix(img.at(x, y), text.at(x, y), text.alpha(x, y));
    }
  return img;
}

Image ProductPicture(const LakeScene& scene) {
  Image img(183, 134, pal::kDialog);
  Image view = Resize(ComposeScene(scene, 0, true), 160, 120);
  // Soft shadow, then a slate frame holding the lake.
  FillRoundRect(img, 10, 6, 180, 133, 6, [](int, int) { return Hex(0x4A4E62); });
  BoxBlur(img, 2, 2);
  FillRoundRect(img, 6, 2, 176, 130, 5, [](int, int y) { return Mix(Hex(0x55607C), Hex(0x2A3246), y / 130.f); });
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) img.at(11 + x, 6 + y) = view.at(x, y);
  Stroke(img, 11, 126.5f, 171, 126.5f, 0.5f, 0.5f, Mix(pal::kRim, Hex(0x2A3246), 0.4f));
  // The blurred shadow must not tint the transparent ground around it.
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      Rgb c = img.at(x, y);
      if (std::fabs(c.r - pal::kDialog.r) < 1.5f && std::fabs(c.g - pal::kDialog.g) < 1.5f && std::fabs(c.b - pal::kDialog.b) < 1.5f)
        img.at(x, y) = pal::kDialog;
    }
  return img;
}

}  // namespace art
