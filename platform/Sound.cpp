#include "platform/Sound.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/Mixer.h"
#include "platform/Resources.h"

namespace platform {

std::size_t DecodedWave::FrameBytes() const {
  return static_cast<std::size_t>(SDL_AUDIO_BITSIZE(format) / 8) * static_cast<std::size_t>(std::max(channels, 0));
}

std::optional<DecodedWave> DecodeWave(std::span<const std::uint8_t> riff) {
  if (riff.empty() || riff.size() > 0x7fffffff) return std::nullopt;
  // The last ADPCM block is padded to 500 samples; the fact chunk says how many are real.
  SDL_SetHint(SDL_HINT_WAVE_FACT_CHUNK, "truncate");
  SDL_RWops* rw = SDL_RWFromConstMem(riff.data(), static_cast<int>(riff.size()));
  if (!rw) return std::nullopt;
  SDL_AudioSpec spec{};
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length)) return std::nullopt;
  DecodedWave wave;
  wave.freq = spec.freq;
  wave.format = spec.format;
  wave.channels = spec.channels;
  const std::size_t frame = wave.FrameBytes();
  if (frame == 0 || spec.freq <= 0) {
    SDL_FreeWAV(buffer);
    return std::nullopt;
  }
  wave.pcm.assign(buffer, buffer + (length - length % frame));
  SDL_FreeWAV(buffer);
  return wave;
}

namespace {

// One sound at a time, as the system call plays it.
class SoundPlayer {
 public:
  bool Play(DecodedWave wave, bool loop, bool async, bool noStop) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (noStop && device_ && !finished_.load()) return false;
    StopLocked();
    if (wave.pcm.empty()) return false;
    SilenceAlsaErrors();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec desired{};
    desired.freq = wave.freq;
    desired.format = wave.format;
    desired.channels = static_cast<Uint8>(wave.channels);
    desired.samples = 1024;
    desired.callback = &SoundPlayer::Fill;
    desired.userdata = this;
    frameBytes_ = wave.FrameBytes();
    pcm_ = std::move(wave.pcm);
    pos_ = 0;
    loop_ = loop;
    finished_.store(false);
    framesPlayed_.store(0);
    SDL_AudioSpec obtained{};
    // No allowed changes: SDL converts for the device, so the callback always
    // works in the clip's own format.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained, 0);
    if (device_ == 0) {
      pcm_.clear();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    silence_ = obtained.silence;
    SDL_PauseAudioDevice(device_, 0);
    if (async) return true;
    // Synchronous: wait for the end of the clip (bounded by its length), then stop.
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(1000 + pcm_.size() / frameBytes_ * 1000 / static_cast<std::size_t>(wave.freq));
    const SDL_AudioDeviceID mine = device_;
    lock.unlock();
    while (!finished_.load() && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    lock.lock();
    if (device_ == mine) StopLocked();
    return true;
  }

  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    StopLocked();
  }

  bool Playing() {
    std::lock_guard<std::mutex> lock(mutex_);
    return device_ != 0 && !finished_.load();
  }

  std::uint64_t FramesPlayed() const { return framesPlayed_.load(); }

 private:
  void StopLocked() {
    if (!device_) return;
    SDL_CloseAudioDevice(device_);  // waits for the audio thread
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    pcm_.clear();
    pcm_.shrink_to_fit();
  }

  // Audio thread. Wraps straight from the last frame to the first inside one
  // buffer, so a loop has no gap.
  static void SDLCALL Fill(void* user, Uint8* stream, int length) {
    auto* self = static_cast<SoundPlayer*>(user);
    std::size_t want = static_cast<std::size_t>(std::max(length, 0));
    Uint8* out = stream;
    while (want > 0) {
      if (self->pos_ >= self->pcm_.size()) {
        if (!self->loop_) {
          std::memset(out, self->silence_, want);
          self->finished_.store(true);
          break;
        }
        self->pos_ = 0;
      }
      const std::size_t n = std::min(want, self->pcm_.size() - self->pos_);
      std::memcpy(out, self->pcm_.data() + self->pos_, n);
      self->pos_ += n;
      out += n;
      want -= n;
      self->framesPlayed_.fetch_add(n / self->frameBytes_);
    }
  }

  std::mutex mutex_;
  SDL_AudioDeviceID device_ = 0;
  // Owned by the audio thread while the device is open.
  std::vector<std::uint8_t> pcm_;
  std::size_t pos_ = 0;
  std::size_t frameBytes_ = 4;
  bool loop_ = false;
  Uint8 silence_ = 0;
  std::atomic<bool> finished_{false};
  std::atomic<std::uint64_t> framesPlayed_{0};
};

std::atomic<bool> gOutputEnabled{true};

SoundPlayer& Player() {
  static SoundPlayer* player = new SoundPlayer;  // lives as long as the audio thread may
  return *player;
}

}  // namespace

bool PlaySound(const char* sound, const void* /*module*/, std::uint32_t flags) {
  if (!sound || (flags & SND_PURGE)) {
    Player().Stop();
    return true;
  }
  if (!gOutputEnabled.load()) return false;
  std::span<const std::uint8_t> bytes;
  if ((flags & SND_RESOURCE) == SND_RESOURCE) {
    auto resource = FindResource(sound);
    if (!resource) return false;
    bytes = *resource;
  } else if (flags & SND_MEMORY) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(sound);
    if (std::memcmp(p, "RIFF", 4) != 0) return false;
    const std::uint32_t size = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<std::uint32_t>(p[7]) << 24);
    bytes = std::span<const std::uint8_t>(p, static_cast<std::size_t>(size) + 8);
  } else {
    return false;  // sound files and aliases are not used by this program
  }
  // A loop needs the asynchronous mode, as with the system call.
  if ((flags & SND_LOOP) && !(flags & SND_ASYNC)) return false;
  std::optional<DecodedWave> wave = DecodeWave(bytes);
  if (!wave) return false;
  return Player().Play(std::move(*wave), (flags & SND_LOOP) != 0, (flags & SND_ASYNC) != 0, (flags & SND_NOSTOP) != 0);
}

void SetSoundOutputEnabled(bool enabled) { gOutputEnabled.store(enabled); }

bool SoundOutputEnabled() { return gOutputEnabled.load(); }

bool SoundPlaying() { return Player().Playing(); }
std::uint64_t SoundFramesPlayed() { return Player().FramesPlayed(); }

}  // namespace platform
