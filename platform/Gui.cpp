#include "platform/Gui.h"

#include "platform/ProcessWide.h"

namespace platform {

namespace {
ProcessWide<std::shared_ptr<Gui>> gGui;
}  // namespace

void SetGui(std::shared_ptr<Gui> gui) { gGui.Set(std::move(gui)); }

std::shared_ptr<Gui> GetGui() { return gGui.Get(); }

void ShowCursor(bool show) {
  if (auto gui = gGui.Get()) gui->ShowCursor(show);
}

}  // namespace platform
