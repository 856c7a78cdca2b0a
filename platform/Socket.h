// A non-blocking TCP socket over POSIX sockets and poll. Every failure comes back
// as a Winsock-numbered code (platform/SocketError.h); nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>

namespace platform {

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int Family() const { return storage.ss_family; }
  void SetPort(std::uint16_t port);
  std::string ToString() const;
};

// A dotted IPv4 address (four decimal numbers 0..255) is used without a lookup.
bool ParseDottedIPv4(const std::string& text, std::uint16_t port, SocketAddress& out);

class Socket {
 public:
  enum class State { Connected, Pending, Failed };

  Socket() = default;
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Opens a fresh unconnected socket of the family, closing any previous one.
  // Returns 0 or the error code.
  int Open(int family = AF_INET);
  void Close();
  bool IsOpen() const { return FFd >= 0; }
  int Family() const { return FFamily; }

  // Starts a connect; Pending is the normal result (the would-block case).
  State StartConnect(const SocketAddress& address, int& error);
  // Waits up to timeoutMs for a pending connect to end.
  State WaitConnect(int timeoutMs, int& error);

  // Sends what the socket takes now: the byte count (0 when it would block), or
  // -1 with error set.
  long Send(const char* data, std::size_t length, int& error);
  bool WaitWritable(int timeoutMs);
  // True when data, the end of the stream or an error can be read without waiting.
  bool WaitReadable(int timeoutMs);
  // The byte count, 0 at the end of the stream, or -1 with error set
  // (WSAEWOULDBLOCK when nothing is waiting).
  long Receive(char* buffer, std::size_t length, int& error);

 private:
  int Poll(short events, int timeoutMs);
  int FFd = -1;
  int FFamily = 0;
};

}  // namespace platform
