#include "bridge/ListenSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "bridge/AddressPolicy.h"

namespace bridge {

namespace {

int BoundPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return PortOf(reinterpret_cast<sockaddr*>(&address));
}

}  // namespace

ListenSocket ListenSocket::FromSystemd(std::string& error) {
  ListenSocket s;
  const int count = sd_listen_fds(1);
  if (count <= 0) return s;
  if (count > 1) {
    error = "systemd passed " + std::to_string(count) + " sockets; the bridge takes one";
    return s;
  }
  const int fd = SD_LISTEN_FDS_START;
  if (sd_is_socket(fd, AF_UNSPEC, SOCK_STREAM, 1) <= 0) {
    error = "the socket systemd passed is not a listening stream socket (Accept=no is needed)";
    return s;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  s.fd = fd;
  s.port = BoundPort(fd);
  s.activated = true;
  return s;
}

ListenSocket ListenSocket::OnLoopback(int port, std::string& error) {
  ListenSocket s;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return s;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 128) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(fd);
    return s;
  }
  s.fd = fd;
  s.port = BoundPort(fd);
  return s;
}

}  // namespace bridge
