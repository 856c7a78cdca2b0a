#include "platform/Sound.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/Resources.h"

using namespace std::chrono_literals;

namespace {

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}

// A 16-bit stereo PCM clip in which every frame differs, so any gap, repeat or
// slip at the loop seam shows.
std::vector<std::uint8_t> MakeClip(int frames, int freq = 11025) {
  std::vector<std::uint8_t> v;
  v.insert(v.end(), {'R', 'I', 'F', 'F'});
  Put32(v, 36 + frames * 4);
  v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(v, 16);
  Put16(v, 1);
  Put16(v, 2);
  Put32(v, freq);
  Put32(v, freq * 4);
  Put16(v, 4);
  Put16(v, 16);
  v.insert(v.end(), {'d', 'a', 't', 'a'});
  Put32(v, frames * 4);
  for (int i = 0; i < frames; ++i) {
    Put16(v, static_cast<std::uint16_t>(i + 1));
    Put16(v, static_cast<std::uint16_t>(0x8000 + i * 7));
  }
  return v;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Points SDL's audio at a driver for one test and puts the environment back.
class AudioDriverScope {
 public:
  explicit AudioDriverScope(const char* driver) {
    if (const char* old = getenv("SDL_AUDIODRIVER")) oldDriver_ = old;
    setenv("SDL_AUDIODRIVER", driver, 1);
    std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-snd-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir_ = pattern;
    file_ = dir_ + "/out.raw";
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
  }
  ~AudioDriverScope() {
    platform::PlaySound(nullptr, nullptr, platform::SND_PURGE);
    if (oldDriver_) setenv("SDL_AUDIODRIVER", oldDriver_->c_str(), 1);
    else unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& File() const { return file_; }
  std::uintmax_t Written() const {
    std::error_code ec;
    auto n = std::filesystem::file_size(file_, ec);
    return ec ? 0 : n;
  }
  // Waits (bounded) until the device has written at least bytes.
  bool WaitFor(std::uintmax_t bytes, std::chrono::seconds limit = 20s) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Written() < bytes) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

 private:
  std::optional<std::string> oldDriver_;
  std::string dir_, file_;
};

// Where the clip starts in what the device wrote: the device writes silence
// while it is still paused, then the clip from its first frame.
std::size_t ClipStart(const std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& pcm) {
  const std::size_t probe = std::min<std::size_t>(pcm.size(), 4096);
  for (std::size_t at = 0; at + probe <= out.size(); at += 4) {
    if (std::memcmp(out.data() + at, pcm.data(), probe) == 0) return at;
    if (out[at] | out[at + 1] | out[at + 2] | out[at + 3]) break;  // not silence, not the clip
  }
  return std::string::npos;
}

}  // namespace

TEST(Sound, EmbeddedClipIsStereoMsAdpcmAndDecodesToItsFactFrames) {
  auto clip = platform::FindResource("SoundName");  // asked for in another case than stored
  ASSERT_TRUE(clip);
  const std::uint8_t* p = clip->data();
  ASSERT_GT(clip->size(), 60u);
  ASSERT_EQ(std::memcmp(p, "RIFF", 4), 0);
  ASSERT_EQ(std::memcmp(p + 8, "WAVE", 4), 0);
  std::uint32_t factFrames = 0, dataBytes = 0;
  bool sawFmt = false;
  for (std::size_t at = 12; at + 8 <= clip->size();) {
    const std::uint32_t size = Le32(p + at + 4);
    if (std::memcmp(p + at, "fmt ", 4) == 0) {
      sawFmt = true;
      EXPECT_EQ(Le16(p + at + 8), 2) << "format tag: Microsoft ADPCM";
      EXPECT_EQ(Le16(p + at + 10), 2) << "channels";
      EXPECT_EQ(Le32(p + at + 12), 11025u) << "samples per second";
      EXPECT_EQ(Le16(p + at + 20), 512) << "block size";
      EXPECT_EQ(Le16(p + at + 22), 4) << "bits per sample";
      EXPECT_EQ(Le16(p + at + 26), 500) << "samples per block";
    } else if (std::memcmp(p + at, "fact", 4) == 0) {
      factFrames = Le32(p + at + 8);
    } else if (std::memcmp(p + at, "data", 4) == 0) {
      dataBytes = size;
    }
    at += 8 + size + (size & 1);
  }
  ASSERT_TRUE(sawFmt);
  ASSERT_GT(factFrames, 0u);
  EXPECT_EQ(dataBytes % 512, 0u);
  EXPECT_LE(factFrames, dataBytes / 512 * 500);
  EXPECT_GT(factFrames, (dataBytes / 512 - 1) * 500) << "the fact chunk counts into the last block";

  auto wave = platform::DecodeWave(*clip);
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->freq, 11025);
  EXPECT_EQ(wave->channels, 2);
  EXPECT_EQ(wave->format, AUDIO_S16LSB);
  EXPECT_EQ(wave->Frames(), factFrames) << "padding of the last block must not reach the loop";
}

