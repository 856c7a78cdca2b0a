// The bridge's listening socket: handed over by systemd socket activation, or
// bound here to 127.0.0.1 only.
#pragma once

#include <string>

namespace bridge {

struct ListenSocket {
  int fd = -1;
  int port = 0;
  bool activated = false;

  // The socket systemd passed (sd_listen_fds), if any; fd stays -1 without one.
  // An error when it passed more than one, or something that is not a
  // listening stream socket.
  static ListenSocket FromSystemd(std::string& error);
  static ListenSocket OnLoopback(int port, std::string& error);
};

}  // namespace bridge
