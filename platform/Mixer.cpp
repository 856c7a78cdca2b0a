#include "platform/Mixer.h"

#include "platform/ProcessWide.h"
#include "platform/Sound.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace platform {

namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaMixer : public Mixer {
 public:
  explicit AlsaMixer(std::string card) : card_(std::move(card)) {}
  ~AlsaMixer() override { Close(); }

  bool Open() override {
    SilenceAlsaErrors();
    Close();
    if (snd_mixer_open(&handle_, 0) < 0) {
      handle_ = nullptr;
      return false;
    }
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, "Master");
    if (snd_mixer_attach(handle_, card_.c_str()) < 0 || snd_mixer_selem_register(handle_, nullptr, nullptr) < 0 ||
        snd_mixer_load(handle_) < 0 || !(element_ = snd_mixer_find_selem(handle_, id)) ||
        !snd_mixer_selem_has_playback_volume(element_)) {
      Close();
      return false;
    }
    return true;
  }

  bool Range(long& min, long& max) override {
    return element_ && snd_mixer_selem_get_playback_volume_range(element_, &min, &max) >= 0 && min <= max;
  }

  bool Current(long& value) override {
    if (!element_) return false;
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
      auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
      if (snd_mixer_selem_has_playback_channel(element_, channel))
        return snd_mixer_selem_get_playback_volume(element_, channel, &value) >= 0;
    }
    return false;
  }

  bool SetAll(long value) override {
    return element_ && snd_mixer_selem_set_playback_volume_all(element_, value) >= 0;
  }

  void Close() override {
    element_ = nullptr;
    if (handle_) snd_mixer_close(handle_);
    handle_ = nullptr;
  }

 private:
  std::string card_;
  snd_mixer_t* handle_ = nullptr;
  snd_mixer_elem_t* element_ = nullptr;
};

ProcessWide<std::function<std::unique_ptr<Mixer>()>> gFactory;

}  // namespace

void SilenceAlsaErrors() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(IgnoreAlsaError); });
}

std::uint32_t VolumeDetail(int volume) { return (static_cast<std::uint32_t>(volume) * 65535u) >> 8; }

long DetailToLevel(std::uint32_t detail, long min, long max) {
  if (detail >= 65535u) return max;
  const __int128 span = static_cast<__int128>(max) - min;
  return static_cast<long>(min + (span * detail + 32767) / 65535);
}

bool SetMasterVolume(Mixer& mixer, std::uint32_t detail) {
  if (!mixer.Open()) return false;
  long min = 0, max = 0, current = 0;
  bool ok = mixer.Range(min, max) && mixer.Current(current) && mixer.SetAll(DetailToLevel(detail, min, max));
  mixer.Close();
  return ok;
}

std::unique_ptr<Mixer> MakeAlsaMixer(const std::string& card) { return std::make_unique<AlsaMixer>(card); }

std::unique_ptr<Mixer> MakeSystemMixer() {
  if (!SoundOutputEnabled()) return nullptr;
  if (auto factory = gFactory.Get()) return factory();
  return MakeAlsaMixer();
}

void SetMixerFactoryForTesting(std::function<std::unique_ptr<Mixer>()> f) { gFactory.Set(std::move(f)); }

}  // namespace platform