TEST(Sound, LoopsWithoutGapUntilPurged) {
  AudioDriverScope audio("disk");
  const int frames = 2345;  // not a multiple of the device's buffer: the seam falls inside one
  const auto clip = MakeClip(frames);
  const auto pcm = platform::DecodeWave(clip)->pcm;
  ASSERT_EQ(pcm.size(), std::size_t(frames) * 4);

  ASSERT_TRUE(platform::PlaySound(reinterpret_cast<const char*>(clip.data()), nullptr,
                                  platform::SND_MEMORY | platform::SND_ASYNC | platform::SND_LOOP));
  EXPECT_TRUE(platform::SoundPlaying());
  // Past three clip lengths (a little over half a second of playback).
  ASSERT_TRUE(audio.WaitFor(64 * 1024 + 3 * pcm.size())) << "the device wrote " << audio.Written() << " bytes";
  EXPECT_TRUE(platform::PlaySound(nullptr, nullptr, platform::SND_PURGE));
  EXPECT_FALSE(platform::SoundPlaying());
  EXPECT_GT(platform::SoundFramesPlayed(), 3u * frames);

  const auto out = ReadAll(audio.File());
  const std::size_t start = ClipStart(out, pcm);
  ASSERT_NE(start, std::string::npos) << "the clip's first frames were not found";
  ASSERT_GT(out.size() - start, 3 * pcm.size());
  for (std::size_t i = start; i < out.size(); ++i)
    ASSERT_EQ(out[i], pcm[(i - start) % pcm.size()]) << "byte " << (i - start) << " of the loop, pass "
                                                     << (i - start) / pcm.size();

  // Purged: nothing more is written.
  const auto size = audio.Written();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(audio.Written(), size);
}

TEST(Sound, PlaysTheEmbeddedClipAsynchronouslyWithTheSceneFlags) {
  AudioDriverScope audio("disk");
  const auto pcm = platform::DecodeWave(*platform::FindResource("SOUNDNAME"))->pcm;
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(platform::PlaySound("SoundName", nullptr, 0x4000D));
  EXPECT_LT(std::chrono::steady_clock::now() - before, 5s) << "must return at once, not after the clip";
  EXPECT_TRUE(platform::SoundPlaying());
  ASSERT_TRUE(audio.WaitFor(64 * 1024 + 32 * 1024));
  platform::PlaySound(nullptr, nullptr, 0x40);
  EXPECT_FALSE(platform::SoundPlaying());
  const auto out = ReadAll(audio.File());
  const std::size_t start = ClipStart(out, pcm);
  ASSERT_NE(start, std::string::npos);
  ASSERT_GT(out.size() - start, 16u * 1024);
  EXPECT_EQ(std::memcmp(out.data() + start, pcm.data(), out.size() - start), 0);
}

TEST(Sound, NoAudioDeviceIsSilenceNotAnError) {
  AudioDriverScope audio("no-such-driver");
  testing::internal::CaptureStderr();
  const bool played = platform::PlaySound("SoundName", nullptr, 0x4000D);
  const std::string noise = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(played);
  EXPECT_FALSE(platform::SoundPlaying());
  EXPECT_EQ(noise, "");
  EXPECT_TRUE(platform::PlaySound(nullptr, nullptr, platform::SND_PURGE));
}

TEST(Sound, FlagsAndNamesAreCheckedLikeTheSystemCall) {
  AudioDriverScope audio("dummy");
  EXPECT_FALSE(platform::PlaySound("NoSuchSound", nullptr, 0x4000D));
  EXPECT_FALSE(platform::PlaySound("SoundName", nullptr, platform::SND_RESOURCE | platform::SND_LOOP))
      << "a loop needs the asynchronous mode";
  EXPECT_FALSE(platform::PlaySound("SoundName", nullptr, platform::SND_ASYNC)) << "no files or aliases";
  const char notWave[] = "RIFX....WAVE";
  EXPECT_FALSE(platform::PlaySound(notWave, nullptr, platform::SND_MEMORY | platform::SND_ASYNC));
  EXPECT_FALSE(platform::SoundPlaying());

  // SND_NOSTOP keeps a playing sound; without it a new sound replaces it.
  const auto longClip = MakeClip(11025 * 5);
  const auto shortClip = MakeClip(300);
  ASSERT_TRUE(platform::PlaySound(reinterpret_cast<const char*>(longClip.data()), nullptr,
                                  platform::SND_MEMORY | platform::SND_ASYNC | platform::SND_LOOP));
  EXPECT_FALSE(platform::PlaySound(reinterpret_cast<const char*>(shortClip.data()), nullptr,
                                   platform::SND_MEMORY | platform::SND_ASYNC | platform::SND_NOSTOP));
  EXPECT_TRUE(platform::SoundPlaying());
  // Synchronous and once: returns after the clip has been played out.
  EXPECT_TRUE(
      platform::PlaySound(reinterpret_cast<const char*>(shortClip.data()), nullptr, platform::SND_MEMORY));
  EXPECT_FALSE(platform::SoundPlaying());
  EXPECT_GE(platform::SoundFramesPlayed(), 300u);
}
