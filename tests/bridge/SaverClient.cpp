#include "SaverClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>

namespace testing_bridge {

std::string SaverReply::Header(const std::string& name) const {
  std::string lowerHead = head, lowerName = "\n" + name + ":";
  for (char& c : lowerHead) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : lowerName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t at = lowerHead.find(lowerName);
  if (at == std::string::npos) return {};
  size_t start = at + lowerName.size();
  while (start < head.size() && head[start] == ' ') ++start;
  size_t end = head.find('\r', start);
  return head.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string SaverRequestText(const std::string& url) {
  std::string host = url.substr(url.find("//") + 2);
  host = host.substr(0, host.find('/'));
  return "GET " + url + " HTTP/1.0\r\n"
         "Proxy-Connection: Keep-Alive\r\n"
         "Host: " + host + "\r\n"
         "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
         "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
         "Content-type: application/x-www-form-urlencoded\r\n\r\n";
}

SaverReply RawRequest(int port, const std::string& request, int timeoutMs) {
  SaverReply reply;
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  };
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) ::close(fd);
    return reply;
  }
  reply.connected = true;
  size_t sent = 0;
  while (sent < request.size() && elapsed() < timeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) break;  // the bridge may close on a request it refuses
    sent += static_cast<size_t>(n);
  }
  std::string data;
  while (elapsed() < timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      reply.closed = true;
      break;
    }
    data.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  reply.elapsedMs = elapsed();
  const size_t end = data.find("\r\n\r\n");
  reply.head = data.substr(0, end);
  reply.body = end == std::string::npos ? std::string() : data.substr(end + 4);
  if (data.starts_with("HTTP/")) reply.status = std::atoi(data.c_str() + data.find(' ') + 1);
  return reply;
}

SaverReply SaverGet(int port, const std::string& url, int timeoutMs) {
  return RawRequest(port, SaverRequestText(url), timeoutMs);
}

}  // namespace testing_bridge
