// The saver under the real screensaver daemons of today's Linux desktops,
// each on a private Xvfb, run as an unprivileged user with a throwaway home
// (XScreenSaver launches nothing as root) and a private session bus. mate
// runs programs only from its fixed folders: inside a private mount namespace
// the test's own folder is mounted over /usr/libexec/xscreensaver.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/FrameScaler.h"
#include "support/Files.h"
#include "support/WaitFor.h"
#include "support/PrivateX.h"
// Last: it brings Xlib.
#include "support/LakeSky.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::Process;
using testing_support::PrivateXvfb;

constexpr const char* kUser = "--reuid=65534";
constexpr const char* kGroup = "--regid=65534";

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return testing_support::WaitFor(done, limit, 50ms);
}

std::string Field(pid_t pid, int index) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(f, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) return "";
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  for (int i = 3; i <= index && rest >> field;) ++i;
  return field;
}

std::vector<pid_t> AllProcesses() {
  std::vector<pid_t> pids;
  if (DIR* dir = opendir("/proc")) {
    while (dirent* e = readdir(dir))
      if (const int pid = std::atoi(e->d_name); pid > 0) pids.push_back(pid);
    closedir(dir);
  }
  return pids;
}

// A throwaway user's world: a folder all may read, a home of the user's, the
// program copied in (the build tree may not be readable to other users).
struct Sandbox {
  std::string dir, home, bin, program;

  Sandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-host-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    dir = pattern;
    chmod(dir.c_str(), 0755);
    home = dir + "/home";
    bin = dir + "/bin";
    program = bin + "/brisvane";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file(BRISVANE_EXE, program);
    if (chown(home.c_str(), 65534, 65534) != 0) dir.clear();
  }
  ~Sandbox() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }

  // The command as the user, with exactly the environment given (a host passes little).
  std::vector<std::string> AsUser(const std::vector<std::string>& env, const std::vector<std::string>& command) const {
    std::vector<std::string> args = {"/usr/bin/setpriv", kUser, kGroup, "--clear-groups", "/usr/bin/env", "-i"};
    args.insert(args.end(), env.begin(), env.end());
    args.insert(args.end(), command.begin(), command.end());
    return args;
  }
  int RunAsUser(const std::vector<std::string>& env, const std::vector<std::string>& command) const {
    Process p = Process::Start(AsUser(env, command));
    return p.WaitExit(30s) ? p.ExitCode() : -1;
  }

  // Our program's processes, wherever the host started them from.
  std::vector<pid_t> Savers() const {
    std::vector<pid_t> found;
    std::error_code ec;
    const auto ours = std::filesystem::canonical(program, ec);
    for (pid_t pid : AllProcesses()) {
      const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
      if (!ec && exe == ours && Field(pid, 3) != "Z") found.push_back(pid);
    }
    return found;
  }
};

// Everything started under setsid, ended together whatever the test did.
struct Session {
  Process leader;
  explicit Session(Process p) : leader(std::move(p)) {}
  ~Session() {
    const std::string sid = std::to_string(leader.pid);
    for (pid_t pid : AllProcesses())
      if (pid != getpid() && Field(pid, 6) == sid) kill(pid, SIGKILL);
  }
};

// The screen shows the lake's sky; with hostWindows, as many windows as the
// host made are shown (XScreenSaver: one), so none of the saver's own.
bool SkyShown(const std::string& display, int screen, double* mean, int hostWindows = 0) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  const testing_support::Screen s = testing_support::GrabRoot(d, screen);
  const int windows = testing_support::MappedTopLevelWindows(d, screen);
  XCloseDisplay(d);
  if (hostWindows && windows != hostWindows) return false;
  const platform::FramePlacement p = platform::FitFrame(1024, 768, s.width, s.height);
  const auto l = testing_support::Compare(s, testing_support::SkyFrame(256), p, 0, 0, s.width,
                                          p.y + (testing_support::kSkyRows - 2) * p.height / 768);
  if (mean) *mean = l.linear;
  return l.linear < 1.0;
}

std::string SkipReason(const std::vector<std::string>& programs) {
  if (getuid() != 0) return "needs root to run the host as another user";
  for (const auto& p : programs)
    if (!std::filesystem::exists(p)) return p + " is not installed";
  return "";
}

