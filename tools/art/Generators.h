// The individual pictures and the music, each made from code and a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ArtCore.h"
#include "Scene.h"

namespace art {

// Keyed sprites: alpha < 0.5 becomes index 0 (pure black); small enclosed
// holes are filled so no stray key pixel shows through a silhouette.
Indexed KeyedSprite(Image img, bool dither);

constexpr int kBirdW = 38, kBirdH = 24, kBirdFrames = 121;
constexpr int kFlyW = 40, kFlyH = 30, kFlyFrames = 16;
Image BirdStrip();       // frame k: heading 3k degrees clockwise, 0 = flying right
Image ButterflyStrip();  // one wing beat over frames 0..14, frame 15 repeats 0

constexpr int kIconSize = 52, kIconCount = 49;
Image WeatherIconStrip(Rgb ground);  // 52 x 2548

// Gadget backdrops on black; the panel fill is the weather icons' ground.
inline const Rgb kPanelFill = Hex(0x27324A);
Image ClockPanel();
Image WeatherPanel();
Image TickerPanel();

Image DialogButton(const std::string& label, bool pressed);  // 76 x 26
Image FaderTrack();                                           // 199 x 24
Image FaderKnob();                                            // 34 x 16
Image Banner(const LakeScene& scene);                         // 546 x 90
Image ProductPicture(const LakeScene& scene);                 // 183 x 134
// The scene as it appears running: background, water frame, trees, birds.
Image ComposeScene(const LakeScene& scene, int waterFrame, bool withBirds);

// RIFF WAVE, Microsoft ADPCM stereo at 11,025 Hz, 458,582 frames.
constexpr std::uint32_t kMusicFrames = 458582;
constexpr int kMusicRate = 11025;
std::vector<float> SynthesiseMusic(std::uint32_t seed);  // interleaved L R, -1..1
std::vector<std::uint8_t> EncodeMsAdpcmWav(const std::vector<float>& stereo);

}  // namespace art
