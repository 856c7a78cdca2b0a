// Serves the bridge over HTTP with libmicrohttpd on a listening socket it is
// handed (bound to loopback by the program, or by systemd): absolute-form
// proxy requests, HTTP/1.0 replies with Content-Length, then close. Requests
// that need upstream are suspended until their job is done or their deadline
// passes, so a slow upstream never holds the saver past its time-out.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/BridgeService.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace bridge {

struct ServerOptions {
  int listenFd = -1;
  // Well inside the saver's five seconds.
  std::chrono::milliseconds replyDeadline{3500};
  unsigned connectionLimit = 1024;
  unsigned idleConnectionSeconds = 10;  // silent clients are dropped after this
  // A request must have arrived whole this long after its connection opened:
  // a client that trickles a byte now and then is never silent for long.
  std::chrono::seconds requestArrival{10};
  std::size_t connectionMemory = 16384; // bounds the request line and headers
  bool logRequests = true;
};

class BridgeServer {
 public:
  BridgeServer(BridgeService& service, ServerOptions options);
  ~BridgeServer();
  BridgeServer(const BridgeServer&) = delete;
  BridgeServer& operator=(const BridgeServer&) = delete;

  bool Start(std::string& error);
  // Answers every waiting request, then stops serving.
  void Stop();

  std::size_t OpenConnections() const { return FOpen.load(); }
  // When the last connection closed or the last request arrived.
  std::chrono::steady_clock::time_point LastActivity() const;

  // Public for the library's callbacks.
  struct Waker;
  struct RequestState;
  void Wait(const std::shared_ptr<Waker>& waker, std::chrono::steady_clock::time_point deadline);
  // A connection opened, and its request arrived (or it closed).
  void Arriving(MHD_Connection* connection, int fd);
  void Arrived(MHD_Connection* connection);
  void Touch();
  BridgeService& Service() { return FService; }
  const ServerOptions& Options() const { return FOptions; }
  std::atomic<int> FSuspended{0};
  std::atomic<std::size_t> FOpen{0};

 private:
  void RunTimer();

  BridgeService& FService;
  ServerOptions FOptions;
  MHD_Daemon* FDaemon = nullptr;
  mutable std::mutex FMutex;
  std::condition_variable FTimerWake;
  std::multimap<std::chrono::steady_clock::time_point, std::weak_ptr<Waker>> FDeadlines;
  struct Arrival {
    int fd;
    std::chrono::steady_clock::time_point deadline;
  };
  // Connections whose request is still arriving. An entry goes before MHD
  // closes the socket, so under FMutex the descriptor is still this one's.
  std::map<MHD_Connection*, Arrival> FArriving;
  bool FTimerStop = false;
  std::thread FTimer;
  std::chrono::steady_clock::time_point FLastActivity;
};

}  // namespace bridge
