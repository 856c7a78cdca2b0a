// The program as a user's screensaver host runs it, under a private Xvfb.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/DrawingContext.h"
#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "support/Files.h"
#include "support/PrivateX.h"

#include "support/XPixels.h"  // Xlib last

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string gDisplay;

// One Xvfb at exactly the saver's mode for the whole program, so screen pixels
// equal frame pixels; tests that need other screens start their own.
class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    xvfb_ = std::make_unique<testing_support::PrivateXvfb>(std::vector<std::string>{"1024x768"});
    ASSERT_FALSE(xvfb_->Display().empty()) << "Xvfb did not start";
    gDisplay = xvfb_->Display();
    setenv("DISPLAY", gDisplay.c_str(), 1);
  }
  void TearDown() override { xvfb_.reset(); }

 private:
  std::unique_ptr<testing_support::PrivateXvfb> xvfb_;
};

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

using testing_support::Process;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "brisvane-e2e-" + std::to_string(getpid()) + "-" + name;
}

using testing_support::ReadText;

std::vector<std::string> SaverEnvironment() {
  return {"XDG_CONFIG_HOME=" + TempPath("config"), "LSAN_OPTIONS=detect_leaks=0"};
}

// Runs a one-shot mode to its end; the exit code, or -1 when it did not end in time.
int RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  Process p = Process::Start(args, env);
  return p.WaitExit(5s) ? p.ExitCode() : -1;
}

using testing_support::Grab;

void Xdotool(const std::string& args) {
  const std::string cmd = "DISPLAY=" + gDisplay + " xdotool " + args + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// The frame-rate line as the engine draws it, to compare with the screen.
std::vector<std::uint32_t> RenderRateLine(int rate, int width, int height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0);
  platform::DrawingContext dc(pixels.data(), width, height, width);
  dc.SetBkMode(platform::TRANSPARENT);
  dc.SetTextColor(0xFFFFFF);
  dc.TextOut(0, 0, "Frame rate: " + std::to_string(rate) + " FPS");
  return pixels;
}

TEST(RunMode, CoversTheScreenShowsAboutTwentyFiveFramesAndEndsOnEscape) {
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, SaverEnvironment());
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  // The frame-rate line at (20, 738) reads a rate near 25 once two refreshes have passed.
  constexpr int kW = 200, kH = 20;
  int seen = -1;
  const auto end = Clock::now() + 10s;
  while (Clock::now() < end && seen < 0) {
    std::this_thread::sleep_for(200ms);
    const auto screen = Grab(d, DefaultRootWindow(d), 20, 738, kW, kH);
    for (int rate = 22; rate <= 26 && seen < 0; ++rate)
      if (screen == RenderRateLine(rate, kW, kH)) seen = rate;
  }
  EXPECT_GE(seen, 22) << "no frame-rate line of 22..26 FPS on the screen";
  // The rest of the screen is the black frame, edge to edge.
  const auto top = Grab(d, DefaultRootWindow(d), 0, 0, 1024, 700);
  std::size_t lit = 0;
  for (auto p : top) lit += p != 0;
  EXPECT_EQ(lit, 0u);
  XCloseDisplay(d);
  const double cpuBefore = saver.CpuSeconds();
  std::this_thread::sleep_for(1s);
  const double cpu = saver.CpuSeconds() - cpuBefore;
  EXPECT_LT(cpu, 0.8) << "the saver should not need a whole core for 25 frames a second";
  Xdotool("key Escape");
  ASSERT_TRUE(saver.WaitExit(1s)) << "Escape did not end the saver within a second";
  EXPECT_EQ(saver.ExitCode(), 0);
}

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

TEST(ConfigurationMode, ShowsTheDialogAndEndsWhenItCloses) {
  Process dialog = Process::Start({BRISVANE_EXE, "/c:1234"}, SaverEnvironment());
  std::string id;
  const auto end = Clock::now() + 60s;
  while (Clock::now() < end && id.empty()) {
    std::this_thread::sleep_for(100ms);
    const std::string cmd = "DISPLAY=" + gDisplay + " xdotool search --name '^Screensaver Configuration$' 2>/dev/null";
    if (FILE* f = popen(cmd.c_str(), "r")) {
      char buf[64] = {};
      if (fgets(buf, sizeof buf, f)) id = buf;
      pclose(f);
    }
  }
  ASSERT_FALSE(id.empty()) << "no dialog window appeared";
  while (!id.empty() && (id.back() == '\n')) id.pop_back();
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(d, static_cast<Window>(std::stoul(id)), &a));
  EXPECT_EQ(a.width, 539);
  EXPECT_EQ(a.height, 576);
  XCloseDisplay(d);
  // Escape closes the dialog; on a loaded machine the first key may beat the focus.
  bool ended = false;
  for (int attempt = 0; attempt < 10 && !ended; ++attempt) {
    const std::string cmd = "DISPLAY=" + gDisplay + " xdotool windowfocus " + id + " sleep 0.3 key Escape >/dev/null 2>&1";
    (void)std::system(cmd.c_str());  // fails once the window is gone
    ended = dialog.WaitExit(3s);
  }
  ASSERT_TRUE(ended) << "closing the dialog did not end the program";
  EXPECT_EQ(dialog.ExitCode(), 0);
}

}  // namespace
