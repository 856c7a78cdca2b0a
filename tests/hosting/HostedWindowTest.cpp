// Run mode in a window a screensaver host made: the tests make the window
// themselves (as a host or its settings preview would) on a private Xvfb and
// watch what the real program does with it.
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "platform/FrameScaler.h"
#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "support/ReferenceScale.h"
#include "support/WaitFor.h"
// Last: they bring Xlib, whose macros clash with the headers above.
#include "e2e/E2eSupport.h"
#include "support/LakeSky.h"

namespace {

using namespace e2e;
using testing_support::Compare;
using testing_support::Likeness;
using testing_support::Screen;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return testing_support::WaitFor(done, limit, 50ms);
}

// A plain green window, mapped, as a host hands one over.
class HostsWindow {
 public:
  HostsWindow(const std::string& display, int x, int y, int width, int height) : d_(XOpenDisplay(display.c_str())) {
    if (!d_) return;
    XSetWindowAttributes a{};
    a.background_pixel = 0x00A000;
    a.override_redirect = True;
    w_ = XCreateWindow(d_, DefaultRootWindow(d_), x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                       CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    XStoreName(d_, w_, "host's window");
    XMapWindow(d_, w_);
    XSync(d_, False);
  }
  ~HostsWindow() {
    if (!d_) return;  // abandoned
    if (w_) XDestroyWindow(d_, w_);
    XCloseDisplay(d_);
  }
  HostsWindow(const HostsWindow&) = delete;
  HostsWindow& operator=(const HostsWindow&) = delete;

  bool Ok() const { return d_ && w_; }
  std::string Hex() const {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lX", w_);
    return text;
  }
  std::string Decimal() const { return std::to_string(w_); }
  Screen Pixels() const {
    XWindowAttributes a;
    XGetWindowAttributes(d_, w_, &a);
    return {a.width, a.height, testing_support::Grab(d_, w_, 0, 0, a.width, a.height)};
  }
  // What a host set and must find unchanged: title, place, size, mapping, override.
  std::string Facts() const {
    XWindowAttributes a;
    XGetWindowAttributes(d_, w_, &a);
    char* name = nullptr;
    XFetchName(d_, w_, &name);
    std::string facts = std::string(name ? name : "") + " " + std::to_string(a.x) + "," + std::to_string(a.y) + " " +
                        std::to_string(a.width) + "x" + std::to_string(a.height) + " map " +
                        std::to_string(a.map_state) + " override " + std::to_string(a.override_redirect);
    if (name) XFree(name);
    return facts;
  }
  void Resize(int width, int height) {
    XResizeWindow(d_, w_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(d_, False);
  }
  void Destroy() {
    XDestroyWindow(d_, w_);
    XSync(d_, False);
    w_ = 0;
  }
  Display* Connection() const { return d_; }
  // Its server is about to go: the connection is left as it is, never used again.
  void Abandon() { d_ = nullptr; }

 private:
  Display* d_;
  Window w_ = 0;
};

// The window shows the lake's sky, scaled bilinearly into the picture's place
// with black bars beside it.
bool ShowsTheLake(const HostsWindow& w, Likeness* seen = nullptr) {
  const Screen s = w.Pixels();
  if (s.pixels.empty()) return false;
  const platform::FramePlacement p = platform::FitFrame(1024, 768, s.width, s.height);
  const Likeness l = Compare(s, testing_support::SkyFrame(256), p, 0, 0, s.width,
                             p.y + (testing_support::kSkyRows - 2) * p.height / 768);
  if (seen) *seen = l;
  std::size_t lit = 0;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if ((x < p.x || x >= p.x + p.width || y < p.y || y >= p.y + p.height) &&
          s.pixels[static_cast<std::size_t>(y) * s.width + x] != 0)
        ++lit;
  return l.linear < 1.0 && lit == 0;
}

std::vector<std::string> HostedEnvironment(const std::string& configHome, std::vector<std::string> more = {}) {
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + configHome, "LSAN_OPTIONS=detect_leaks=0",
                                  "BRISVANE_SCALE=linear"};
  env.insert(env.end(), more.begin(), more.end());
  return env;
}

TEST(Hosted, DrawsIntoTheNamedWindowOnlyFollowsItsSizeIgnoresInputAndEndsWithIt) {
  HostsWindow window(gDisplay, 50, 60, 400, 300);
  ASSERT_TRUE(window.Ok());
  Display* d = window.Connection();
  const int windowsBefore = testing_support::MappedTopLevelWindows(d, 0);
  const std::string facts = window.Facts();
  const auto rootBefore = testing_support::Grab(d, DefaultRootWindow(d), 500, 0, 524, 768);
  Process saver = Process::Start({BRISVANE_EXE, "--root", "--window-id", window.Hex()},
                                 HostedEnvironment(TempPath("named")), {"XSCREENSAVER_WINDOW="});
  Likeness seen;
  ASSERT_TRUE(WaitFor([&] { return ShowsTheLake(window, &seen); }, 10s))
      << "the window never showed the lake: mean difference " << seen.linear;
  EXPECT_EQ(testing_support::MappedTopLevelWindows(d, 0), windowsBefore) << "a window of its own was made";
  EXPECT_EQ(window.Facts(), facts) << "the host's window was changed";
  EXPECT_EQ(testing_support::Grab(d, DefaultRootWindow(d), 500, 0, 524, 768), rootBefore) << "drawn outside the window";

  // The host watches the user: keys and the pointer over the window change nothing.
  const std::string id = window.Decimal();
  Xdotool("key --window " + id + " Escape F2 a");
  Xdotool("mousemove --window " + id + " 10 10 mousemove --window " + id + " 300 200");
  EXPECT_FALSE(saver.WaitExit(1s)) << "input ended a hosted saver";
  EXPECT_FALSE(testing_support::CursorHidden(d)) << "the cursor over the host's window was hidden";

  // A preview that grows wide: the picture keeps its shape between black bars.
  window.Resize(640, 240);
  EXPECT_TRUE(WaitFor([&] { return ShowsTheLake(window, &seen); }, 10s))
      << "the resized window never showed the lake: mean difference " << seen.linear;
  EXPECT_EQ(window.Pixels().width, 640);

  window.Destroy();
  ASSERT_TRUE(saver.WaitExit(1s)) << "the saver outlived its window";
  EXPECT_EQ(saver.ExitCode(), 0);
}

TEST(Hosted, SigtermEndsItAtOnceAndTheSettingsStayAsTheyWere) {
  HostsWindow window(gDisplay, 0, 0, 1024, 768);
  ASSERT_TRUE(window.Ok());
  const std::string home = TempPath("sigterm");
  const std::string file = home + "/brisvane/HKEY_CURRENT_USER.reg";
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\r\n"
      "\"Brightness\"=dword:00000100\r\n\"SoundVolume\"=dword:00000080\r\n\"TDegree\"=\"f\"\r\n"
      "\"WeatherCode\"=\"20001\"\r\n\"RSS_Url\"=\"https://news.example.invalid/rss\"\r\n"
      "\"ShowTime\"=dword:00000001\r\n\"ShowWeather\"=dword:00000000\r\n\"ShowNews\"=dword:00000001\r\n"
      "\"ShowBlack\"=dword:00000001\r\n\"UseProxy\"=dword:00000000\r\n\"Proxy\"=\"\"\r\n\"Port\"=\"\"\r\n";
  std::filesystem::remove_all(home);
  testing_support::WriteText(file, text);
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  // XScreenSaver's and mate's way: the variable in hex, and --root.
  Process saver = Process::Start({BRISVANE_EXE, "--root"}, HostedEnvironment(home, {"XSCREENSAVER_WINDOW=" + window.Hex()}));
  ASSERT_TRUE(WaitFor([&] { return ShowsTheLake(window); }, 10s));
  const auto sent = Clock::now();
  kill(saver.pid, SIGTERM);
  ASSERT_TRUE(saver.WaitExit(1s)) << "SIGTERM did not end the saver within a second";
  EXPECT_EQ(saver.ExitCode(), 0);
  EXPECT_LT(Clock::now() - sent, 1s);
  EXPECT_EQ(ReadText(file), text);
  struct stat after {};
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the settings file was replaced";
}

TEST(Hosted, OnlyTheWindowOverThePrimaryMonitorPlaysTheMusic) {
  const struct {
    const char* what;
    int width, height;
    bool named;  // --window-id: a settings preview
    bool plays;
  } cases[] = {
      {"the host's window over the monitor", 1024, 768, false, true},
      {"a host's smaller window", 400, 300, false, false},
      {"a preview as large as the monitor", 1024, 768, true, false},
  };
  for (const auto& c : cases) {
    HostsWindow window(gDisplay, 0, 0, c.width, c.height);
    ASSERT_TRUE(window.Ok());
    const std::string audio = TempPath("audio.raw");
    std::filesystem::remove(audio);
    std::vector<std::string> args = {BRISVANE_EXE, "--root"};
    std::vector<std::string> env =
        HostedEnvironment(TempPath("music"), {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio});
    if (c.named) {
      args.insert(args.end(), {"--window-id", window.Hex()});
      env.push_back("XSCREENSAVER_WINDOW=" + window.Hex());
    } else {
      env.push_back("XSCREENSAVER_WINDOW=" + window.Decimal());
    }
    Process saver = Process::Start(args, env);
    ASSERT_TRUE(WaitFor([&] { return ShowsTheLake(window); }, 10s)) << c.what;
    const bool played = WaitFor([&] { return std::filesystem::exists(audio) && std::filesystem::file_size(audio) > 0; },
                                c.plays ? 5s : 1500ms);
    EXPECT_EQ(played, c.plays) << c.what;
    kill(saver.pid, SIGTERM);
    EXPECT_TRUE(saver.WaitExit(2s)) << c.what;
  }
}

// The ticker's line creeps 2 pixels a frame from the right end of its window:
// where its first letter stands tells how many frames were drawn.
int TickerLeftEdge(Display* d) {
  // News alone: the strip's gadget at x 453, its line's window x 468..1013, the text from y 728.
  const auto band = testing_support::Grab(d, DefaultRootWindow(d), 468, 730, 545, 12);
  for (int x = 0; x < 545; ++x)
    for (int y = 0; y < 12; ++y) {
      const std::uint32_t p = band[static_cast<std::size_t>(y) * 545 + x];
      if ((p & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && ((p >> 16) & 0xFF) > 200) return 468 + x;
    }
  return -1;
}

TEST(Hosted, AfterAStopAndAContinueItGoesOnWithoutCatchingUp) {
  HostsWindow window(gDisplay, 0, 0, 1024, 768);
  ASSERT_TRUE(window.Ok());
  const std::string home = TempPath("stopcont");
  std::filesystem::remove_all(home);
  // Only the ticker, whose feed the client refuses (https): it creeps "*** Not Available Now ***".
  testing_support::WriteText(
      home + "/brisvane/HKEY_CURRENT_USER.reg",
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\r\n"
      "\"Brightness\"=dword:00000100\r\n\"SoundVolume\"=dword:00000080\r\n\"TDegree\"=\"f\"\r\n"
      "\"WeatherCode\"=\"20001\"\r\n\"RSS_Url\"=\"https://news.example.invalid/rss\"\r\n"
      "\"ShowTime\"=dword:00000000\r\n\"ShowWeather\"=dword:00000000\r\n\"ShowNews\"=dword:00000001\r\n"
      "\"ShowBlack\"=dword:00000001\r\n\"UseProxy\"=dword:00000000\r\n\"Proxy\"=\"\"\r\n\"Port\"=\"\"\r\n");
  Process saver = Process::Start({BRISVANE_EXE, "--root"}, HostedEnvironment(home, {"XSCREENSAVER_WINDOW=" + window.Hex()}));
  Display* d = window.Connection();
  ASSERT_TRUE(WaitFor([&] { return TickerLeftEdge(d) > 0; }, 10s)) << "the ticker never showed";
  const int before = TickerLeftEdge(d);
  kill(saver.pid, SIGSTOP);
  std::this_thread::sleep_for(3s);
  kill(saver.pid, SIGCONT);
  std::this_thread::sleep_for(400ms);
  const int resumed = TickerLeftEdge(d);
  std::this_thread::sleep_for(1s);
  const int later = TickerLeftEdge(d);
  ASSERT_GT(resumed, 0);
  ASSERT_GT(later, 0) << "the line left its window: the test started too late";
  // 0.4 s is about 10 frames; catching up the 3 s stopped would be 75 more.
  const int framesAfterContinue = (before - resumed) / 2;
  EXPECT_LT(framesAfterContinue, 40) << "frames were caught up after the stop";
  // And then the normal rate again: about 25 frames in the second.
  const int framesInASecond = (resumed - later) / 2;
  EXPECT_GE(framesInASecond, 5);
  EXPECT_LE(framesInASecond, 35);
  kill(saver.pid, SIGTERM);
  EXPECT_TRUE(saver.WaitExit(2s));
}

// Runs the saver for a while on a private session bus and returns what a
// monitor saw of the screensaver-inhibiting interface meanwhile.
std::string ScreensaverCallsOnTheBus(const std::vector<std::string>& saverArgs, const std::string& name) {
  const std::string log = TempPath(name + ".bus");
  // The monitor is ready once it has seen a ping of its own; then the saver runs 2 s and is stopped.
  const std::string script =
      "log=$1; shift; dbus-monitor --session \"interface=org.freedesktop.ScreenSaver\" "
      "\"interface=org.freedesktop.DBus.Peer\" > \"$log\" 2>/dev/null & monitor=$!; "
      "for i in $(seq 100); do dbus-send --session --dest=org.freedesktop.DBus / org.freedesktop.DBus.Peer.Ping; "
      "grep -q member=Ping \"$log\" && break; sleep 0.05; done; "
      "timeout -s TERM 2 \"$@\"; kill $monitor; wait $monitor";
  std::vector<std::string> args = {"/usr/bin/dbus-run-session", "--", "/bin/sh", "-c", script, "sh", log};
  args.insert(args.end(), saverArgs.begin(), saverArgs.end());
  Process run = Process::Start(args, HostedEnvironment(TempPath(name)));
  EXPECT_TRUE(run.WaitExit(30s));
  return ReadText(log);
}

TEST(Hosted, NeverHoldsTheHostsOwnSaverOff) {
  HostsWindow window(gDisplay, 0, 0, 1024, 768);
  ASSERT_TRUE(window.Ok());
  const std::string hosted = ScreensaverCallsOnTheBus({"env", "XSCREENSAVER_WINDOW=" + window.Hex(), BRISVANE_EXE, "--root"}, "inhibit-hosted");
  ASSERT_NE(hosted.find("member=Ping"), std::string::npos) << "the monitor saw nothing";
  EXPECT_EQ(hosted.find("member=Inhibit"), std::string::npos) << hosted;
  // Running by itself, the saver does keep the desktop's saver off: the monitor sees that.
  const std::string alone = ScreensaverCallsOnTheBus({BRISVANE_EXE, "/s"}, "inhibit-alone");
  EXPECT_NE(alone.find("member=Inhibit"), std::string::npos) << alone;
}

bool Gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

TEST(Hosted, WithoutAWindowToDrawInItWaitsToBeStoppedInsteadOfEndingAtOnce) {
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  const int windowsBefore = testing_support::MappedTopLevelWindows(d, 0);
  // A host would start a program that ends at once again, in a loop.
  Process saver = Process::Start({BRISVANE_EXE, "--root", "--window-id", "0x3"}, HostedEnvironment(TempPath("nowindow")));
  EXPECT_FALSE(saver.WaitExit(2s)) << "a hosted saver without a window ended by itself";
  EXPECT_EQ(testing_support::MappedTopLevelWindows(d, 0), windowsBefore) << "it opened a window of its own";
  kill(saver.pid, SIGTERM);
  ASSERT_TRUE(saver.WaitExit(1s));
  EXPECT_EQ(saver.ExitCode(), 0);
  XCloseDisplay(d);

  // Orphaned (its host gone without stopping it), it ends too.
  const std::string pidFile = TempPath("orphan.pid");
  Process host = Process::Start({"/bin/sh", "-c", "\"$0\" --window-id 0x3 & echo $! > \"$1\"; sleep 1", BRISVANE_EXE, pidFile},
                                HostedEnvironment(TempPath("orphan")));
  ASSERT_TRUE(host.WaitExit(10s));
  pid_t orphan = 0;
  ASSERT_TRUE(WaitFor([&] { return (orphan = std::atoi(ReadText(pidFile).c_str())) > 0; }, 5s));
  EXPECT_TRUE(WaitFor([&] { return Gone(orphan); }, 5s)) << "the orphan went on waiting";
  if (!Gone(orphan)) kill(orphan, SIGKILL);
}

TEST(Hosted, EndsWhenTheXServerGoes) {
  auto server = std::make_unique<testing_support::PrivateXvfb>(std::vector<std::string>{"1024x768"});
  ASSERT_FALSE(server->Display().empty());
  HostsWindow window(server->Display(), 0, 0, 640, 480);
  ASSERT_TRUE(window.Ok());
  Process saver = Process::Start({BRISVANE_EXE, "--root", "--window-id", window.Hex()},
                                 HostedEnvironment(TempPath("xgone"), {"DISPLAY=" + server->Display()}));
  ASSERT_TRUE(WaitFor([&] { return ShowsTheLake(window); }, 10s));
  window.Abandon();
  server.reset();
  ASSERT_TRUE(saver.WaitExit(2s)) << "the saver outlived its X server";
  EXPECT_EQ(saver.ExitCode(), 0);
}

}  // namespace
