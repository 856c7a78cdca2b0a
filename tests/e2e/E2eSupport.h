// What the end-to-end tests share: a private Xvfb for the whole test program,
// the program under test as a child process, screen grabs and xdotool.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Files.h"

// Xlib last: its macros (None, Status) clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline std::string gDisplay;
inline pid_t gXvfb = 0;

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

inline const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

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

inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "brisvane-e2e-" + std::to_string(getpid()) + "-" + name;
}

using testing_support::ReadText;

inline std::vector<std::string> SaverEnvironment() {
  return {"XDG_CONFIG_HOME=" + TempPath("config"), "LSAN_OPTIONS=detect_leaks=0"};
}

// Runs a one-shot mode to its end; the exit code, or -1 when it did not end in time.
inline int RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  Process p = Process::Start(args, env);
  return p.WaitExit(5s) ? p.ExitCode() : -1;
}

// XRGB pixels of a window area (or the root).
inline std::vector<std::uint32_t> Grab(Display* d, Window w, int x, int y, int width, int height) {
  std::vector<std::uint32_t> out;
  XImage* img = XGetImage(d, w, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!img) return out;
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF);
  XDestroyImage(img);
  return out;
}

inline void Xdotool(const std::string& args) {
  const std::string cmd = "DISPLAY=" + gDisplay + " xdotool " + args + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

}  // namespace e2e
