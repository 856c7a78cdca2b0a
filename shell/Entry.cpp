#include "shell/Entry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "config/Configuration.h"
#include "framework/TApplication.h"
#include "framework/TPicture.h"
#include "platform/Allocator.h"
#include "platform/DisplayProbe.h"
#include "platform/Library.h"
#include "platform/MessageBox.h"
#include "platform/PictureDecoder.h"
#include "platform/PreviewWindow.h"
#include "platform/QtGui.h"
#include "platform/Resources.h"
#include "platform/SdlVideo.h"
#include "platform/Sound.h"
#include "platform/Termination.h"
#include "scene/Unit1.h"
#include "shell/HostedRun.h"
#include "shell/ModeSelection.h"
#include "shell/XScreenSaverList.h"

namespace shell {

namespace {

using framework::TApplication;

constexpr int kPreviewWaitMs = 50;

void RunScene(TApplication& app, const std::shared_ptr<platform::SdlVideo>& video) {
  platform::MapLargeBuffersApart();
  platform::SetGui(video);
  platform::SetDisplayDriver(video);
  app.Initialize();
  app.CreateForm(&scene::Form1);
  app.CreateForm(&config::Form2);
  app.Run();
}

void RunSaver(TApplication& app) {
  std::string error;
  auto video = platform::SdlVideo::Create(&error);
  if (!video) {
    std::fprintf(stderr, "brisvane: cannot open the display: %s\n", error.c_str());
    return;
  }
  RunScene(app, video);
}

// A host starts its program again at once when it ends, so a hosted run that
// cannot draw shows nothing and waits to be stopped; and it never opens a
// window of its own, a message box neither.
void RunHosted(TApplication& app, const HostedRun& host) {
  platform::SetMessageBoxHandler(platform::MessageBoxToStderr);
  std::string error;
  auto video = platform::SdlVideo::CreateHosted(host.window, &error);
  if (!video) {
    std::fprintf(stderr, "brisvane: cannot draw into the host's window: %s\n", error.c_str());
    platform::WaitForTermination();
    return;
  }
  // One process per monitor: only the one on the primary monitor plays, and a preview never does.
  platform::SetSoundOutputEnabled(!host.preview && video->HostCoversPrimaryMonitor());
  try {
    RunScene(app, video);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisvane: %s\n", e.what());
    platform::WaitForTermination();
  }
}

int EditXScreenSaverList(bool add) {
  std::string message;
  const bool ok = EditXScreenSaverFile(add, message);
  std::fprintf(ok ? stdout : stderr, "brisvane: %s\n", message.c_str());
  return ok ? 0 : 1;
}

void RunConfiguration(TApplication& app, int& argc, char** argv) {
  auto probe = platform::DisplayProbe::Connect();
  if (!probe) {
    std::fprintf(stderr, "brisvane: no display for the configuration dialog\n");
    return;
  }
  auto gui = std::make_shared<platform::QtGui>(argc, argv);
  probe.reset();
  platform::SetGui(gui);
  app.Initialize();
  app.Title = "Screensaver Configuration";
  app.CreateForm(&config::Form2);
  app.Run();
}

void RunPreview(TApplication& app, const std::string& argument2) {
  const int window = framework::StrToInt(argument2);
  framework::TPicture picture;
  picture.LoadFromResource("PREVIEWBMP");
  platform::PreviewWindow preview;
  std::string error;
  // A window that does not exist can never become visible: end instead of waiting forever.
  if (!preview.Open(static_cast<unsigned long>(static_cast<unsigned>(window)), &error)) return;
  while (!preview.Viewable()) {
    app.ProcessMessages();
    if (!preview.Exists()) return;
    preview.WaitForEvent(kPreviewWaitMs);
  }
  preview.Draw(picture.Bitmap().Pixels(), picture.Width(), picture.Height());
}

using PwdChangePasswordA = std::uint32_t (*)(const char* provider, std::uintptr_t parent, std::uint32_t,
                                             std::uint32_t);

void RunPasswordChange(const std::string& argument2) {
  const auto parent = static_cast<platform::WindowId>(static_cast<unsigned>(framework::StrToInt(argument2)));
  platform::HMODULE library = platform::LoadLibraryA("MPR.DLL");
  if (!library) {
    platform::ShowMessageBox(parent, "MPR.DLL not found: cannot change password.", "Screen saver", platform::MB_OK);
    return;
  }
  auto change = reinterpret_cast<PwdChangePasswordA>(platform::GetProcAddress(library, "PwdChangePasswordA"));
  if (!change) {
    platform::FreeLibrary(library);
    platform::ShowMessageBox(parent, "PwdChangeProc not found: cannot change password", "Screen saver",
                             platform::MB_OK);
    return;
  }
  change("SCRSAVE", parent, 0, 0);
  platform::FreeLibrary(library);
}

}  // namespace

int RunEntry(int argc, char** argv) {
  const std::string argument1 = argc > 1 ? argv[1] : "";
  const std::string argument2 = argc > 2 ? argv[2] : "";
  if (argument1 == "--xscreensaver-add" || argument1 == "--xscreensaver-remove")
    return EditXScreenSaverList(argument1 == "--xscreensaver-add");
  {
    TApplication app;
    try {
      switch (SelectMode(argument1)) {
        case SaverMode::Run:
          if (const HostedRun host = FindHostedRun({argv + std::min(argc, 1), argv + argc}, std::getenv("XSCREENSAVER_WINDOW"));
              host.hosted)
            RunHosted(app, host);
          else
            RunSaver(app);
          break;
        case SaverMode::Configure:
          RunConfiguration(app, argc, argv);
          break;
        case SaverMode::Preview:
          RunPreview(app, argument2);
          break;
        case SaverMode::Password:
          RunPasswordChange(argument2);
          break;
      }
    } catch (const std::exception& e) {
      app.ShowException(e);
    }
  }
  platform::SetDisplayDriver(nullptr);
  platform::SetGui(nullptr);
  return 0;
}

}  // namespace shell
