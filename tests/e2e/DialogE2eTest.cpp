// The configuration dialog and the message boxes as a user meets them: the
// real program under the private Xvfb, which has no core fonts.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>

#include "support/WaitFor.h"
// Last: it brings Xlib, whose macros clash with the headers above.
#include "e2e/E2eSupport.h"

namespace {

using namespace e2e;

// The first visible window whose name matches the pattern, or 0 after limit.
Window FindWindow(const std::string& pattern, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    const std::string cmd =
        "DISPLAY=" + gDisplay + " xdotool search --onlyvisible --name '" + pattern + "' 2>/dev/null";
    std::string id;
    if (FILE* f = popen(cmd.c_str(), "r")) {
      char buf[64] = {};
      if (fgets(buf, sizeof buf, f)) id = buf;
      pclose(f);
    }
    if (!id.empty() && std::isdigit(static_cast<unsigned char>(id[0]))) return static_cast<Window>(std::stoul(id));
    std::this_thread::sleep_for(100ms);
  }
  return 0;
}

// Sends keys to a window until the process ends; on a loaded machine the
// first keys may beat the focus.
bool KeysEnd(Process& p, Window w, const std::string& keys) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string cmd = "DISPLAY=" + gDisplay + " xdotool windowfocus " + std::to_string(w) + " sleep 0.3 key " +
                            keys + " >/dev/null 2>&1";
    (void)std::system(cmd.c_str());  // fails once the window is gone
    if (p.WaitExit(3s)) return true;
  }
  return false;
}

// A left click at a point of the window's client area.
void ClickAt(Window w, int x, int y) {
  Xdotool("mousemove --window " + std::to_string(w) + " " + std::to_string(x) + " " + std::to_string(y) +
          " click 1");
}

// The window manager's close box: WM_DELETE_WINDOW, as a window manager sends it.
void CloseBox(Window w) {
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
  XCloseDisplay(d);
}

// Pixels of the window that differ from its most common colour: a drawn
// window has text and frames, a blank one has none.
std::size_t DrawnPixels(Window w) {
  Display* d = XOpenDisplay(gDisplay.c_str());
  if (!d) return 0;
  XWindowAttributes a{};
  std::size_t drawn = 0;
  if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) {
    const auto pixels = Grab(d, w, 0, 0, a.width, a.height);
    std::map<std::uint32_t, std::size_t> counts;
    for (auto p : pixels) ++counts[p];
    std::size_t most = 0;
    for (auto& [colour, n] : counts) most = std::max(most, n);
    drawn = pixels.size() - most;
  }
  XCloseDisplay(d);
  return drawn;
}

