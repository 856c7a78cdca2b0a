// A whole headless platform for a test: application object, window system and
// display driver, installed for the test's lifetime.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "framework/TApplication.h"
#include "platform/DisplayDriver.h"
#include "platform/HeadlessGui.h"
#include "platform/Mixer.h"
#include "support/WaitFor.h"

namespace testing_support {

struct HeadlessEnvironment {
  std::shared_ptr<platform::HeadlessGui> gui = std::make_shared<platform::HeadlessGui>();
  std::shared_ptr<platform::HeadlessDisplayDriver> display = std::make_shared<platform::HeadlessDisplayDriver>();
  std::unique_ptr<framework::TApplication> app;

  HeadlessEnvironment() {
    platform::SetGui(gui);
    platform::SetDisplayDriver(display);
    // Enabling an engine sets the master volume: never the developer's real one.
    platform::SetMixerFactoryForTesting([] { return std::unique_ptr<platform::Mixer>(); });
    app = std::make_unique<framework::TApplication>();
    app->Initialize();
  }
  ~HeadlessEnvironment() {
    app.reset();
    platform::SetDisplayDriver(nullptr);
    platform::SetGui(nullptr);
    platform::SetMixerFactoryForTesting(nullptr);
  }
};

// Pixels of a rectangle of a frame that are not black.
inline int LitPixels(const std::vector<std::uint32_t>& frame, int width, int x0, int y0, int x1, int y1) {
  int lit = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (frame[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF) ++lit;
  return lit;
}

}  // namespace testing_support
