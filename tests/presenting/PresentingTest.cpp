// The presenter on today's screens, seen from outside: the presenting floor and
// the saver under private Xvfb servers of other sizes, and one with two monitors.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/FrameScaler.h"
#include "platform/PictureDecoder.h"
#include "platform/PresentChoice.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/SdlVideo.h"
#include "support/Files.h"
#include "support/WaitFor.h"
#include "support/PrivateX.h"
#include "support/ReferenceScale.h"
#include "support/TempConfigHome.h"
#include "support/LakeSky.h"  // Xlib last

#include <X11/extensions/Xfixes.h>

namespace {

using namespace std::chrono_literals;
using testing_support::Channel;
using testing_support::Grab;
using testing_support::PrivateXvfb;
using testing_support::Process;
using Clock = std::chrono::steady_clock;

using testing_support::Compare;
using testing_support::GrabRoot;
using testing_support::kH;
using testing_support::kSkyRows;
using testing_support::kW;
using testing_support::Likeness;
using testing_support::Screen;
using testing_support::SkyFrame;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "brisvane-presenting-" + std::to_string(getpid()) + "-" + name;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return testing_support::WaitFor(done, limit, 100ms);
}

// Pixels of a screen outside a rectangle that are not black.
std::size_t LitOutside(const Screen& s, const platform::FramePlacement& p) {
  std::size_t lit = 0;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const bool inside = x >= p.x && x < p.x + p.width && y >= p.y && y < p.y + p.height;
      if (!inside && s.pixels[static_cast<std::size_t>(y) * s.width + x] != 0) ++lit;
    }
  return lit;
}

std::size_t Count(const Screen& s, const std::function<bool(std::uint32_t)>& which) {
  std::size_t n = 0;
  for (std::uint32_t p : s.pixels) n += which(p) ? 1 : 0;
  return n;
}

// The floor until it has shown its picture: the screen's centre is lit.
struct Floor {
  Process process;
  std::string out;
  Floor(const PrivateXvfb& x, const std::vector<std::string>& env, const std::string& name) : out(TempPath(name)) {
    std::vector<std::string> all = {"DISPLAY=" + x.Display(), "LSAN_OPTIONS=detect_leaks=0"};
    all.insert(all.end(), env.begin(), env.end());
    process = Process::Start({BRISVANE_FLOOR_EXE}, all, {}, {}, out);
  }
  std::string Path() const {
    const std::string text = testing_support::ReadText(out);
    const auto colon = text.find(": ");
    return colon == std::string::npos ? "" : text.substr(colon + 2, text.find('\n') - colon - 2);
  }
  // SIGTERM ends it cleanly.
  int Stop() {
    kill(process.pid, SIGTERM);
    return process.WaitExit(10s) ? process.ExitCode() : -1;
  }
};

// What this machine's processor gets by default (the same rule as the saver's).
std::string DefaultCpuPath() {
  return platform::FrameScaler::BestLevel() == platform::FrameScaler::Level::Avx2 ? "cpu-linear" : "cpu-nearest";
}

bool CentreLit(Display* d, int screen) {
  const auto centre = Grab(d, RootWindow(d, screen), DisplayWidth(d, screen) / 2, DisplayHeight(d, screen) / 2, 1, 1);
  return !centre.empty() && centre[0] != 0;
}

