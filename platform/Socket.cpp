#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include "platform/SocketError.h"

namespace platform {

void SocketAddress::SetPort(std::uint16_t port) {
  if (Family() == AF_INET) reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
  if (Family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
}

std::string SocketAddress::ToString() const {
  char text[INET6_ADDRSTRLEN] = "";
  if (Family() == AF_INET) inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr, text, sizeof text);
  if (Family() == AF_INET6) inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, text, sizeof text);
  return text;
}

bool ParseDottedIPv4(const std::string& text, std::uint16_t port, SocketAddress& out) {
  // Strictly four decimal fields: inet_aton would also take "10" or "0x7f.1".
  unsigned value[4];
  size_t i = 0;
  for (int field = 0; field < 4; ++field) {
    if (field > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    size_t start = i;
    unsigned v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) v = v * 10 + unsigned(text[i++] - '0');
    if (i == start || v > 255) return false;
    value[field] = v;
  }
  if (i != text.size()) return false;
  out = SocketAddress{};
  auto* sin = reinterpret_cast<sockaddr_in*>(&out.storage);
  sin->sin_family = AF_INET;
  sin->sin_port = htons(port);
  sin->sin_addr.s_addr = htonl((value[0] << 24) | (value[1] << 16) | (value[2] << 8) | value[3]);
  out.length = sizeof(sockaddr_in);
  return true;
}

Socket::~Socket() { Close(); }

int Socket::Open(int family) {
  Close();
  int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return SocketErrorFromErrno(errno);
  // Requests are one small write each; do not hold it back.
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  FFd = fd;
  FFamily = family;
  return 0;
}

void Socket::Close() {
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
}

int Socket::Poll(short events, int timeoutMs) {
  if (FFd < 0) return -1;
  pollfd p{FFd, events, 0};
  int n;
  do n = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
  while (n < 0 && errno == EINTR);
  return n > 0 ? p.revents : n;
}

Socket::State Socket::StartConnect(const SocketAddress& address, int& error) {
  error = 0;
  if (FFd < 0) {
    error = 10038;
    return State::Failed;
  }
  int rc;
  do rc = ::connect(FFd, reinterpret_cast<const sockaddr*>(&address.storage), address.length);
  while (rc < 0 && errno == EINTR);
  if (rc == 0) return State::Connected;
  if (errno == EINPROGRESS || errno == EAGAIN) return State::Pending;
  error = SocketErrorFromErrno(errno);
  return State::Failed;
}

Socket::State Socket::WaitConnect(int timeoutMs, int& error) {
  error = 0;
  int revents = Poll(POLLOUT, timeoutMs);
  if (revents < 0) {
    error = FFd < 0 ? 10038 : SocketErrorFromErrno(errno);
    return State::Failed;
  }
  if (revents == 0) return State::Pending;
  int soError = 0;
  socklen_t len = sizeof soError;
  if (getsockopt(FFd, SOL_SOCKET, SO_ERROR, &soError, &len) < 0) soError = errno;
  if (soError == 0 && (revents & (POLLERR | POLLHUP))) soError = ECONNREFUSED;
  if (soError == 0) return State::Connected;
  error = SocketErrorFromErrno(soError);
  return State::Failed;
}

long Socket::Send(const char* data, std::size_t length, int& error) {
  error = 0;
  if (FFd < 0) {
    error = 10038;
    return -1;
  }
  ssize_t n;
  // MSG_NOSIGNAL: a peer that went away is an error code, not a SIGPIPE.
  do n = ::send(FFd, data, length, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  if (n >= 0) return static_cast<long>(n);
  if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
  error = SocketErrorFromErrno(errno);
  return -1;
}

bool Socket::WaitWritable(int timeoutMs) { return Poll(POLLOUT, timeoutMs) != 0; }

bool Socket::WaitReadable(int timeoutMs) { return Poll(POLLIN, timeoutMs) != 0; }

long Socket::Receive(char* buffer, std::size_t length, int& error) {
  error = 0;
  if (FFd < 0) {
    error = 10038;
    return -1;
  }
  ssize_t n;
  do n = ::recv(FFd, buffer, length, 0);
  while (n < 0 && errno == EINTR);
  if (n >= 0) return static_cast<long>(n);
  error = SocketErrorFromErrno(errno);
  return -1;
}

}  // namespace platform
