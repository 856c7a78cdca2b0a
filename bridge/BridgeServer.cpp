#include "bridge/BridgeServer.h"

#include <microhttpd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "bridge/AddressPolicy.h"

namespace bridge {

// Resumes its suspended connection once, from whichever comes first: the job
// finishing or the deadline.
struct BridgeServer::Waker {
  explicit Waker(MHD_Connection* c) : connection(c) {}
  void Fire() {
    if (!fired.exchange(true)) MHD_resume_connection(connection);
  }
  MHD_Connection* connection;
  std::atomic<bool> fired{false};
};

struct BridgeServer::RequestState {
  std::string target;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  bool begun = false;
  bool sent = false;
  BridgeService::Answer answer;
  std::shared_ptr<Waker> waker;
  int status = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

MHD_Result Send(MHD_Connection* connection, const BridgeReply& reply) {
  MHD_Response* response = MHD_create_response_from_buffer(reply.body.size(), const_cast<char*>(reply.body.data()),
                                                           MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
  for (const auto& [name, value] : reply.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
  // The saver reads until the connection closes and speaks HTTP/1.0.
  MHD_set_response_options(response,
                           static_cast<MHD_ResponseFlags>(MHD_RF_HTTP_1_0_SERVER | MHD_RF_HTTP_1_0_COMPATIBLE_STRICT),
                           MHD_RO_END);
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
  MHD_destroy_response(response);
  return queued;
}

MHD_Result AcceptLoopback(void*, const sockaddr* address, socklen_t) {
  return ClassifyAddress(address) == AddressClass::Loopback ? MHD_YES : MHD_NO;
}

void* OnUri(void* cls, const char* uri, MHD_Connection*) {
  static_cast<BridgeServer*>(cls)->Touch();
  auto* state = new BridgeServer::RequestState;
  state->target = uri ? uri : "";
  return state;
}

void OnCompleted(void* cls, MHD_Connection*, void** reqCls, MHD_RequestTerminationCode) {
  auto* server = static_cast<BridgeServer*>(cls);
  auto* state = static_cast<BridgeServer::RequestState*>(*reqCls);
  if (!state) return;
  if (server->Options().logRequests && state->status) {
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - state->start).count());
    std::fprintf(stderr, "brisvane-bridge: %d %ld ms %.200s\n", state->status, ms, state->target.c_str());
  }
  delete state;
  *reqCls = nullptr;
}

void OnConnection(void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
  auto* server = static_cast<BridgeServer*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    server->FOpen.fetch_add(1);
    if (const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
      server->Arriving(connection, info->connect_fd);
  } else {
    server->Arrived(connection);
    server->FOpen.fetch_sub(1);
    server->Touch();
  }
}

void Quiet(void*, const char*, va_list) {}

MHD_Result Reply(BridgeServer::RequestState* state, MHD_Connection* connection, const BridgeReply& reply) {
  state->sent = true;
  state->status = reply.status;
  return Send(connection, reply);
}

MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char*, size_t* uploadSize, void** reqCls) {
  auto* server = static_cast<BridgeServer*>(cls);
  auto* state = static_cast<BridgeServer::RequestState*>(*reqCls);
  if (!state) {
    state = new BridgeServer::RequestState;
    state->target = url ? url : "";
    *reqCls = state;
  }
  if (uploadSize) *uploadSize = 0;  // a body is never read
  if (state->sent) return MHD_YES;
  BridgeService& service = server->Service();

  if (!state->begun) {
    state->begun = true;
    server->Arrived(connection);
    const char* host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
    state->answer = service.Begin(method ? method : "", state->target, host ? host : "");
    if (state->answer.reply || state->answer.job->Done()) return Reply(state, connection, service.Finish(state->answer));
    state->waker = std::make_shared<BridgeServer::Waker>(connection);
    server->FSuspended.fetch_add(1);
    MHD_suspend_connection(connection);
    server->Wait(state->waker, state->start + server->Options().replyDeadline);
    // Registered last: a job that finished meanwhile resumes the connection at once.
    state->answer.job->OnDone([waker = state->waker] { waker->Fire(); });
    return MHD_YES;
  }
  // Resumed: the job is done, or the deadline passed.
  server->FSuspended.fetch_sub(1);
  return Reply(state, connection, service.Finish(state->answer));
}

}  // namespace

