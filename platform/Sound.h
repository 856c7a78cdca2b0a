// The play-sound call: plays a WAVE clip from the program's resources (or from
// memory) on SDL's audio thread, once or looped without a gap, and stops it.
// A machine without an audio device plays nothing and reports no error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

constexpr std::uint32_t SND_SYNC = 0x0;
constexpr std::uint32_t SND_ASYNC = 0x1;
constexpr std::uint32_t SND_NODEFAULT = 0x2;
constexpr std::uint32_t SND_MEMORY = 0x4;
constexpr std::uint32_t SND_LOOP = 0x8;
constexpr std::uint32_t SND_NOSTOP = 0x10;
constexpr std::uint32_t SND_PURGE = 0x40;
constexpr std::uint32_t SND_RESOURCE = 0x40004;

// sound: a resource name (SND_RESOURCE, matched without regard to case) or a
// pointer to a RIFF WAVE image (SND_MEMORY); null stops the current sound.
// module is accepted for the call's shape; resources are the program's own.
// Returns false when nothing could be played (the caller may ignore it).
bool PlaySound(const char* sound, const void* module, std::uint32_t flags);

// A clip decoded to the samples the device is fed: only the sample frames the
// fact chunk counts, so a loop joins without the padding of the last block.
struct DecodedWave {
  int freq = 0;
  std::uint16_t format = 0;  // SDL_AudioFormat
  int channels = 0;
  std::vector<std::uint8_t> pcm;
  std::size_t FrameBytes() const;
  std::size_t Frames() const { return FrameBytes() ? pcm.size() / FrameBytes() : 0; }
};
std::optional<DecodedWave> DecodeWave(std::span<const std::uint8_t> riff);

// With output off, every play request plays nothing and opens no device, and
// the master volume is left alone (a tool that renders frames without a
// listener, or one of several hosted savers); stop requests still work.
void SetSoundOutputEnabled(bool enabled);
bool SoundOutputEnabled();

// Whether a sound is being played now, and how many sample frames of it have
// been handed to the device (loops included). For tests and diagnostics.
bool SoundPlaying();
std::uint64_t SoundFramesPlayed();

}  // namespace platform
