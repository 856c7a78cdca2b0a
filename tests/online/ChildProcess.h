// Real peers and the fetch tool, run as child processes by the tests.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_online {

// The full path of a program on PATH, or empty when it is not installed.
std::string FindProgram(const std::string& name);

// A fresh private directory, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return FPath; }
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string FPath;
};

// A child whose standard output and error go to files; killed when destroyed.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& workDir = "");
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return FPid > 0; }
  // Waits up to timeoutMs for the exit; the exit code, or -1 (still running or killed).
  int Wait(int timeoutMs);
  void Stop();
  std::string Stdout() const;
  std::string Stderr() const;

 private:
  TempDir FFiles;
  pid_t FPid = -1;
  int FStatus = -1;
  bool FExited = false;
};

// Waits (bounded) until something accepts connections on the loopback port.
bool WaitForListener(int port, int timeoutMs);

}  // namespace testing_online