BridgeServer::BridgeServer(BridgeService& service, ServerOptions options)
    : FService(service), FOptions(options), FLastActivity(Clock::now()) {}

BridgeServer::~BridgeServer() { Stop(); }

bool BridgeServer::Start(std::string& error) {
  if (FOptions.listenFd < 0) {
    error = "no listening socket";
    return false;
  }
  FTimer = std::thread([this] { RunTimer(); });
  FDaemon = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0,
      AcceptLoopback, this, OnRequest, this,
      MHD_OPTION_EXTERNAL_LOGGER, Quiet, this,
      MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(FOptions.listenFd),
      MHD_OPTION_CONNECTION_LIMIT, FOptions.connectionLimit,
      MHD_OPTION_CONNECTION_TIMEOUT, FOptions.idleConnectionSeconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, FOptions.connectionMemory,
      MHD_OPTION_URI_LOG_CALLBACK, OnUri, this,
      MHD_OPTION_NOTIFY_COMPLETED, OnCompleted, this,
      MHD_OPTION_NOTIFY_CONNECTION, OnConnection, this,
      MHD_OPTION_END);
  if (!FDaemon) {
    error = "the HTTP server could not start";
    Stop();
    return false;
  }
  return true;
}

void BridgeServer::Wait(const std::shared_ptr<Waker>& waker, Clock::time_point deadline) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FDeadlines.emplace(deadline, waker);
  }
  FTimerWake.notify_all();
}

void BridgeServer::Arriving(MHD_Connection* connection, int fd) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FArriving[connection] = Arrival{fd, Clock::now() + FOptions.requestArrival};
  }
  FTimerWake.notify_all();
}

void BridgeServer::Arrived(MHD_Connection* connection) {
  std::lock_guard<std::mutex> lock(FMutex);
  FArriving.erase(connection);
}

void BridgeServer::Touch() {
  std::lock_guard<std::mutex> lock(FMutex);
  FLastActivity = Clock::now();
}

Clock::time_point BridgeServer::LastActivity() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FLastActivity;
}

void BridgeServer::RunTimer() {
  std::unique_lock<std::mutex> lock(FMutex);
  while (!FTimerStop) {
    const Clock::time_point now = Clock::now();
    std::vector<std::shared_ptr<Waker>> due;
    while (!FDeadlines.empty() && FDeadlines.begin()->first <= now) {
      if (auto w = FDeadlines.begin()->second.lock()) due.push_back(std::move(w));
      FDeadlines.erase(FDeadlines.begin());
    }
    if (!due.empty()) {
      lock.unlock();
      for (auto& w : due) w->Fire();
      lock.lock();
      continue;
    }
    // Too slow to arrive: the server's thread sees the connection end and
    // closes it as if the client had gone.
    Clock::time_point next = Clock::time_point::max();
    for (auto it = FArriving.begin(); it != FArriving.end();) {
      if (it->second.deadline <= now) {
        ::shutdown(it->second.fd, SHUT_RDWR);
        it = FArriving.erase(it);
      } else {
        next = std::min(next, it->second.deadline);
        ++it;
      }
    }
    if (!FDeadlines.empty()) next = std::min(next, FDeadlines.begin()->first);
    if (next == Clock::time_point::max()) FTimerWake.wait(lock);
    else FTimerWake.wait_until(lock, next);
  }
}

void BridgeServer::Stop() {
  // Jobs end (cancelled), which resumes their waiters; then the rest are due now.
  FService.Stop();
  std::vector<std::shared_ptr<Waker>> waiting;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    for (auto& [when, weak] : FDeadlines)
      if (auto w = weak.lock()) waiting.push_back(std::move(w));
    FDeadlines.clear();
    FTimerStop = true;
  }
  FTimerWake.notify_all();
  for (auto& w : waiting) w->Fire();
  if (FTimer.joinable()) FTimer.join();
  if (FDaemon) {
    // Resumed requests are answered by the server's thread before it stops.
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (FSuspended.load() > 0 && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    MHD_stop_daemon(FDaemon);
    FDaemon = nullptr;
  }
}

}  // namespace bridge
