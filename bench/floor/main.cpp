// brisvane-present-floor: the cost of presenting alone. A form with only the
// engine, opened as the scene opens it (1024 x 768 x 32, frames from the 40 ms
// timer) and showing a cleared frame 25 times a second through the same
// presenter as the saver, until it is ended by a signal. Whatever the saver
// costs above this is the lake's and the gadgets' own.
#include <csignal>
#include <cstdio>
#include <string>

#include "components/Wss.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "platform/SdlVideo.h"

namespace {
framework::TApplication* gApp = nullptr;
void Stop(int) {
  if (gApp) gApp->Terminate();
}
}  // namespace

int main() {
  std::string error;
  auto video = platform::SdlVideo::Create(&error);
  if (!video) {
    std::fprintf(stderr, "brisvane-present-floor: cannot open the display: %s\n", error.c_str());
    return 1;
  }
  platform::SetGui(video);
  platform::SetDisplayDriver(video);
  {
    framework::TApplication app;
    gApp = &app;
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    app.Initialize();
    framework::TForm* form = nullptr;
    app.CreateForm(&form);
    auto* wss = new components::TWss(form);
    wss->SetParent(form);
    wss->SetUseIdle(false);
    wss->SetWidthScreen(1024);
    wss->SetHeightScreen(768);
    wss->SetColorDepth(32);
    wss->SetInterval(40);
    wss->SetEnabled(true);
    wss->SetTimerEnabled(true);
    app.Run();
    wss->SetTimerEnabled(false);
    wss->SetEnabled(false);
    gApp = nullptr;
  }
  platform::SetDisplayDriver(nullptr);
  platform::SetGui(nullptr);
  return 0;
}
