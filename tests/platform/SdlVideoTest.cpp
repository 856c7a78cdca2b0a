#include "platform/SdlVideo.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/FrameScaler.h"

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::GuiEvent;

struct SdlVideoTest : ::testing::Test {
  std::shared_ptr<platform::SdlVideo> video;
  platform::WindowId window = 0;
  void SetUp() override {
    std::string error;
    video = platform::SdlVideo::Create(&error);
    ASSERT_TRUE(video) << error;
    window = video->CreateWindow({"test", 0, 0, 320, 240, false, 0});
    ASSERT_NE(window, 0u);
  }
  void PushKey(SDL_Keycode key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = static_cast<Uint32>(window);
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
  }
  void PushWindowEvent(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = static_cast<Uint32>(window);
    e.window.event = what;
    SDL_PushEvent(&e);
  }
  std::vector<GuiEvent> Drain() {
    std::vector<GuiEvent> events;
    GuiEvent e;
    for (int i = 0; i < 100 && video->NextEvent(e, 0); ++i) events.push_back(e);
    return events;
  }
};

TEST_F(SdlVideoTest, KeysArriveAsVirtualKeysAndControlCharacters) {
  Drain();
  PushKey(SDLK_F2);
  PushKey(SDLK_F3);
  PushKey(SDLK_ESCAPE);
  PushKey(SDLK_a);
  const auto events = Drain();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].type, GuiEvent::Type::KeyDown);
  EXPECT_EQ(events[0].key, 113);
  EXPECT_EQ(events[1].key, 114);
  EXPECT_EQ(events[2].type, GuiEvent::Type::KeyDown);
  EXPECT_EQ(events[2].key, 27);
  EXPECT_EQ(events[3].type, GuiEvent::Type::KeyPress);
  EXPECT_EQ(events[3].key, 27);
  EXPECT_EQ(events[4].key, 'A');
  for (const auto& e : events) EXPECT_EQ(e.window, window);
}

TEST_F(SdlVideoTest, MouseFocusAndWakeEvents) {
  Drain();
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = static_cast<Uint32>(window);
  e.motion.x = 12;
  e.motion.y = 34;
  SDL_PushEvent(&e);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  std::thread([&] { video->Wake(); }).join();
  const auto events = Drain();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].type, GuiEvent::Type::MouseMove);
  EXPECT_EQ(events[0].x, 12);
  EXPECT_EQ(events[0].y, 34);
  EXPECT_EQ(events[1].type, GuiEvent::Type::Deactivate);
  EXPECT_EQ(events[2].type, GuiEvent::Type::Activate);
  EXPECT_EQ(events[3].type, GuiEvent::Type::Wake);
}

TEST_F(SdlVideoTest, FramesFromAnotherThreadArePresentedOnTheGuiThread) {
  ASSERT_TRUE(video->BindWindow(window, true, -1));
  video->ModeChanged(64, 48, 32);
  platform::FrameBuffer frame{std::vector<std::uint32_t>(64 * 48, 0x336699), {}};
  std::thread frameThread([&] {
    for (int i = 0; i < 3; ++i) {
      platform::FrameBuffer copy = frame;
      video->Present(copy, 64, 48);
    }
  });
  frameThread.join();
  Drain();
  // Frames handed over faster than the GUI thread takes them collapse into the newest one.
  EXPECT_EQ(video->PresentedFrames(), 1u);
  video->Present(frame, 64, 48);
  Drain();
  EXPECT_EQ(video->PresentedFrames(), 2u);
  video->Released();
}

TEST_F(SdlVideoTest, TheWindowShowsTheFrameScaledThroughTheGammaRamp) {
  ASSERT_TRUE(video->BindWindow(window, true, -1));
  video->ModeChanged(64, 48, 32);
  platform::FrameBuffer frame{std::vector<std::uint32_t>(64 * 48, 0xC86432), {}};
  video->Present(frame, 64, 48);
  Drain();
  SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(static_cast<Uint32>(window)));
  ASSERT_NE(shown, nullptr);
  auto centre = [&] {
    const auto* row = static_cast<const std::uint8_t*>(shown->pixels) + (shown->h / 2) * shown->pitch;
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(*reinterpret_cast<const Uint32*>(row + (shown->w / 2) * 4), shown->format, &r, &g, &b);
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
  };
  EXPECT_EQ(centre(), 0xC86432u);
  platform::DDGAMMARAMP half;
  for (int i = 0; i < 256; ++i) half.red[i] = half.green[i] = half.blue[i] = static_cast<std::uint16_t>(i * 128);
  video->SetGammaRamp(half);
  platform::FrameBuffer next{std::vector<std::uint32_t>(64 * 48, 0xC86432), {}};
  video->Present(next, 64, 48);
  Drain();
  EXPECT_EQ(centre(), 0x643219u);
  video->Released();
}

