// A scripted HTTP peer on the loopback interface: each test says what the
// server does with every connection it accepts (one at a time).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_online {

class LoopbackServer {
 public:
  class Connection {
   public:
    Connection(int fd, const std::atomic<bool>& stopping) : FFd(fd), FStopping(stopping) {}
    // Reads up to the empty line that ends a request (or until the peer closes
    // or timeoutMs pass); the bytes are also recorded by the server.
    std::string ReadRequest(int timeoutMs = 5000);
    // Sends everything; false when the peer has gone.
    bool Send(const std::string& data);
    // Waits until the peer closes (true) or timeoutMs pass / the server stops.
    bool WaitPeerClosed(int timeoutMs);
    // Ends the connection with a reset instead of a close.
    void Reset();
    void Sleep(int ms);
    bool Stopping() const { return FStopping.load(); }

   private:
    friend class LoopbackServer;
    int FFd;
    const std::atomic<bool>& FStopping;
    std::string FRequest;
  };
  using Handler = std::function<void(Connection&)>;

  explicit LoopbackServer(Handler handler, bool ipv6 = false);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Ok() const { return FListen >= 0; }
  int Port() const { return FPort; }
  std::string Url(const std::string& path = "/") const;
  std::vector<std::string> Requests() const;
  int ConnectionCount() const { return FConnections.load(); }

  // A handler that reads the request and answers with reply, then closes.
  static Handler Reply(const std::string& reply);
  // A complete HTTP/1.0 reply with the given status line text, extra header lines and body.
  static std::string Response(const std::string& status, const std::string& headers, const std::string& body);

 private:
  void Serve();
  Handler FHandler;
  bool FIpv6;
  int FListen = -1;
  int FPort = 0;
  std::atomic<bool> FStopping{false};
  std::atomic<int> FConnections{0};
  mutable std::mutex FMutex;
  std::vector<std::string> FRequests;
  std::thread FThread;
};

// A loopback port that accepts nothing: its listen queue is full, so a connect
// to it stays pending. Ok() is false when the system would not hold it so.
class PendingConnectTarget {
 public:
  PendingConnectTarget();
  ~PendingConnectTarget();
  bool Ok() const { return FOk; }
  int Port() const { return FPort; }

 private:
  int FListen = -1;
  int FPort = 0;
  bool FOk = false;
  std::vector<int> FFillers;
};

// A loopback port with nothing listening on it.
int ClosedLoopbackPort();
// A loopback port that was free a moment ago, for peers that must be told their port.
int FreeLoopbackPort();
// Milliseconds since start.
long ElapsedMs(std::chrono::steady_clock::time_point start);

}  // namespace testing_online
