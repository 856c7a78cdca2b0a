#include "platform/Gui.h"

#include <mutex>

namespace platform {

namespace {
std::mutex gMutex;
std::shared_ptr<Gui> gGui;
}  // namespace

void SetGui(std::shared_ptr<Gui> gui) {
  std::lock_guard<std::mutex> lock(gMutex);
  gGui = std::move(gui);
}

std::shared_ptr<Gui> GetGui() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gGui;
}

}  // namespace platform