// A square frame in the 4:3 window: pillar-boxed, scaled 3.75 times.
TEST_F(SdlVideoTest, EveryFilterScalesAsAskedThroughTheRampWithBlackBars) {
  constexpr std::uint32_t kLeft = 0xC86432, kRight = 0x2080F0;
  constexpr std::uint32_t kHalfLeft = 0x643219, kHalfRight = 0x104078;
  for (const std::string filter : {"nearest", "linear"}) {
    SCOPED_TRACE(filter);
    setenv("BRISVANE_SCALE", filter.c_str(), 1);
    std::string error;
    auto v = platform::SdlVideo::Create(&error);
    ASSERT_TRUE(v) << error;
    const platform::WindowId id = v->CreateWindow({"filter", 0, 0, 320, 240, false, 0});
    ASSERT_TRUE(v->BindWindow(id, false, -1));  // not exclusive: the window keeps its size
    EXPECT_EQ(v->PresentingPath(), "cpu-" + filter);
    v->ModeChanged(64, 64, 32);
    platform::DDGAMMARAMP half;
    for (int i = 0; i < 256; ++i) half.red[i] = half.green[i] = half.blue[i] = static_cast<std::uint16_t>(i * 128);
    v->SetGammaRamp(half);
    platform::FrameBuffer frame{std::vector<std::uint32_t>(64 * 64), {}};
    for (int i = 0; i < 64 * 64; ++i) frame.pixels[i] = i % 64 < 32 ? kLeft : kRight;
    v->Present(frame, 64, 64);
    GuiEvent e;
    for (int i = 0; i < 100 && v->PresentedFrames() == 0; ++i) v->NextEvent(e, 10);
    ASSERT_EQ(v->PresentedFrames(), 1u);
    SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(static_cast<Uint32>(id)));
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->w, 320);
    std::set<std::uint32_t> between;
    for (int y = 0; y < shown->h; ++y)
      for (int x = 0; x < shown->w; ++x) {
        Uint8 r = 0, g = 0, b = 0;
        const auto* row = static_cast<const std::uint8_t*>(shown->pixels) + y * shown->pitch;
        SDL_GetRGB(*reinterpret_cast<const Uint32*>(row + x * 4), shown->format, &r, &g, &b);
        const std::uint32_t p = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        if (x < 40 || x >= 280) {
          ASSERT_EQ(p, 0u) << "bar at " << x << "," << y;
        } else if (p != kHalfLeft && p != kHalfRight) {
          // Only the blend of the two halved colours lies between them.
          ASSERT_GE(r, 0x10);
          ASSERT_LE(r, 0x64);
          ASSERT_GE(b, 0x19);
          ASSERT_LE(b, 0x78);
          between.insert(p);
        }
      }
    if (filter == "nearest")
      EXPECT_TRUE(between.empty());
    else
      EXPECT_GE(between.size(), 2u) << "no smooth step between the halves";
    v->Released();
    v->DestroyWindow(id);
  }
  unsetenv("BRISVANE_SCALE");
}