// The daemon's own user settings: one program, no fading, no locking.
constexpr const char* kXScreenSaverSettings =
    "mode:\t\tone\nselected:\t0\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\nsplash:\t\tFalse\n"
    "dpmsEnabled:\tFalse\n";

struct XScreenSaverRun {
  Sandbox box;
  std::string display;
  std::unique_ptr<Session> daemon;

  std::vector<std::string> Env() const {
    return {"HOME=" + box.home, "DISPLAY=" + display, "PATH=" + box.bin + ":/usr/bin:/bin",
            "LSAN_OPTIONS=detect_leaks=0", "SDL_AUDIODRIVER=dummy", "BRISVANE_SCALE=linear"};
  }
  int Command(const std::string& what) const { return box.RunAsUser(Env(), {"/usr/bin/xscreensaver-command", what}); }

  void Start(const std::string& x) {
    display = x;
    // The program writes the user's list itself, as a user would have it do.
    ASSERT_EQ(box.RunAsUser(Env(), {box.program, "--xscreensaver-add"}), 0);
    std::ofstream(box.home + "/.xscreensaver", std::ios::app) << kXScreenSaverSettings;
    daemon = std::make_unique<Session>(Process::Start(
        box.AsUser(Env(), {"/usr/bin/setsid", "/usr/bin/dbus-run-session", "--", "xscreensaver", "-no-splash"})));
    // setsid inside setpriv: the daemon's session is led by setsid's process, a child of ours.
    ASSERT_TRUE(WaitFor([&] { return Command("-version") == 0; }, 20s)) << "the daemon did not start";
  }
};

TEST(XScreenSaverHost, ActivationShowsTheLakeAndDeactivationEndsItWithinASecond) {
  if (const auto why = SkipReason({"/usr/bin/xscreensaver", "/usr/bin/xscreensaver-command"}); !why.empty())
    GTEST_SKIP() << why;
  PrivateXvfb x({"1024x768"});
  ASSERT_FALSE(x.Display().empty());
  XScreenSaverRun run;
  ASSERT_FALSE(run.box.dir.empty());
  run.Start(x.Display());
  ASSERT_EQ(run.Command("-activate"), 0);
  ASSERT_TRUE(WaitFor([&] { return run.box.Savers().size() == 1; }, 20s)) << "the daemon did not start the saver";
  double mean = 0;
  ASSERT_TRUE(WaitFor([&] { return SkyShown(x.Display(), 0, &mean, 1); }, 20s))
      << "the daemon's window never showed the lake: mean difference " << mean;

  const auto sent = Clock::now();
  ASSERT_EQ(run.Command("-deactivate"), 0);
  ASSERT_TRUE(WaitFor([&] { return run.box.Savers().empty(); }, 5s));
  EXPECT_LT(Clock::now() - sent, 1s) << "the saver took longer than a second to end";
  ASSERT_EQ(run.Command("-exit"), 0);
  EXPECT_TRUE(WaitFor([&] { return run.box.Savers().empty(); }, 5s)) << "a saver of ours was left behind";
}

TEST(XScreenSaverHost, TwoXScreensGetTwoSaversBothDrawing) {
  if (const auto why = SkipReason({"/usr/bin/xscreensaver", "/usr/bin/xscreensaver-command"}); !why.empty())
    GTEST_SKIP() << why;
  PrivateXvfb x({"800x600", "640x480"});
  ASSERT_FALSE(x.Display().empty());
  XScreenSaverRun run;
  ASSERT_FALSE(run.box.dir.empty());
  run.Start(x.Display());
  ASSERT_EQ(run.Command("-activate"), 0);
  ASSERT_TRUE(WaitFor([&] { return run.box.Savers().size() == 2; }, 20s))
      << "savers running: " << run.box.Savers().size();
  for (int screen = 0; screen < 2; ++screen) {
    double mean = 0;
    EXPECT_TRUE(WaitFor([&] { return SkyShown(x.Display(), screen, &mean, 1); }, 20s))
        << "screen " << screen << " never showed the lake: mean difference " << mean;
  }
  ASSERT_EQ(run.Command("-exit"), 0);
  EXPECT_TRUE(WaitFor([&] { return run.box.Savers().empty(); }, 5s)) << "a saver of ours was left behind";
}

