#include "BridgeProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace testing_bridge {

namespace {

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

long StatusField(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.starts_with(field + ":")) return std::atol(line.c_str() + field.size() + 1);
  return -1;
}

// Variables a test must set itself: the bridge would honour the machine's proxies.
bool Dropped(const std::string& name) {
  static const char* const kProxyVariables[] = {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                                "ALL_PROXY",  "no_proxy",    "NO_PROXY",    "HTTP_PROXY",
                                                "LISTEN_FDS", "LISTEN_PID",  "LISTEN_FDNAMES", "CACHE_DIRECTORY"};
  for (const char* v : kProxyVariables)
    if (name == v) return true;
  return false;
}

}  // namespace

std::string BridgeExecutable() {
#ifdef BRISVANE_BRIDGE_EXE
  return BRISVANE_BRIDGE_EXE;
#else
  const char* dir = std::getenv("BRISVANE_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/bridge/brisvane-bridge";
#endif
}

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 128) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  port = ntohs(a.sin_port);
  return fd;
}

BridgeProcess::BridgeProcess(const Launch& launch) {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-bridge-run-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return;
  FDir = pattern;

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const size_t eq = entry.find('=');
    if (eq != std::string::npos && !Dropped(entry.substr(0, eq))) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [k, v] : launch.env) env[k] = v;

  std::vector<std::string> argv;
  if (launch.socketActivate) {
    // It passes on only the variables it is told to.
    argv = {"/usr/bin/systemd-socket-activate"};
    for (const auto& [k, v] : env)
      if (k.starts_with("BRISVANE_") || k.starts_with("ASAN_") || k.starts_with("LSAN_") || k.starts_with("UBSAN_") ||
          k.starts_with("XDG_") || k == "CACHE_DIRECTORY" || launch.env.count(k))
        argv.push_back("--setenv=" + k + "=" + v);
  }
  argv.push_back(launch.program.empty() ? BridgeExecutable() : launch.program);
  argv.insert(argv.end(), launch.args.begin(), launch.args.end());

  const std::string out = FDir + "/stdout", err = FDir + "/stderr";
  const int listenFd = launch.listenFd;
  // Everything is built before fork: the child of a threaded test may not allocate.
  if (listenFd >= 0) env["LISTEN_FDS"] = "1";
  std::vector<std::string> flat;
  for (const auto& [k, v] : env) flat.push_back(k + "=" + v);
  char listenPid[32] = "LISTEN_PID=";
  std::vector<char*> envp, args;
  for (std::string& s : flat) envp.push_back(s.data());
  if (listenFd >= 0) envp.push_back(listenPid);
  envp.push_back(nullptr);
  for (std::string& s : argv) args.push_back(s.data());
  args.push_back(nullptr);
  const pid_t parent = ::getpid();
  FPid = ::fork();
  if (FPid == 0) {
    // A test that dies before its destructors run (a crash, a sanitizer's
    // abort, a kill) takes the program with it instead of leaving it running.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(126);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = ::open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (listenFd >= 0) {
      // dup2 onto 3 clears close-on-exec; a socket already at 3 needs it cleared by hand.
      if (listenFd == 3) ::fcntl(3, F_SETFD, 0);
      else ::dup2(listenFd, 3);
      char digits[16];
      int n = 0;
      for (pid_t p = ::getpid(); p > 0 && n < 15; p /= 10) digits[n++] = static_cast<char>('0' + p % 10);
      char* at = listenPid + 11;
      while (n > 0) *at++ = digits[--n];
      *at = '\0';
    }
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
}

BridgeProcess::~BridgeProcess() {
  Stop();
  std::error_code ignored;
  if (!FDir.empty()) std::filesystem::remove_all(FDir, ignored);
}

int BridgeProcess::WaitListening(int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    const std::string text = Stdout();
    const size_t at = text.find("listening on 127.0.0.1:");
    if (at != std::string::npos && text.find('\n', at) != std::string::npos)
      return std::atoi(text.c_str() + at + std::strlen("listening on 127.0.0.1:"));
    if (!Running()) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

bool BridgeProcess::Running() { return Wait(0) == -1 && !FExited; }

int BridgeProcess::Wait(int timeoutMs) {
  if (FPid <= 0) return -1;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!FExited) {
    int status = 0;
    const pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
      FExited = true;
      FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= until) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return FStatus;
}

void BridgeProcess::Stop() {
  if (FPid <= 0 || FExited) return;
  ::kill(FPid, SIGTERM);
  if (Wait(10000) == -1 && !FExited) {
    ::kill(FPid, SIGKILL);
    Wait(5000);
  }
}

std::string BridgeProcess::Stdout() const { return ReadAll(FDir + "/stdout"); }
std::string BridgeProcess::Stderr() const { return ReadAll(FDir + "/stderr"); }
long BridgeProcess::PeakKb() const { return StatusField(FPid, "VmHWM"); }
long BridgeProcess::ResidentKb() const { return StatusField(FPid, "VmRSS"); }
long BridgeProcess::Threads() const { return StatusField(FPid, "Threads"); }

}  // namespace testing_bridge
