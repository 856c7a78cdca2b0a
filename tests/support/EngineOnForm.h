// An engine on a form over the headless platform, configured the way the
// scene runs it: what the engine, brightness and sprite tests start from.
#pragma once

#include "components/Wss.h"
#include "support/HeadlessEnvironment.h"

namespace testing_support {

struct EngineOnForm {
  HeadlessEnvironment env;
  framework::TForm* form = nullptr;
  components::TWss* wss = nullptr;

  EngineOnForm() {
    env.app->CreateForm(&form);
    wss = new components::TWss(form);
    wss->SetParent(form);
  }
  // Timer-driven frames, 32-bit, 40 ms, at the given display size.
  void ConfigureLikeTheScene(int width = 1024, int height = 768) {
    wss->SetUseIdle(false);
    wss->SetWidthScreen(width);
    wss->SetHeightScreen(height);
    wss->SetColorDepth(32);
    wss->SetInterval(40);
  }
  bool DisplayOpen() const { return wss->FDD.load() && wss->FDDPRIM.load() && wss->FDDBACK.load(); }
  bool DisplayClosed() const { return !wss->FDD.load() && !wss->FDDPRIM.load() && !wss->FDDBACK.load(); }
};

}  // namespace testing_support