// Frame after frame with a few rows changed, the window always shows exactly
// the whole frame drawn afresh: copied (64 x 48 in 64 x 48), scaled both ways
// (into 320 x 240). Rows are drawn again only where their signatures changed:
// a mark on an unchanged row stays; without signatures everything is drawn.
TEST_F(SdlVideoTest, OnlyChangedRowsAreDrawnAgainAndTheWindowAlwaysShowsTheWholeFrame) {
  struct Change {
    const char* what;
    int first, count;  // rows given new pixels and signatures
    bool halfRamp;
    bool signed_ = true;
  };
  const Change changes[] = {
      {"the first frame", 0, 48, false}, {"the top row", 0, 1, false},      {"the bottom row", 47, 1, false},
      {"two middle rows", 20, 2, false}, {"nothing", 0, 0, false},         {"a ramp alone", 0, 0, true},
      {"the ramp gone", 0, 0, false},    {"a row after the ramp", 30, 1, false},
      {"no signatures", 0, 0, false, false}, {"signatures again", 10, 1, false},
  };
  for (const auto& [filter, size] : {std::pair{"linear", 64}, {"linear", 320}, {"nearest", 320}}) {
    SCOPED_TRACE(std::string(filter) + " " + std::to_string(size));
    const int tw = size, th = size * 3 / 4;
    setenv("BRISVANE_SCALE", filter, 1);
    std::string error;
    auto v = platform::SdlVideo::Create(&error);
    ASSERT_TRUE(v) << error;
    const platform::WindowId id = v->CreateWindow({"rows", 0, 0, tw, th, false, 0});
    ASSERT_TRUE(v->BindWindow(id, false, -1));
    v->ModeChanged(64, 48, 32);
    std::vector<std::uint32_t> frame(64 * 48);
    std::vector<std::uint64_t> rows(48);
    std::uint32_t seed = 7;
    std::uint64_t nextSignature = 1;
    for (const Change& c : changes) {
      SCOPED_TRACE(c.what);
      for (int i = c.first * 64; i < (c.first + c.count) * 64; ++i) frame[i] = (seed = seed * 1664525u + 1013904223u) >> 8;
      for (int r = c.first; r < c.first + c.count; ++r) rows[r] = nextSignature++;
      platform::DDGAMMARAMP ramp = platform::DisplayDriver::IdentityRamp();
      if (c.halfRamp)
        for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<std::uint16_t>(i * 128);
      v->SetGammaRamp(ramp);
      SDL_Surface* shown = SDL_GetWindowSurface(SDL_GetWindowFromID(static_cast<Uint32>(id)));
      ASSERT_NE(shown, nullptr);
      ASSERT_EQ(shown->format->format, SDL_PIXELFORMAT_RGB888);
      auto* pixels = static_cast<std::uint32_t*>(shown->pixels);
      const int pitch = shown->pitch / 4;
      // A mark on a row no change touches, where the picture is.
      const std::size_t mark = static_cast<std::size_t>(th / 2 - 40 * th / 240) * pitch + tw / 2;
      pixels[mark] = 0x00FF00FF;
      platform::FrameBuffer given{frame, c.signed_ ? rows : std::vector<std::uint64_t>{}};
      const auto before = v->PresentedFrames();
      v->Present(given, 64, 48);
      GuiEvent e;
      for (int i = 0; i < 100 && v->PresentedFrames() == before; ++i) v->NextEvent(e, 10);
      ASSERT_EQ(v->PresentedFrames(), before + 1);
      std::vector<std::uint32_t> want(static_cast<std::size_t>(tw) * th);
      std::vector<std::uint32_t> ramped = frame;
      if (c.halfRamp) platform::DisplayDriver::ApplyRamp(ramp, ramped.data(), ramped.size());
      platform::FrameScaler().Draw(ramped.data(), 64, 48, want.data(), tw, tw, th,
                                   std::string(filter) == "linear" ? platform::ScaleFilter::Linear
                                                                   : platform::ScaleFilter::Nearest,
                                   true);
      const std::string what = c.what;
      const bool markStays =
          c.count < 48 && !c.halfRamp && c.signed_ && what != "the ramp gone" && what != "signatures again";
      for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
          const std::size_t at = static_cast<std::size_t>(y) * pitch + x;
          const std::uint32_t expected = markStays && at == mark ? 0x00FF00FFu : want[static_cast<std::size_t>(y) * tw + x] & 0xFFFFFF;
          ASSERT_EQ(pixels[at] & 0xFFFFFF, expected) << "at " << x << "," << y;
        }
    }
    v->Released();
    v->DestroyWindow(id);
  }
  unsetenv("BRISVANE_SCALE");
}

TEST_F(SdlVideoTest, MinimisingLosesSurfacesUntilRestored) {
  ASSERT_TRUE(video->BindWindow(window, true, -1));
  const auto epoch = video->LostEpoch();
  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
  Drain();
  EXPECT_GT(video->LostEpoch(), epoch);
  EXPECT_FALSE(video->CanRestore());
  PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
  Drain();
  EXPECT_TRUE(video->CanRestore());
}

}  // namespace
