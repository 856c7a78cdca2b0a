// The system master volume: the default card's "Master" playback element
// through ALSA, behind a small interface so tests can put a fake in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class Mixer {
 public:
  virtual ~Mixer() = default;
  // Opens the mixer and finds the master playback volume; false when absent.
  virtual bool Open() = 0;
  virtual bool Range(long& min, long& max) = 0;
  virtual bool Current(long& value) = 0;
  // Sets every channel of the element.
  virtual bool SetAll(long value) = 0;
  virtual void Close() = 0;
};

// The 0..65535 detail of a value on the 0..256 fader scale, in unsigned 32-bit
// arithmetic: 256 -> 65535, 200 -> 51199, 128 -> 32767.
std::uint32_t VolumeDetail(int volume);
// The detail mapped linearly onto [min, max] (rounded; details above 65535 give max).
long DetailToLevel(std::uint32_t detail, long min, long max);
// Open, read the range and the current level, set every channel, close. False,
// with the mixer closed, when any step fails.
bool SetMasterVolume(Mixer& mixer, std::uint32_t detail);

// The ALSA mixer of a card ("default" for the system's).
std::unique_ptr<Mixer> MakeAlsaMixer(const std::string& card = "default");
// The mixer SetMasterMixVolume uses: ALSA unless a test installed a factory.
std::unique_ptr<Mixer> MakeSystemMixer();
void SetMixerFactoryForTesting(std::function<std::unique_ptr<Mixer>()> factory);

// Keeps ALSA's own diagnostics off stderr for the whole process: a machine
// without a sound card is normal for a screensaver, not worth a message.
void SilenceAlsaErrors();

}  // namespace platform
