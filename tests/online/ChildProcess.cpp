#include "ChildProcess.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testing_online {

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-online-XXXXXX").string();
  if (char* made = ::mkdtemp(pattern.data())) FPath = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!FPath.empty()) std::filesystem::remove_all(FPath, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  std::string file = FPath + "/" + name;
  std::ofstream(file, std::ios::binary) << content;
  return file;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workDir) {
  if (argv.empty() || FFiles.Path().empty()) return;
  std::string out = FFiles.Path() + "/stdout", err = FFiles.Path() + "/stderr";
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  FPid = ::fork();
  if (FPid == 0) {
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int in = ::open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(126);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() { Stop(); }

int ChildProcess::Wait(int timeoutMs) {
  if (FPid <= 0) return -1;
  auto start = std::chrono::steady_clock::now();
  while (!FExited) {
    int status = 0;
    pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
      FExited = true;
      FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (r < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeoutMs)) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return FExited ? FStatus : -1;
}

void ChildProcess::Stop() {
  if (FPid <= 0 || FExited) return;
  ::kill(FPid, SIGTERM);
  if (Wait(3000) == -1 && !FExited) {
    ::kill(FPid, SIGKILL);
    Wait(3000);
  }
}

static std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ChildProcess::Stdout() const { return ReadAll(FFiles.Path() + "/stdout"); }
std::string ChildProcess::Stderr() const { return ReadAll(FFiles.Path() + "/stderr"); }

bool WaitForListener(int port, int timeoutMs) {
  auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(timeoutMs)) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0) ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace testing_online