// Message boxes show on a server without core fonts and end on Enter.
TEST(MessageBoxes, ShowWithoutCoreFontsAndEndOnEnter) {
  const struct {
    std::vector<std::string> args;
    const char* caption;
  } cases[] = {
      {{BRISVANE_EXE, "/a", "1234"}, "^Screen saver$"},
      {{BRISVANE_EXE, "/p"}, "^brisvane$"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    Process p = Process::Start(c.args, SaverEnvironment());
    const Window box = FindWindow(c.caption, 60s);
    ASSERT_NE(box, 0u) << "no window captioned " << c.caption;
    EXPECT_FALSE(p.WaitExit(0ms)) << "the box must wait for the user";
    EXPECT_TRUE(testing_support::WaitFor([&] { return DrawnPixels(box) > 200u; }, 20s, 100ms)) << "the box is blank";
    ASSERT_TRUE(KeysEnd(p, box, "Return")) << "Enter did not end the box";
    EXPECT_EQ(p.ExitCode(), 0);
  }
}

TEST(MessageBoxes, WithoutADisplayTheyGoToStderr) {
  const std::string err = TempPath("stderr");
  const struct {
    std::vector<std::string> env;
    std::vector<std::string> args;
    const char* expected;
  } cases[] = {
      {{}, {BRISVANE_EXE, "/a", "1234"}, "Screen saver: MPR.DLL not found: cannot change password.\n"},
      {{"DISPLAY=:97531"}, {BRISVANE_EXE, "/a", "1234"}, "Screen saver: MPR.DLL not found: cannot change password.\n"},
      {{}, {BRISVANE_EXE, "/p"}, "brisvane: '' is not a valid integer value.\n"},
      {{"DISPLAY=:97531"}, {BRISVANE_EXE, "/c"}, "brisvane: no display for the configuration dialog\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1] + (c.env.empty() ? " without DISPLAY" : " " + c.env[0]));
    auto env = SaverEnvironment();
    env.insert(env.end(), c.env.begin(), c.env.end());
    Process p = Process::Start(c.args, env, {"DISPLAY=", "WAYLAND_DISPLAY="}, err);
    ASSERT_TRUE(p.WaitExit(20s));
    EXPECT_EQ(p.ExitCode(), 0);
    EXPECT_NE(ReadText(err).find(c.expected), std::string::npos) << ReadText(err);
  }
}

// The dialog under a private Xvfb, started as a screensaver host starts it.
struct ConfigurationMode : ::testing::Test {
  std::string config = TempPath("dialog-config");
  std::string file = config + "/brisvane/HKEY_CURRENT_USER.reg";
  std::string stored;
  std::unique_ptr<Process> dialog;
  Window window = 0;

  void SetUp() override {
    std::filesystem::remove_all(config);
    stored =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\n"
        "\"Brightness\"=dword:00000080\n\"SoundVolume\"=dword:00000040\n\"TDegree\"=\"c\"\n"
        "\"WeatherCode\"=\"UKXX0085\"\n\"RSS_Url\"=\"http://feeds.example/rss\"\n\"ShowTime\"=dword:00000001\n"
        "\"ShowWeather\"=dword:00000000\n\"ShowNews\"=dword:00000000\n\"ShowBlack\"=dword:00000002\n"
        "\"UseProxy\"=dword:00000000\n\"Proxy\"=\"\"\n\"Port\"=\"\"\n";
    testing_support::WriteText(file, stored);
    dialog = std::make_unique<Process>(
        Process::Start({BRISVANE_EXE, "/c:1234"}, {"XDG_CONFIG_HOME=" + config, "LSAN_OPTIONS=detect_leaks=0"}));
    window = FindWindow("^Screensaver Configuration$", 60s);
    ASSERT_NE(window, 0u) << "no dialog window appeared";
  }
  void TearDown() override { std::filesystem::remove_all(config); }
};

TEST_F(ConfigurationMode, ShowsTheDialogAndEnterOrEscapeDoNotCloseIt) {
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(d, window, &a));
  EXPECT_EQ(a.width, 539);
  EXPECT_EQ(a.height, 576);
  XCloseDisplay(d);
  // Shown is not yet painted on a loaded machine.
  EXPECT_TRUE(testing_support::WaitFor([&] { return DrawnPixels(window) > 10000u; }, 20s, 100ms))
      << "the dialog is blank";
  Xdotool("windowfocus " + std::to_string(window) + " sleep 0.3 key Escape key Return key KP_Enter");
  EXPECT_FALSE(dialog->WaitExit(1s)) << "a key closed the dialog";
  CloseBox(window);
  ASSERT_TRUE(dialog->WaitExit(10s)) << "the close box did not end the program";
  EXPECT_EQ(dialog->ExitCode(), 0);
  EXPECT_EQ(ReadText(file), stored) << "the close box is Cancel";
}

TEST_F(ConfigurationMode, OKWritesTheKeyAndEnds) {
  ClickAt(window, 442 + 38, 539 + 13);
  ASSERT_TRUE(dialog->WaitExit(10s)) << "OK did not end the program";
  EXPECT_EQ(dialog->ExitCode(), 0);
  const std::string after = ReadText(file);
  EXPECT_NE(after.find("\"ShowBlack\"=dword:00000000\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\"WeatherCode\"=\"UKXX0085\"\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\"Brightness\"=dword:00000080\n"), std::string::npos) << after;
}

TEST_F(ConfigurationMode, CancelWritesNothingAndEnds) {
  ClickAt(window, 20 + 38, 539 + 13);
  ASSERT_TRUE(dialog->WaitExit(10s)) << "Cancel did not end the program";
  EXPECT_EQ(dialog->ExitCode(), 0);
  EXPECT_EQ(ReadText(file), stored);
}

}  // namespace