TEST(MateHost, ActivationShowsTheLakeWithTheHostsTrimmedEnvironmentAndDeactivationEndsIt) {
  if (const auto why = SkipReason({"/usr/bin/mate-screensaver", "/usr/bin/mate-screensaver-command",
                                   "/usr/libexec/xscreensaver", "/usr/bin/unshare"});
      !why.empty())
    GTEST_SKIP() << why;
  PrivateXvfb x({"1024x768"});
  ASSERT_FALSE(x.Display().empty());
  Sandbox box;
  ASSERT_FALSE(box.dir.empty());
  // The host's fixed folder as the package lays it out: a link to the program.
  const std::string folder = box.dir + "/libexec";
  std::filesystem::create_directories(folder);
  std::filesystem::create_symlink(box.program, folder + "/brisvane");
  testing_support::WriteText(box.dir + "/share/applications/screensavers/brisvane.desktop",
                             testing_support::ReadText(std::string(BRISVANE_PACKAGING_DIR) + "/brisvane.desktop"));
  const std::string busFile = box.home + "/bus";
  const std::vector<std::string> env = {"HOME=" + box.home, "DISPLAY=" + x.Display(), "PATH=/usr/bin:/bin",
                                        "LANG=C.UTF-8", "GSETTINGS_BACKEND=keyfile",
                                        "XDG_CONFIG_HOME=" + box.home + "/.config",
                                        "XDG_DATA_DIRS=" + box.dir + "/share:/usr/share"};
  const std::string daemon =
      "echo \"$DBUS_SESSION_BUS_ADDRESS\" > '" + busFile +
      "' && gsettings set org.mate.screensaver mode single"
      " && gsettings set org.mate.screensaver themes \"['screensavers-brisvane']\""
      " && gsettings set org.mate.screensaver lock-enabled false && exec mate-screensaver --no-daemon";
  std::vector<std::string> args = {"/usr/bin/setsid", "/usr/bin/unshare", "--mount", "--propagation", "private",
                                   "/bin/sh", "-c", "mount --bind \"$0\" /usr/libexec/xscreensaver && exec \"$@\"",
                                   folder};
  const auto user = box.AsUser(env, {"/usr/bin/dbus-run-session", "--", "/bin/sh", "-c", daemon});
  args.insert(args.end(), user.begin(), user.end());
  Session session(Process::Start(args, {}, {}, box.dir + "/daemon.log"));

  ASSERT_TRUE(WaitFor([&] { return testing_support::ReadText(busFile).find("unix:") == 0; }, 20s))
      << testing_support::ReadText(box.dir + "/daemon.log");
  std::string bus = testing_support::ReadText(busFile);
  bus.erase(bus.find_last_not_of('\n') + 1);
  auto command = [&](const std::string& what) {
    return box.RunAsUser({"HOME=" + box.home, "DISPLAY=" + x.Display(), "DBUS_SESSION_BUS_ADDRESS=" + bus},
                         {"/usr/bin/mate-screensaver-command", what});
  };
  ASSERT_TRUE(WaitFor([&] { return command("--activate") == 0; }, 20s)) << testing_support::ReadText(box.dir + "/daemon.log");
  ASSERT_TRUE(WaitFor([&] { return box.Savers().size() == 1; }, 20s))
      << "mate did not start the saver\n" << testing_support::ReadText(box.dir + "/daemon.log");
  const pid_t saver = box.Savers().front();
  // The host passes a few variables only: no XDG_* ones, the window in hex.
  std::string environment = testing_support::ReadText("/proc/" + std::to_string(saver) + "/environ");
  std::replace(environment.begin(), environment.end(), '\0', '\n');
  EXPECT_EQ(environment.find("XDG_"), std::string::npos) << environment;
  EXPECT_NE(environment.find("XSCREENSAVER_WINDOW=0x"), std::string::npos) << environment;
  double mean = 0;
  ASSERT_TRUE(WaitFor([&] { return SkyShown(x.Display(), 0, &mean); }, 20s))
      << "mate's window never showed the lake: mean difference " << mean;

  const auto sent = Clock::now();
  ASSERT_EQ(command("--deactivate"), 0);
  ASSERT_TRUE(WaitFor([&] { return box.Savers().empty(); }, 5s));
  EXPECT_LT(Clock::now() - sent, 1s) << "the saver took longer than a second to end";
  command("--exit");
}

}  // namespace
