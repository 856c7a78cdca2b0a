// The program as a user's screensaver host runs it, under a private Xvfb.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/DrawingContext.h"
#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "support/Files.h"

// Xlib last: its macros (None, Status) clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string gDisplay;
pid_t gXvfb = 0;

// Starts Xvfb at exactly the saver's mode, so screen pixels equal frame pixels,
// and with no core fonts but the built-in ones, as many desktops have today:
// every window the program shows must draw without them.
class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-fp", "built-ins"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawnp(&gXvfb, "Xvfb", &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buf[32] = {};
    std::string number;
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) {
      number.append(buf, static_cast<std::size_t>(n));
      if (number.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    gDisplay = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", gDisplay.c_str(), 1);
  }
  void TearDown() override {
    if (gXvfb > 0) {
      kill(gXvfb, SIGTERM);
      waitpid(gXvfb, nullptr, 0);
    }
  }
};

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

struct Process {
  pid_t pid = 0;
  int status = -1;
  bool exited = false;

  Process() = default;
  // Moved, the child belongs to the new one: only one of them may kill it.
  Process(Process&& other) noexcept : pid(other.pid), status(other.status), exited(other.exited) { other.pid = 0; }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Variables named in drop (NAME=) are not passed on, nor inherited ones
  // that extraEnv sets; stderrPath, when given, receives the standard error.
  static Process Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                       const std::vector<std::string>& drop = {}, const std::string& stderrPath = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      // The program must not inherit the test's headless drivers.
      if (entry.rfind("SDL_VIDEODRIVER=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
      // What extraEnv sets replaces the inherited value: getenv finds the first.
      bool dropped = false;
      for (const auto& d : drop) dropped = dropped || entry.rfind(d, 0) == 0;
      for (const auto& x : extraEnv) dropped = dropped || entry.rfind(x.substr(0, x.find('=') + 1), 0) == 0;
      if (!dropped) env.push_back(entry);
    }
    env.push_back("SDL_AUDIODRIVER=dummy");
    for (const auto& e : extraEnv) env.push_back(e);
    std::vector<char*> argv, envp;
    std::vector<std::string> a = args;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    Process p;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stderrPath.empty())
      posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(posix_spawn(&p.pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return p;
  }
  bool WaitExit(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  int ExitCode() const { return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
  double CpuSeconds() const {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(f, line);
    std::istringstream in(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
      if (i == 14) utime = std::stoul(field);
      if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  ~Process() {
    if (pid > 0 && !exited) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

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

// XRGB pixels of a window area (or the root).
std::vector<std::uint32_t> Grab(Display* d, Window w, int x, int y, int width, int height) {
  std::vector<std::uint32_t> out;
  XImage* img = XGetImage(d, w, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!img) return out;
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF);
  XDestroyImage(img);
  return out;
}

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
    EXPECT_GT(DrawnPixels(box), 200u) << "the box is blank";
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
  EXPECT_GT(DrawnPixels(window), 10000u);
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
