// Writes every picture and the music clip into the assets folder.
// Usage: art_generate <assets-dir> [name ...]   (no names: all of them)
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "Generators.h"

using namespace art;

namespace {

constexpr std::uint32_t kSeed = 20261207;

// Palette entries drift a little under the median cut; colours that other
// pictures must match exactly are put back.
void PinColour(Indexed& pic, Rgb want) {
  std::uint32_t target = static_cast<std::uint32_t>(ToByte(want.r)) << 16 | ToByte(want.g) << 8 | ToByte(want.b);
  std::size_t best = 0;
  long bestd = -1;
  for (std::size_t i = 0; i < pic.palette.size(); ++i) {
    std::uint32_t c = pic.palette[i];
    if (c == 0 && target != 0) continue;
    long dr = static_cast<long>((c >> 16) & 0xFF) - ((target >> 16) & 0xFF);
    long dg = static_cast<long>((c >> 8) & 0xFF) - ((target >> 8) & 0xFF);
    long db = static_cast<long>(c & 0xFF) - (target & 0xFF);
    long d = dr * dr + dg * dg + db * db;
    if (bestd < 0 || d < bestd) bestd = d, best = i;
  }
  pic.palette[best] = target;
}

void PadPalette(Indexed& pic, std::size_t n) {
  while (pic.palette.size() < n) pic.palette.push_back(0);
}

bool Report(bool ok, const std::string& path) {
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <assets-dir> [name ...]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  std::set<std::string> only(argv + 2, argv + argc);
  auto want = [&](const char* name) { return only.empty() || only.count(name) > 0; };
  bool ok = true;

  LakeScene scene(kSeed);
  if (want("WIM1")) ok &= Report(WriteJpeg(dir + "/WIM1.jpg", scene.Render(0.f), 92), dir + "/WIM1.jpg");
  if (want("WMV1")) {
    Image strip(kScreenW, kWaterRows * kWaterFrames);
    for (int k = 0; k < kWaterFrames; ++k) {
      // The loop starts half way round the ripples' cycle, where one step
      // differs least from the next; any start loops, this one most evenly.
      float t = static_cast<float>((k + kWaterFrames / 2) % kWaterFrames) / kWaterFrames;
      Image frame = scene.Render(t, kWaterTop, kScreenH - 1);
      for (int y = 0; y < kWaterRows; ++y)
        for (int x = 0; x < kScreenW; ++x) strip.at(x, k * kWaterRows + y) = frame.at(x, kWaterTop + y);
    }
    ok &= Report(WriteJpeg(dir + "/WMV1.jpg", strip, 95), dir + "/WMV1.jpg");
  }
  if (want("WIM2tree")) {
    Indexed pic = KeyedSprite(scene.BigTree(), true);
    PadPalette(pic, 256);
    ok &= Report(WriteBmp8(dir + "/WIM2tree.bmp", pic), dir + "/WIM2tree.bmp");
  }
  if (want("WIM2tree_n1")) {
    Indexed pic = KeyedSprite(scene.FrontTree(), true);
    PadPalette(pic, 256);
    ok &= Report(WriteBmp8(dir + "/WIM2tree_n1.bmp", pic), dir + "/WIM2tree_n1.bmp");
  }
  if (want("WMV3SGsmall")) {
    Indexed pic = KeyedSprite(BirdStrip(), false);
    PadPalette(pic, 256);
    ok &= Report(WriteBmp8(dir + "/WMV3SGsmall.bmp", pic), dir + "/WMV3SGsmall.bmp");
  }
  if (want("WMV2btfl")) {
    Indexed pic = KeyedSprite(ButterflyStrip(), false);
    PadPalette(pic, 256);
    ok &= Report(WriteBmp8(dir + "/WMV2btfl.bmp", pic), dir + "/WMV2btfl.bmp");
  }
  if (want("WMV3Weather")) {
    Indexed pic = Quantize(WeatherIconStrip(kPanelFill), 256, false, false);
    PinColour(pic, kPanelFill);
    PadPalette(pic, 256);
    ok &= Report(WriteBmp8(dir + "/WMV3Weather.bmp", pic), dir + "/WMV3Weather.bmp");
  }
  if (want("WIM2GadgetPanel")) {
    Indexed pic;
    pic.w = 1024;
    pic.h = 70;
    pic.palette.assign(256, 0);
    pic.idx.assign(static_cast<std::size_t>(pic.w) * pic.h, 0);
    ok &= Report(WriteGif(dir + "/WIM2GadgetPanel.gif", pic), dir + "/WIM2GadgetPanel.gif");
  }
  struct PanelJob {
    const char* name;
    Image (*make)();
  };
  for (const PanelJob& job : {PanelJob{"WGC1", ClockPanel}, PanelJob{"WGW1", WeatherPanel}, PanelJob{"WGR1", TickerPanel}}) {
    if (!want(job.name)) continue;
    Indexed pic = Quantize(job.make(), 256, true, false);
    PinColour(pic, kPanelFill);
    PadPalette(pic, 256);
    std::string path = dir + "/" + job.name + ".gif";
    ok &= Report(WriteGif(path, pic), path);
  }
  if (want("PREVIEWBMP")) {
    Indexed pic = Quantize(Resize(ComposeScene(scene, 0, true), 154, 116), 255, false, true);
    PadPalette(pic, 255);
    ok &= Report(WriteBmp8(dir + "/PREVIEWBMP.bmp", pic), dir + "/PREVIEWBMP.bmp");
  }
  if (want("Image1")) ok &= Report(WriteJpeg(dir + "/Image1.jpg", Banner(scene), 90), dir + "/Image1.jpg");
  if (want("Image2")) ok &= Report(WriteBmp24(dir + "/Image2.bmp", ProductPicture(scene)), dir + "/Image2.bmp");
  struct ButtonJob {
    const char* name;
    const char* label;
    bool pressed;
  };
  for (const ButtonJob& b : {ButtonJob{"BTOK_UP", "OK", false}, ButtonJob{"BTOK_DOWN", "OK", true},
                             ButtonJob{"BTCANCEL_UP", "CANCEL", false}, ButtonJob{"BTCANCEL_DOWN", "CANCEL", true}}) {
    if (!want(b.name)) continue;
    std::string path = dir + "/" + b.name + ".bmp";
    ok &= Report(WriteBmp24(path, DialogButton(b.label, b.pressed)), path);
  }
  if (want("FADER_TRACK")) ok &= Report(WriteBmp24(dir + "/FADER_TRACK.bmp", FaderTrack()), dir + "/FADER_TRACK.bmp");
  if (want("FADER_KNOB")) ok &= Report(WriteBmp24(dir + "/FADER_KNOB.bmp", FaderKnob()), dir + "/FADER_KNOB.bmp");
  if (want("SOUNDNAME")) {
    std::vector<std::uint8_t> wav = EncodeMsAdpcmWav(SynthesiseMusic(kSeed));
    std::ofstream f(dir + "/SOUNDNAME.wav", std::ios::binary);
    f.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    ok &= Report(static_cast<bool>(f), dir + "/SOUNDNAME.wav");
  }
  return ok ? 0 : 1;
}
