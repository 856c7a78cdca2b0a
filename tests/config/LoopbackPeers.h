// The peers of the RSS News page's tests, all on loopback: the local feed
// server as a child process, and a listener that takes connections but never
// answers (or, unlistened, refuses them).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "online/ChildProcess.h"

namespace testing_support {

// brisvane-feedserver on a port the system chose, logging every request line;
// stopped with the object.
class FeedServer {
 public:
  explicit FeedServer(const std::vector<std::string>& args) {
    const char* root = std::getenv("BRISVANE_SOURCE_DIR");
    std::vector<std::string> argv{testing_online::FindProgram("python3"),
                                  std::string(root ? root : ".") + "/tools/feedserver/brisvane-feedserver", "--quiet",
                                  "--log", FLogDir.Path() + "/requests"};
    argv.insert(argv.end(), args.begin(), args.end());
    FProcess = std::make_unique<testing_online::ChildProcess>(argv);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      const std::string out = FProcess->Stdout();
      const std::string mark = "listening on 127.0.0.1:";
      if (size_t at = out.find(mark); at != std::string::npos && out.find('\n', at) != std::string::npos) {
        FPort = std::atoi(out.c_str() + at + mark.size());
        return;
      }
      if (FProcess->Wait(0) >= 0) return;  // ended: a bad argument
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  int Port() const { return FPort; }
  std::string Stderr() const { return FProcess->Stderr(); }
  // Every request line received so far, in order.
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines;
    std::string text = ReadAll(FLogDir.Path() + "/requests");
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

 private:
  static std::string ReadAll(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
      std::fclose(f);
    }
    return text;
  }

  testing_online::TempDir FLogDir;
  std::unique_ptr<testing_online::ChildProcess> FProcess;
  int FPort = 0;
};

// A TCP socket bound to a loopback port of the system's choice and kept for
// the object's life. Listening, the system completes every connection and
// nothing ever answers; not listening, every connection is refused.
class SilentPeer {
 public:
  explicit SilentPeer(bool listening) {
    FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FSocket < 0 || ::bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(FSocket, 16) != 0) ||
        ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    FPort = ntohs(address.sin_port);
  }
  ~SilentPeer() {
    for (int c : FAccepted) ::close(c);
    if (FSocket >= 0) ::close(FSocket);
  }
  SilentPeer(const SilentPeer&) = delete;
  SilentPeer& operator=(const SilentPeer&) = delete;

  int Port() const { return FPort; }
  // Takes the connections that arrived since the last call; how many.
  int TakeConnections() {
    int count = 0;
    for (;;) {
      const int c = ::accept4(FSocket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (c < 0) return count;
      FAccepted.push_back(c);
      ++count;
    }
  }

 private:
  int FSocket = -1;
  int FPort = 0;
  std::vector<int> FAccepted;
};

}  // namespace testing_support