TEST(Presenting, AtFullHdThePictureIsTheBilinearScaleOfTheFrameAndTheOverrideGivesNearest) {
  const auto frame = testing_support::Background();
  ASSERT_FALSE(frame.empty());
  PrivateXvfb x({"1920x1080"});
  ASSERT_FALSE(x.Display().empty());
  Display* d = XOpenDisplay(x.Display().c_str());
  ASSERT_NE(d, nullptr);
  const platform::FramePlacement p{240, 0, 1440, 1080};
  struct Case {
    std::vector<std::string> env;
    std::string path;
  };
  // The texture path on llvmpipe is forced here only to show its picture; it is never chosen.
  const Case cases[] = {{{}, DefaultCpuPath()},
                        {{"BRISVANE_SCALE=linear"}, "cpu-linear"},
                        {{"BRISVANE_SCALE=nearest"}, "cpu-nearest"},
                        {{"BRISVANE_PRESENT=texture"}, "texture-linear"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Floor floor(x, c.env, "floor-" + c.path + std::to_string(c.env.size()));
    ASSERT_TRUE(WaitFor([&] { return CentreLit(d, 0); }, 30s)) << "no picture";
    std::this_thread::sleep_for(300ms);  // a few more frames: the same picture
    const Screen s = GrabRoot(d, 0);
    EXPECT_EQ(floor.Stop(), 0);
    EXPECT_EQ(floor.Path(), c.path);
    EXPECT_EQ(LitOutside(s, p), 0u) << "the bars are not black";
    const Likeness l = Compare(s, frame, p, 0, 0, s.width, s.height);
    if (c.path == "cpu-nearest") {
      EXPECT_EQ(l.nearest, 0.0);
      EXPECT_GT(l.linear, 1.0);
    } else {
      // Bilinear to within rounding (llvmpipe's texture filter rounds a little more).
      EXPECT_LT(l.linear, 1.0);
      EXPECT_LE(l.worstLinear, c.path == "cpu-linear" ? 2 : 8);
      EXPECT_GT(l.nearest, 4 * l.linear) << "as close to nearest neighbour as to bilinear";
    }
  }
  XCloseDisplay(d);
}

TEST(Presenting, AtTheFramesOwnSizeThePictureIsCopiedPixelForPixel) {
  const auto frame = testing_support::Background();
  ASSERT_FALSE(frame.empty());
  PrivateXvfb x({"1024x768"});
  ASSERT_FALSE(x.Display().empty());
  Display* d = XOpenDisplay(x.Display().c_str());
  ASSERT_NE(d, nullptr);
  Floor floor(x, {}, "floor-copy");
  ASSERT_TRUE(WaitFor([&] { return CentreLit(d, 0); }, 30s));
  const Screen s = GrabRoot(d, 0);
  EXPECT_EQ(floor.Stop(), 0);
  ASSERT_EQ(s.pixels.size(), frame.size());
  std::size_t differ = 0;
  for (std::size_t i = 0; i < frame.size(); ++i) differ += s.pixels[i] != frame[i];
  EXPECT_EQ(differ, 0u);
  XCloseDisplay(d);
}

// The saver under a 1920 x 1080 server until its sky matches the frame of the
// given brightness bilinearly (or, with nearest, exactly); the last grab.
struct SaverAtFullHd {
  static constexpr platform::FramePlacement kPicture{240, 0, 1440, 1080};
  // Screen rows whose samples all come from the sky's rows.
  static constexpr int kSkyScreenRows = (kSkyRows - 2) * 1080 / kH;
  PrivateXvfb x{{"1920x1080"}};
  TempConfigHome home;

  Screen Run(int brightness, const std::vector<std::string>& env, const std::function<bool(const Likeness&)>& shown) {
    if (brightness != 256) {
      platform::Registry reg;
      EXPECT_TRUE(reg.OpenKey("SOFTWARE\\Tarrowind Software\\Brisvane Screensaver", true));
      reg.WriteInteger("Brightness", brightness);
    }
    Display* d = XOpenDisplay(x.Display().c_str());
    EXPECT_NE(d, nullptr);
    if (!d) return {};
    std::vector<std::string> all = {"DISPLAY=" + x.Display(), "XDG_CONFIG_HOME=" + home.Dir(), "LSAN_OPTIONS=detect_leaks=0"};
    all.insert(all.end(), env.begin(), env.end());
    Process saver = Process::Start({BRISVANE_EXE, "/s"}, all);
    const auto frame = SkyFrame(brightness);
    Screen s;
    Likeness last;
    const bool seen = WaitFor(
        [&] {
          s = GrabRoot(d, 0);
          last = Compare(s, frame, kPicture, 0, 0, s.width, kSkyScreenRows);
          return shown(last);
        },
        30s);
    EXPECT_TRUE(seen) << "the sky never showed as expected: mean difference " << last.linear << " from bilinear, "
                      << last.nearest << " from nearest";
    XCloseDisplay(d);
    EXPECT_EQ(std::system(("DISPLAY=" + x.Display() + " xdotool key Escape").c_str()), 0);
    EXPECT_TRUE(saver.WaitExit(10s));
    EXPECT_EQ(saver.ExitCode(), 0);
    return s;
  }
};

TEST(Presenting, TheSaverAtFullHdShowsTheLakeBilinearlyAndNearestWhenTold) {
  SaverAtFullHd run;
  ASSERT_FALSE(run.x.Display().empty());
  const auto frame = SkyFrame(256);
  const Screen linear = run.Run(256, {"BRISVANE_SCALE=linear"},
                                [](const Likeness& l) { return l.linear < 1.0 && l.nearest > 4 * l.linear; });
  if (!linear.pixels.empty()) {
    const Likeness l = Compare(linear, frame, SaverAtFullHd::kPicture, 0, 0, linear.width, SaverAtFullHd::kSkyScreenRows);
    EXPECT_LE(l.worstLinear, 2);
    EXPECT_EQ(LitOutside(linear, SaverAtFullHd::kPicture), 0u) << "the bars are not black";
  }
  // The sky is smooth: nearest differs from bilinear only a little there, but it is nearest exactly.
  run.Run(256, {"BRISVANE_SCALE=nearest"}, [](const Likeness& l) { return l.nearest == 0 && l.linear > 0.05; });
}

TEST(Presenting, BrightnessHalvesTheLevelsOnTheLinearPath) {
  SaverAtFullHd run;
  ASSERT_FALSE(run.x.Display().empty());
  // Halved, the smooth sky leaves bilinear and nearest closer together.
  const Screen s = run.Run(128, {"BRISVANE_SCALE=linear"},
                           [](const Likeness& l) { return l.linear < 0.5 && l.nearest > 1.5 * l.linear; });
  if (s.pixels.empty()) return;
  // At full level the same screen is far off.
  const Likeness full = Compare(s, SkyFrame(256), SaverAtFullHd::kPicture, 0, 0, s.width, SaverAtFullHd::kSkyScreenRows);
  EXPECT_GT(full.linear, 20.0);
  EXPECT_EQ(LitOutside(s, SaverAtFullHd::kPicture), 0u) << "the bars are not black";
}

// Two monitors: one X screen with two RandR outputs side by side (Xorg's dummy
// driver, see PrivateTwoMonitorXorg), which SDL enumerates as two displays, the
// first the primary. The root is painted green, so desktop left uncovered shows.
struct TwoMonitors : ::testing::Test {
  using Xorg = testing_support::PrivateTwoMonitorXorg;
  std::unique_ptr<Xorg> x;
  Display* d = nullptr;
  static constexpr std::uint32_t kDesktop = 0x00FF00;
  const platform::FramePlacement primary{0, 0, Xorg::kPrimaryWidth, Xorg::kPrimaryHeight};
  const platform::FramePlacement second{Xorg::kPrimaryWidth, 0, Xorg::kSecondWidth, Xorg::kSecondHeight};

  void SetUp() override {
    x = std::make_unique<Xorg>();
    ASSERT_FALSE(x->Display().empty()) << "no two-monitor X server:\n" << x->Log();
    d = XOpenDisplay(x->Display().c_str());
    ASSERT_NE(d, nullptr);
    XSetWindowBackground(d, DefaultRootWindow(d), kDesktop);
    XClearWindow(d, DefaultRootWindow(d));
    XSync(d, False);
    ASSERT_EQ(Grab(d, DefaultRootWindow(d), second.x + 5, 5, 1, 1).at(0), kDesktop);
  }
  void TearDown() override {
    if (d) XCloseDisplay(d);
  }
  Screen Monitor(const platform::FramePlacement& m) {
    return {m.width, m.height, Grab(d, DefaultRootWindow(d), m.x, m.y, m.width, m.height)};
  }
  void PointerTo(int px, int py) {
    XWarpPointer(d, 0, DefaultRootWindow(d), 0, 0, 0, 0, px, py);
    XSync(d, False);
  }
  // The primary shows no desktop, the other monitor is black throughout.
  bool Covered() {
    const Screen first = Monitor(primary), other = Monitor(second);
    return !first.pixels.empty() && !other.pixels.empty() &&
           Count(first, [](std::uint32_t p) { return p == kDesktop; }) == 0 &&
           Count(other, [](std::uint32_t p) { return p != 0; }) == 0;
  }
  // Is the cursor at the pointer an invisible one?
  bool CursorHidden() { return testing_support::CursorHidden(d); }
  void Xdotool(const std::string& args) {
    const std::string cmd = "DISPLAY=" + x->Display() + " xdotool " + args + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  std::vector<std::string> Env() const {
    return {"DISPLAY=" + x->Display(), "XDG_CONFIG_HOME=" + TempPath("config"), "LSAN_OPTIONS=detect_leaks=0"};
  }
  Process Saver() { return Process::Start({BRISVANE_EXE, "/s"}, Env()); }
};

TEST_F(TwoMonitors, TheSceneOnThePrimaryBlackOnTheOtherAndAKeyOnEitherEndsTheSaver) {
  for (bool onSecond : {true, false}) {
    SCOPED_TRACE(onSecond ? "key with the pointer on the other monitor" : "key with the pointer on the primary");
    PointerTo(onSecond ? second.x + 100 : 100, 100);
    ASSERT_FALSE(CursorHidden()) << "the desktop's cursor should be visible";
    Process saver = Saver();
    // The engine's first frame is black; the lake follows.
    auto lake = [&] { return Count(Monitor(primary), [](std::uint32_t p) { return p != 0; }) > 1280u * 900; };
    ASSERT_TRUE(WaitFor([&] { return Covered() && lake(); }, 30s)) << "no lake, or some desktop stays visible";
    EXPECT_TRUE(WaitFor([&] { return CursorHidden(); }, 5s)) << "the cursor shows over this monitor";
    // The 1024 x 768 frame scaled to 1280 x 960 between bars 32 high.
    EXPECT_EQ(LitOutside(Monitor(primary), {0, 32, 1280, 960}), 0u);
    Xdotool("key Escape");
    ASSERT_TRUE(saver.WaitExit(5s)) << "Escape did not end the saver";
    EXPECT_EQ(saver.ExitCode(), 0);
    EXPECT_TRUE(WaitFor([&] { return Grab(d, DefaultRootWindow(d), second.x + 5, 5, 1, 1).at(0) == kDesktop; }, 5s))
        << "the other monitor was not given back";
  }
}

TEST_F(TwoMonitors, AMouseMoveOnTheOtherMonitorEndsTheSaver) {
  PointerTo(second.x + 100, 100);
  Process saver = Saver();
  ASSERT_TRUE(WaitFor([&] { return Covered(); }, 30s));
  // The first movement is only recorded; the next ones are real movements.
  for (int i = 1; i <= 10 && !saver.WaitExit(300ms); ++i)
    Xdotool("mousemove " + std::to_string(second.x + 100 + 40 * i) + " 300");
  ASSERT_TRUE(saver.WaitExit(5s)) << "moving the mouse on the other monitor did not end the saver";
  EXPECT_EQ(saver.ExitCode(), 0);
}

// SDL on the private server, where Mesa's OpenGL is llvmpipe. In a child process:
// Mesa leaves allocations behind when it is unloaded, which the leak checker
// could not even name.
TEST(PresentChoice, OnXvfbTheRendererFoundIsASoftwareOneAndIsNotChosen) {
  PrivateXvfb x({"640x480"});
  ASSERT_FALSE(x.Display().empty());
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    unsetenv("SDL_VIDEODRIVER");
    setenv("DISPLAY", x.Display().c_str(), 1);
    std::string report = "no video";
    std::string error;
    if (auto video = platform::SdlVideo::Create(&error)) {
      const platform::RendererFacts facts = platform::SdlVideo::ProbeRenderer();
      report = std::string(facts.found ? "found" : "none") + "|" + facts.name + "|" + facts.device + "|" +
               (platform::IsSoftwareRenderer(facts) ? "software" : "gpu") + "|" +
               platform::DescribeChoice(platform::ChoosePresenting(facts, "", "", true), facts) + "|" +
               platform::DescribeChoice(platform::ChoosePresenting(facts, "", "texture", true), facts) + "|" +
               video->PresentingPath();
    }
    (void)!write(fds[1], report.data(), report.size());
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buf[512];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) report.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  std::vector<std::string> f;
  for (std::size_t start = 0;;) {
    const auto bar = report.find('|', start);
    f.push_back(report.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  ASSERT_EQ(f.size(), 7u) << report;
  EXPECT_EQ(f[0], "found") << "no renderer at all on Xvfb";
  EXPECT_EQ(f[3], "software") << f[1] << " on " << f[2];
  EXPECT_EQ(f[4], "cpu-linear");
  EXPECT_EQ(f[5], "texture-linear") << "forced, it is still named a software texture";
  EXPECT_EQ(f[6], DefaultCpuPath()) << "no GPU device here: not even probed";
}

}  // namespace
