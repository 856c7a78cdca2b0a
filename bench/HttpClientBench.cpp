// The HTTP client over loopback against a stock command-line client fetching
// the same replies from the same server in the same run: requests per second
// for a 4 KB reply and throughput for a 10 MB body.
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "online/THttpClient.h"

extern char** environ;

namespace {

// Answers every connection with the same reply, then closes it.
class FixedReplyServer {
 public:
  explicit FixedReplyServer(size_t bodySize) {
    FReply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(bodySize) + "\r\n\r\n";
    for (size_t i = 0; i < bodySize; ++i) FReply += static_cast<char>('a' + i % 26);
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(FListen, 64) != 0) std::abort();
    socklen_t len = sizeof a;
    getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
    FPort = ntohs(a.sin_port);
    FThread = std::thread([this] { Serve(); });
  }
  ~FixedReplyServer() {
    FStop.store(true);
    FThread.join();
    ::close(FListen);
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(FPort) + path; }

 private:
  void Serve() {
    while (!FStop.load()) {
      pollfd p{FListen, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      size_t sent = 0;
      while (sent < FReply.size()) {
        ssize_t n = ::send(fd, FReply.data() + sent, FReply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      ::close(fd);
    }
  }
  std::string FReply;
  int FListen = -1;
  int FPort = 0;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// One curl process fetching count URLs in a row, its output discarded.
bool RunCurl(const std::string& url, int count) {
  std::string target = count > 1 ? url + "?n=[1-" + std::to_string(count) + "]" : url;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string a0 = "curl", a1 = "-s", a2 = "--http1.0";
  char* argv[] = {a0.data(), a1.data(), a2.data(), target.data(), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "curl", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr size_t kSmall = 4096;
constexpr size_t kLarge = 10 * 1000 * 1000;

void BM_THttpClient_4KB(benchmark::State& state) {
  FixedReplyServer server(kSmall);
  online::THttpClient client(nullptr);
  client.SetTimeOut(5000);
  for (auto _ : state) {
    client.Get(server.Url("/feed"));
    if (client.GetBody().size() != kSmall) state.SkipWithError("short body");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_THttpClient_4KB)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_Curl_4KB(benchmark::State& state) {
  FixedReplyServer server(kSmall);
  constexpr int kPerProcess = 100;
  for (auto _ : state)
    if (!RunCurl(server.Url("/feed"), kPerProcess)) state.SkipWithError("curl failed or missing");
  state.SetItemsProcessed(state.iterations() * kPerProcess);
}
BENCHMARK(BM_Curl_4KB)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_THttpClient_10MB(benchmark::State& state) {
  FixedReplyServer server(kLarge);
  online::THttpClient client(nullptr);
  client.SetTimeOut(5000);
  for (auto _ : state) {
    client.Get(server.Url("/big"));
    if (client.GetBody().size() != kLarge) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kLarge));
}
BENCHMARK(BM_THttpClient_10MB)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Curl_10MB(benchmark::State& state) {
  FixedReplyServer server(kLarge);
  constexpr int kPerProcess = 5;
  for (auto _ : state)
    if (!RunCurl(server.Url("/big"), kPerProcess)) state.SkipWithError("curl failed or missing");
  state.SetBytesProcessed(state.iterations() * kPerProcess * static_cast<int64_t>(kLarge));
}
BENCHMARK(BM_Curl_10MB)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
