// brisvane-sdl-floor: the bare presenting floor. An SDL program that does
// nothing but upload one fixed 1024 x 768 frame to a texture and present it
// through SDL's software renderer, scaled with its aspect kept, 25 times a
// second on a borderless window covering the desktop: the cost of showing a
// frame the plain SDL way, against which the whole saver is measured.
//
//   brisvane-sdl-floor [--seconds N]
//
// Ends after N seconds (default: never), on Escape, or on SIGTERM.
#include <SDL.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr Uint32 kPeriodMs = 40;
volatile std::sig_atomic_t gStop = 0;
void Stop(int) { gStop = 1; }

}  // namespace

int main(int argc, char** argv) {
  long seconds = 0;
  if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) seconds = std::strtol(argv[2], nullptr, 10);
  std::signal(SIGTERM, Stop);
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "brisvane-sdl-floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_DisplayMode desktop;
  SDL_GetDesktopDisplayMode(0, &desktop);
  SDL_Window* window =
      SDL_CreateWindow("floor", 0, 0, desktop.w, desktop.h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                                      kWidth, kHeight)
                                  : nullptr;
  if (!texture) {
    std::fprintf(stderr, "brisvane-sdl-floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_RenderSetLogicalSize(renderer, kWidth, kHeight);
  std::vector<Uint32> frame(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) frame[static_cast<std::size_t>(y) * kWidth + x] = (x * 255 / kWidth) << 16 | (y * 255 / kHeight) << 8 | 0x40;
  const Uint32 start = SDL_GetTicks();
  Uint32 next = start;
  while (!gStop && (seconds <= 0 || SDL_GetTicks() - start < static_cast<Uint32>(seconds * 1000))) {
    SDL_Event e;
    while (SDL_PollEvent(&e))
      if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) gStop = 1;
    SDL_UpdateTexture(texture, nullptr, frame.data(), kWidth * 4);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    next += kPeriodMs;
    const Uint32 now = SDL_GetTicks();
    if (static_cast<Sint32>(next - now) > 0) SDL_Delay(next - now);
    else next = now;
  }
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
