// A scripted upstream on loopback for the bridge's tests: plain HTTP or TLS
// with a test CA's certificate, optionally behind a CONNECT preamble so it can
// stand in for a user's proxy. Each connection runs on its own thread.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_bridge {

struct TlsFiles {
  std::string certificate;  // PEM, leaf first
  std::string key;
};

class FakeUpstream {
 public:
  struct Request {
    std::string method;
    std::string target;
    std::string head;     // request line and header lines as received
    std::string connect;  // the CONNECT preamble, when there was one
    std::string Header(const std::string& name) const;
  };

  class Connection {
   public:
    // Sends everything; false when the peer went or the server stops.
    bool Send(const std::string& data);
    bool Stopping() const;
    void Sleep(int ms) const;

   private:
    friend class FakeUpstream;
    struct Impl;
    Impl* FImpl = nullptr;
  };
  using Handler = std::function<void(const Request&, Connection&)>;

  explicit FakeUpstream(Handler handler, const TlsFiles* tls = nullptr, bool connectPreamble = false);
  ~FakeUpstream();
  FakeUpstream(const FakeUpstream&) = delete;
  FakeUpstream& operator=(const FakeUpstream&) = delete;

  bool Ok() const { return FListen >= 0; }
  int Port() const { return FPort; }
  // http:// or https://127.0.0.1:port + path.
  std::string Url(const std::string& path = "/") const;
  std::vector<Request> Requests() const;
  int Connections() const { return FConnections.load(); }

  // A complete reply: status line text ("200 OK"), extra header lines each
  // ending in CR LF, body; with Content-Length.
  static std::string Reply(const std::string& status, const std::string& headers, const std::string& body);
  // Answers by path (the target without its query), 404 for others.
  static Handler Routes(std::map<std::string, std::string> replies);

 private:
  void Accept();
  void Serve(int fd);

  Handler FHandler;
  bool FTls = false;
  bool FConnect = false;
  void* FContext = nullptr;  // SSL_CTX
  int FListen = -1;
  int FPort = 0;
  std::atomic<bool> FStopping{false};
  std::atomic<int> FConnections{0};
  mutable std::mutex FMutex;
  std::vector<Request> FRequests;
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> FWorkers;
  std::thread FAcceptor;
};

}  // namespace testing_bridge
