// brisvane-present-floor: presents one fixed 1024 x 768 frame (the lake's
// background picture) 25 times a second, full screen, through the saver's own
// display stand-in and presenter with the same scaling choice, and does nothing
// else, every frame drawn and sent whole. The saver's whole-process CPU is
// quoted as a ratio to this program's.
//
//   brisvane-present-floor [--seconds N]
//
// Prints the presenting path on its first line; ends after N seconds (default:
// never), on Escape, or on SIGTERM.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/DDraw.h"
#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "platform/SdlVideo.h"
#include "platform/Timer.h"
#include "support/FlipChain.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kPeriodMs = 40;

struct Chain {
  platform::IDirectDrawSurface* back = nullptr;
  platform::IDirectDrawSurface* primary = nullptr;
  platform::IDirectDrawSurface* picture = nullptr;
};

// The frame the saver's engine would draw at the least: the picture copied onto
// the back surface, then the flip.
void Tick(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  auto* chain = reinterpret_cast<Chain*>(user);
  chain->back->BltFast(0, 0, chain->picture, nullptr, platform::DDBLTFAST_NOCOLORKEY);
  chain->primary->Flip(nullptr, 0);
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "brisvane-present-floor: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = -1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      seconds = std::strtod(argv[++i], &end);
      if (!end || *end || seconds <= 0) return Fail("--seconds needs a positive number");
    } else {
      return Fail(std::string("unknown argument ") + argv[i] + " (usage: brisvane-present-floor [--seconds N])");
    }
  }
  const auto bytes = platform::FindResource("WIM1");
  const auto decoded = bytes ? platform::DecodePicture(*bytes) : std::nullopt;
  if (!decoded || decoded->width != kWidth || decoded->height != kHeight) return Fail("no 1024 x 768 picture WIM1");

  std::string error;
  auto video = platform::SdlVideo::Create(&error);
  if (!video) return Fail("cannot open the display: " + error);
  // The same frame again and again: only presenting it whole is a floor.
  video->PresentWholeFrames(true);
  platform::SetDisplayDriver(video);
  const platform::WindowId window = video->CreateWindow({"brisvane-present-floor", 0, 0, kWidth, kHeight, true, 0});
  if (!window) return Fail("cannot create the window");

  platform::IDirectDraw* dd = nullptr;
  Chain chain;
  if (testing_support::OpenFlipChain(kWidth, kHeight, &dd, &chain.primary, &chain.back, window) != platform::DD_OK)
    return Fail("cannot open the display's flip chain");
  chain.picture = testing_support::MakePlainSurface(dd, kWidth, kHeight);
  if (!chain.picture) return Fail("cannot create the picture's surface");
  std::memcpy(chain.picture->Pixels(), decoded->pixels.data(), decoded->pixels.size() * 4);
  video->ShowCursor(false);

  SDL_Rect screen{0, 0, 0, 0};
  SDL_GetDisplayBounds(0, &screen);
  std::printf("presenting %dx%d on %dx%d: %s\n", kWidth, kHeight, screen.w, screen.h, video->PresentingPath().c_str());
  std::fflush(stdout);

  const std::uint32_t timer =
      platform::TimeSetEvent(kPeriodMs, 0, &Tick, reinterpret_cast<std::uintptr_t>(&chain), platform::TIME_PERIODIC);
  if (!timer) return Fail("cannot start the frame timer");
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  bool running = true;
  while (running && (seconds < 0 || std::chrono::steady_clock::now() < end)) {
    platform::GuiEvent event;
    if (!video->NextEvent(event, 100)) continue;
    if (event.type == platform::GuiEvent::Type::Close) running = false;
    if (event.type == platform::GuiEvent::Type::KeyDown && event.key == 27) running = false;
  }
  platform::TimeKillEvent(timer);
  chain.picture->Release();
  chain.back->Release();
  chain.primary->Release();
  dd->Release();
  platform::SetDisplayDriver(nullptr);
  std::printf("presented %llu frames\n", static_cast<unsigned long long>(video->PresentedFrames()));
  return 0;
}
