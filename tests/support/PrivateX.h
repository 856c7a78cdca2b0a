// Private X servers for one test program or one test (display numbers chosen by
// the server through -displayfd, so parallel tests never collide) and programs
// run under them.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {

// Starts an X server (its arguments after "-displayfd N") and learns its display.
class PrivateServer {
 public:
  PrivateServer(const std::string& program, const std::vector<std::string>& extra) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args = {program, "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
      pid_ = 0;
      close(fds[0]);
      return;
    }
    char buf[32];
    std::string number;
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) {
      number.append(buf, static_cast<std::size_t>(n));
      if (number.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    if (number.empty() || number.find('\n') == std::string::npos) return;
    const std::string display = std::string(":").append(number, 0, number.find('\n'));
    // The number comes before the server takes clients; on a loaded machine a
    // client right after it is refused.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Accepts(number.substr(0, number.find('\n'))) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (Accepts(number.substr(0, number.find('\n')))) display_ = display;
  }
  ~PrivateServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& Display() const { return display_; }

 private:
  // The server on display number completes a client's connection setup (the
  // protocol's first exchange, without authorisation, as the tests' clients).
  static bool Accepts(const std::string& number) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const timeval wait{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%s", number.c_str());
    bool ok = false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      const unsigned char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // little-endian, version 11.0
      unsigned char status = 0;
      ok = write(fd, setup, sizeof setup) == static_cast<ssize_t>(sizeof setup) && read(fd, &status, 1) == 1 &&
           status == 1;
    }
    close(fd);
    return ok;
  }

  pid_t pid_ = 0;
  std::string display_;
};

// Xvfb with one X screen per "WxH" (each its own RandR output), and any further
// arguments.
class PrivateXvfb : public PrivateServer {
 public:
  explicit PrivateXvfb(const std::vector<std::string>& screens, const std::vector<std::string>& extra = {})
      : PrivateServer("Xvfb", Arguments(screens, extra)) {}

 private:
  static std::vector<std::string> Arguments(const std::vector<std::string>& screens,
                                            const std::vector<std::string>& extra) {
    // Without -noreset the server resets whenever its last client leaves, and
    // refuses a client that comes meanwhile.
    std::vector<std::string> args = {"-noreset"};
    args.insert(args.end(), extra.begin(), extra.end());
    for (std::size_t i = 0; i < screens.size(); ++i) {
      args.push_back("-screen");
      args.push_back(std::to_string(i));
      args.push_back(screens[i] + "x24");
    }
    return args;
  }
};

// Two monitors the way desktops have them: one X screen with two RandR outputs,
// from Xorg's dummy driver (DUMMY0 1280 x 1024, the primary, and DUMMY1
// 1024 x 768 to its right, switched on with xrandr). Needs to run as root.
class PrivateTwoMonitorXorg {
 public:
  static constexpr int kPrimaryWidth = 1280, kPrimaryHeight = 1024, kSecondWidth = 1024, kSecondHeight = 768;

  PrivateTwoMonitorXorg() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-xorg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    dir_ = pattern;
    std::ofstream(dir_ + "/xorg.conf") << kConfig;
    server_ = std::make_unique<PrivateServer>(
        "Xorg", std::vector<std::string>{"-noreset", "-config", dir_ + "/xorg.conf", "-logfile", dir_ + "/xorg.log"});
    if (server_->Display().empty()) return;
    const std::string xrandr = "DISPLAY=" + server_->Display() + " xrandr ";
    // A full query afterwards makes the server probe its outputs again; until
    // then clients asking for the current state may still see one monitor.
    ready_ = std::system((xrandr + "--addmode DUMMY1 1024x768 >/dev/null 2>&1").c_str()) == 0 &&
             std::system((xrandr + "--output DUMMY1 --mode 1024x768 --right-of DUMMY0 >/dev/null 2>&1").c_str()) == 0 &&
             std::system((xrandr + "| grep -q 'DUMMY1 connected 1024x768+1280+0'").c_str()) == 0;
  }
  ~PrivateTwoMonitorXorg() {
    server_.reset();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }

  // ":N" once both monitors are on, else empty (the log says why).
  std::string Display() const { return ready_ ? server_->Display() : ""; }
  std::string Log() const {
    std::ifstream f(dir_ + "/xorg.log");
    return std::string(std::istreambuf_iterator<char>(f), {});
  }

 private:
  static constexpr const char* kConfig = R"(Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  Modeline "1280x1024" 109.00 1280 1368 1496 1712 1024 1027 1034 1063 -hsync +vsync
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1280x1024"
    Virtual 2304 1024
  EndSubSection
EndSection
)";
  std::string dir_;
  std::unique_ptr<PrivateServer> server_;
  bool ready_ = false;
};

// A program under test; killed if it is still running when the test ends.
struct Process {
  pid_t pid = 0;
  int status = -1;
  bool exited = false;

  Process() = default;
  Process(Process&& o) noexcept : pid(o.pid), status(o.status), exited(o.exited) { o.pid = 0; }
  Process& operator=(Process&& o) noexcept {
    if (this != &o) {
      Kill();
      pid = o.pid;
      status = o.status;
      exited = o.exited;
      o.pid = 0;
    }
    return *this;
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // extraEnv entries replace inherited ones of the same name; variables named
  // in drop ("NAME=") are not passed on; stderrPath and stdoutPath, when given,
  // receive the program's output streams.
  static Process Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                       const std::vector<std::string>& drop = {}, const std::string& stderrPath = {},
                       const std::string& stdoutPath = {}) {
    auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      // The program must not inherit the test's headless drivers.
      if (entry.rfind("SDL_VIDEODRIVER=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
      // getenv finds the first of two entries: what extraEnv sets replaces the inherited one.
      bool dropped = false;
      for (const auto& d : drop) dropped = dropped || entry.rfind(d, 0) == 0;
      for (const auto& extra : extraEnv) dropped = dropped || name(extra) == name(entry);
      if (!dropped) env.push_back(entry);
    }
    // No sound card in tests, unless a test chooses a driver itself.
    bool audioChosen = false;
    for (const auto& e : extraEnv) audioChosen = audioChosen || name(e) == "SDL_AUDIODRIVER=";
    if (!audioChosen) env.push_back("SDL_AUDIODRIVER=dummy");
    for (const auto& e : extraEnv) env.push_back(e);
    std::vector<char*> argv, envp;
    std::vector<std::string> a = args;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdoutPath.empty())
      posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!stderrPath.empty())
      posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Process p;
    if (posix_spawn(&p.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) p.pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return p;
  }
  bool WaitExit(std::chrono::milliseconds limit) {
    if (exited) return true;
    if (pid <= 0) return false;
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  int ExitCode() const { return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
  double CpuSeconds() const {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(f, line);
    if (line.rfind(')') == std::string::npos) return 0;
    std::istringstream in(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
      if (i == 14) utime = std::stoul(field);
      if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  ~Process() { Kill(); }

 private:
  void Kill() {
    if (pid > 0 && !exited) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

}  // namespace testing_support
