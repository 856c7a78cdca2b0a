#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_online {

namespace {

int Listener(bool ipv6, int backlog, int& port) {
  int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage ss{};
  socklen_t len;
  if (ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
    a->sin6_family = AF_INET6;
    a->sin6_addr = in6addr_loopback;
    len = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *a;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) < 0 || ::listen(fd, backlog) < 0) {
    ::close(fd);
    return -1;
  }
  socklen_t got = sizeof ss;
  getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &got);
  port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  return fd;
}

int PollFd(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int n = ::poll(&p, 1, timeoutMs);
  return n > 0 ? p.revents : n;
}

}  // namespace

long ElapsedMs(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

std::string LoopbackServer::Connection::ReadRequest(int timeoutMs) {
  auto start = std::chrono::steady_clock::now();
  while (FRequest.find("\r\n\r\n") == std::string::npos && !Stopping() && ElapsedMs(start) < timeoutMs) {
    if (PollFd(FFd, POLLIN, 20) <= 0) continue;
    char buffer[4096];
    ssize_t n = ::recv(FFd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    FRequest.append(buffer, static_cast<size_t>(n));
  }
  return FRequest;
}

bool LoopbackServer::Connection::Send(const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    if (Stopping()) return false;
    ssize_t n = ::send(FFd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      PollFd(FFd, POLLOUT, 20);
      continue;
    }
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool LoopbackServer::Connection::WaitPeerClosed(int timeoutMs) {
  auto start = std::chrono::steady_clock::now();
  while (!Stopping() && ElapsedMs(start) < timeoutMs) {
    if (PollFd(FFd, POLLIN, 20) <= 0) continue;
    char buffer[4096];
    ssize_t n = ::recv(FFd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return true;
  }
  return false;
}

void LoopbackServer::Connection::Reset() {
  linger l{1, 0};
  setsockopt(FFd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(FFd);
  FFd = -1;
}

void LoopbackServer::Connection::Sleep(int ms) {
  auto start = std::chrono::steady_clock::now();
  while (!Stopping() && ElapsedMs(start) < ms) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

LoopbackServer::LoopbackServer(Handler handler, bool ipv6) : FHandler(std::move(handler)), FIpv6(ipv6) {
  FListen = Listener(ipv6, 16, FPort);
  if (FListen >= 0) FThread = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  FStopping.store(true);
  if (FThread.joinable()) FThread.join();
  if (FListen >= 0) ::close(FListen);
}

std::string LoopbackServer::Url(const std::string& path) const {
  return std::string("http://") + (FIpv6 ? "[::1]" : "127.0.0.1") + ":" + std::to_string(FPort) + path;
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FRequests;
}

void LoopbackServer::Serve() {
  while (!FStopping.load()) {
    if (PollFd(FListen, POLLIN, 20) <= 0) continue;
    int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    FConnections.fetch_add(1);
    Connection connection(fd, FStopping);
    FHandler(connection);
    if (!connection.FRequest.empty()) {
      std::lock_guard<std::mutex> lock(FMutex);
      FRequests.push_back(connection.FRequest);
    }
    if (connection.FFd >= 0) ::close(connection.FFd);
  }
}

LoopbackServer::Handler LoopbackServer::Reply(const std::string& reply) {
  return [reply](Connection& c) {
    c.ReadRequest();
    c.Send(reply);
  };
}

std::string LoopbackServer::Response(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.0 " + status + "\r\n" + headers + "\r\n" + body;
}

PendingConnectTarget::PendingConnectTarget() {
  FListen = Listener(false, 0, FPort);
  if (FListen < 0) return;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(FPort));
  // Fill the queue until a connect no longer completes: later ones then pend too.
  for (int i = 0; i < 8 && !FOk; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    FFillers.push_back(fd);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (PollFd(fd, POLLOUT, 200) == 0) FOk = true;
  }
}

PendingConnectTarget::~PendingConnectTarget() {
  for (int fd : FFillers) ::close(fd);
  if (FListen >= 0) ::close(FListen);
}

int ClosedLoopbackPort() {
  int port = 0;
  int fd = Listener(false, 1, port);
  if (fd >= 0) ::close(fd);
  return port;
}

int FreeLoopbackPort() { return ClosedLoopbackPort(); }

}  // namespace testing_online
