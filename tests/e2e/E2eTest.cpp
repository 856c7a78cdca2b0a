// The program as a user's screensaver host runs it, under a private Xvfb.
#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
// Last: it brings Xlib, whose macros clash with the headers above.
#include "e2e/E2eSupport.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

TEST(PreviewMode, WaitsForTheWindowThenDrawsThePreviewPixelForPixel) {
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 100, 200, 150, 0, 0, 0x00FF00);
  XSync(d, False);
  Process preview = Process::Start({BRISVANE_EXE, "/p", std::to_string(w)}, SaverEnvironment());
  std::this_thread::sleep_for(800ms);
  ASSERT_FALSE(preview.WaitExit(0ms)) << "the preview ended before its window was visible";
  EXPECT_LT(preview.CpuSeconds(), 0.3) << "waiting must not spin a core";
  XMapWindow(d, w);
  XSync(d, False);
  ASSERT_TRUE(preview.WaitExit(5s));
  EXPECT_EQ(preview.ExitCode(), 0);
  auto bytes = platform::FindResource("PREVIEWBMP");
  ASSERT_TRUE(bytes);
  auto picture = platform::DecodePicture(*bytes);
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->width, 154);
  ASSERT_EQ(picture->height, 116);
  const auto shown = Grab(d, w, 0, 0, 154, 116);
  ASSERT_EQ(shown.size(), picture->pixels.size());
  for (std::size_t i = 0; i < shown.size(); ++i)
    ASSERT_EQ(shown[i], picture->pixels[i] & 0xFFFFFF) << "pixel " << i % 154 << "," << i / 154;
  // Outside the picture the window keeps its own background.
  EXPECT_EQ(Grab(d, w, 160, 120, 1, 1).at(0), 0x00FF00u);
  XDestroyWindow(d, w);
  XCloseDisplay(d);
}

TEST(PreviewMode, BadArgumentsEndCleanly) {
  const std::string log = TempPath("boxes-preview");
  std::remove(log.c_str());
  auto env = SaverEnvironment();
  env.push_back("BRISVANE_MESSAGEBOX_LOG=" + log);
  EXPECT_EQ(RunToEnd({BRISVANE_EXE, "/p"}, env), 0);
  EXPECT_EQ(ReadText(log), "brisvane|'' is not a valid integer value.\n");
  EXPECT_EQ(RunToEnd({BRISVANE_EXE, "/p", "12345678"}, env), 0);  // no such window
}

TEST(PasswordMode, ReportsAMissingModuleOrExportAndCallsTheExport) {
  const std::string boxes = TempPath("boxes-password");
  const std::string calls = TempPath("calls");
  std::remove(boxes.c_str());
  std::remove(calls.c_str());
  auto env = SaverEnvironment();
  env.push_back("BRISVANE_MESSAGEBOX_LOG=" + boxes);
  env.push_back("MPR_CALL_LOG=" + calls);
  EXPECT_EQ(RunToEnd({BRISVANE_EXE, "/a", "1234"}, env), 0);
  EXPECT_EQ(ReadText(boxes), "Screen saver|MPR.DLL not found: cannot change password.\n");
  std::remove(boxes.c_str());
  {
    auto noExport = env;
    noExport.push_back(std::string("LD_LIBRARY_PATH=") + BRISVANE_E2E_DIR + "/mpr-noexport");
    EXPECT_EQ(RunToEnd({BRISVANE_EXE, "-A", "1234"}, noExport), 0);
  }
  EXPECT_EQ(ReadText(boxes), "Screen saver|PwdChangeProc not found: cannot change password\n");
  EXPECT_EQ(ReadText(calls), "");
  std::remove(boxes.c_str());
  {
    auto good = env;
    good.push_back(std::string("LD_LIBRARY_PATH=") + BRISVANE_E2E_DIR + "/mpr-good");
    EXPECT_EQ(RunToEnd({BRISVANE_EXE, "/a", "1234"}, good), 0);
  }
  EXPECT_EQ(ReadText(calls), "SCRSAVE 1234 0 0\n");
  EXPECT_EQ(ReadText(boxes), "");
}

}  // namespace
