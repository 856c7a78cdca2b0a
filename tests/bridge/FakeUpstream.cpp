#include "FakeUpstream.h"

#include "BridgeProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>

namespace testing_bridge {

struct FakeUpstream::Connection::Impl {
  int fd = -1;
  SSL* ssl = nullptr;
  const std::atomic<bool>* stopping = nullptr;
};

namespace {

// Reads up to the empty line, bounded in bytes and time.
bool ReadHead(int fd, SSL* ssl, std::string& head, const std::atomic<bool>& stopping) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < (1u << 20)) {
    if (stopping.load() || std::chrono::steady_clock::now() > until) return false;
    if (!ssl || SSL_pending(ssl) == 0) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
    }
    char buffer[4096];
    int n = ssl ? SSL_read(ssl, buffer, sizeof buffer) : static_cast<int>(::recv(fd, buffer, sizeof buffer, 0));
    if (n <= 0) return false;
    head.append(buffer, static_cast<size_t>(n));
  }
  return head.find("\r\n\r\n") != std::string::npos;
}

FakeUpstream::Request ParseHead(const std::string& head) {
  FakeUpstream::Request r;
  r.head = head.substr(0, head.find("\r\n\r\n") + 2);
  const size_t sp1 = head.find(' '), sp2 = head.find(' ', sp1 + 1);
  if (sp1 != std::string::npos) r.method = head.substr(0, sp1);
  if (sp2 != std::string::npos) r.target = head.substr(sp1 + 1, sp2 - sp1 - 1);
  return r;
}

}  // namespace

std::string FakeUpstream::Request::Header(const std::string& name) const {
  std::string lowerHead = head, lowerName = name + ":";
  for (char& c : lowerHead) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : lowerName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t at = lowerHead.find("\r\n" + lowerName);
  if (at == std::string::npos) return {};
  size_t start = at + 2 + lowerName.size();
  while (start < head.size() && head[start] == ' ') ++start;
  return head.substr(start, head.find("\r\n", start) - start);
}

bool FakeUpstream::Connection::Send(const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    if (Stopping()) return false;
    pollfd p{FImpl->fd, POLLOUT, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    if (p.revents & (POLLERR | POLLHUP)) return false;
    const size_t chunk = std::min<size_t>(data.size() - sent, 16384);
    int n = FImpl->ssl ? SSL_write(FImpl->ssl, data.data() + sent, static_cast<int>(chunk))
                       : static_cast<int>(::send(FImpl->fd, data.data() + sent, chunk, MSG_NOSIGNAL));
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool FakeUpstream::Connection::Stopping() const { return FImpl->stopping->load(); }

void FakeUpstream::Connection::Sleep(int ms) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!Stopping() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

FakeUpstream::FakeUpstream(Handler handler, const TlsFiles* tls, bool connectPreamble)
    : FHandler(std::move(handler)), FTls(tls != nullptr), FConnect(connectPreamble) {
  if (tls) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, tls->certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, tls->key.c_str(), SSL_FILETYPE_PEM) != 1) {
      if (ctx) SSL_CTX_free(ctx);
      return;
    }
    FContext = ctx;
  }
  FListen = ListenOnLoopback(FPort);
  if (FListen < 0) return;
  FAcceptor = std::thread([this] { Accept(); });
}

FakeUpstream::~FakeUpstream() {
  FStopping.store(true);
  if (FAcceptor.joinable()) FAcceptor.join();
  for (Worker& w : FWorkers)
    if (w.thread.joinable()) w.thread.join();
  if (FListen >= 0) ::close(FListen);
  if (FContext) SSL_CTX_free(static_cast<SSL_CTX*>(FContext));
}

std::string FakeUpstream::Url(const std::string& path) const {
  return std::string(FTls && !FConnect ? "https" : "http") + "://127.0.0.1:" + std::to_string(FPort) + path;
}

std::vector<FakeUpstream::Request> FakeUpstream::Requests() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FRequests;
}

void FakeUpstream::Accept() {
  while (!FStopping.load()) {
    pollfd p{FListen, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    FConnections.fetch_add(1);
    // Finished connections give their threads back; a bound for runaway tests.
    std::erase_if(FWorkers, [](Worker& w) {
      if (!w.done->load()) return false;
      w.thread.join();
      return true;
    });
    if (FWorkers.size() >= 2000) {
      ::close(fd);
      continue;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    FWorkers.push_back(Worker{std::thread([this, fd, done] {
                                Serve(fd);
                                done->store(true);
                              }),
                              done});
  }
}

void FakeUpstream::Serve(int fd) {
  Connection::Impl impl;
  impl.fd = fd;
  impl.stopping = &FStopping;
  Connection connection;
  connection.FImpl = &impl;
  std::string preamble;
  if (FConnect) {
    if (!ReadHead(fd, nullptr, preamble, FStopping)) {
      ::close(fd);
      return;
    }
    const std::string ok = "HTTP/1.1 200 Connection established\r\n\r\n";
    ::send(fd, ok.data(), ok.size(), MSG_NOSIGNAL);
  }
  if (FContext) {
    impl.ssl = SSL_new(static_cast<SSL_CTX*>(FContext));
    SSL_set_fd(impl.ssl, fd);
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (SSL_accept(impl.ssl) != 1) {
      SSL_free(impl.ssl);
      ::close(fd);
      return;
    }
  }
  std::string head;
  if (ReadHead(fd, impl.ssl, head, FStopping)) {
    Request request = ParseHead(head);
    request.connect = preamble.substr(0, preamble.find("\r\n\r\n") + 2);
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FRequests.push_back(request);
    }
    FHandler(request, connection);
  }
  if (impl.ssl) {
    SSL_shutdown(impl.ssl);
    SSL_free(impl.ssl);
  }
  ::close(fd);
}

std::string FakeUpstream::Reply(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

FakeUpstream::Handler FakeUpstream::Routes(std::map<std::string, std::string> replies) {
  return [replies = std::move(replies)](const Request& r, Connection& c) {
    std::string path = r.target.substr(0, r.target.find('?'));
    if (path.starts_with("http://")) path = path.substr(path.find('/', 7) == std::string::npos ? path.size() : path.find('/', 7));
    auto it = replies.find(path);
    c.Send(it != replies.end() ? it->second : Reply("404 Not Found", "Content-Type: text/html\r\n", "<html>no</html>"));
  };
}

}  // namespace testing_bridge
