// The real brisvane-bridge (or another of our programs) as a child process of
// a test: its own environment (no proxy variables unless given), stdout and
// stderr in files, and the port it printed. With a listening socket it is started the way systemd starts it
// (the socket as descriptor 3, LISTEN_FDS and LISTEN_PID), optionally through
// systemd-socket-activate. The program is killed when the thread that started
// it ends, so even a test that crashes or is killed leaves nothing running.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace testing_bridge {

std::string BridgeExecutable();

class BridgeProcess {
 public:
  struct Launch {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int listenFd = -1;           // handed over as descriptor 3
    bool socketActivate = false; // through systemd-socket-activate
    std::string program = {};    // empty: the bridge
  };
  explicit BridgeProcess(const Launch& launch);
  ~BridgeProcess();
  BridgeProcess(const BridgeProcess&) = delete;
  BridgeProcess& operator=(const BridgeProcess&) = delete;

  bool Started() const { return FPid > 0; }
  // Waits for the "listening on" line; the port, or 0.
  int WaitListening(int timeoutMs);
  bool Running();
  // The exit code, or -1 while running (or when killed).
  int Wait(int timeoutMs);
  void Stop();
  pid_t Pid() const { return FPid; }
  std::string Stdout() const;
  std::string Stderr() const;
  // Kilobytes from /proc: the peak and the current resident set.
  long PeakKb() const;
  long ResidentKb() const;
  // Threads the process runs now.
  long Threads() const;

 private:
  std::string FDir;
  pid_t FPid = -1;
  bool FExited = false;
  int FStatus = -1;
};

// A listening socket on 127.0.0.1 at a port the system picks; its port.
int ListenOnLoopback(int& port);

}  // namespace testing_bridge
