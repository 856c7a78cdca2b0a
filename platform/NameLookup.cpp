#include "platform/NameLookup.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <thread>

#include "platform/ProcessWide.h"
#include "platform/SocketError.h"

namespace platform {

namespace {
ProcessWide<Resolver> gResolver;
}  // namespace

void SetResolverForTesting(Resolver resolver) { gResolver.Set(std::move(resolver)); }

LookupResult ResolveHost(const std::string& host, std::uint16_t port) {
  LookupResult result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  errno = 0;
  int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (rc != 0) {
    result.error = SocketErrorFromLookup(rc, errno);
    return result;
  }
  for (addrinfo* a = list; a; a = a->ai_next) {
    if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
    address.length = a->ai_addrlen;
    address.SetPort(port);
    result.addresses.push_back(address);
  }
  freeaddrinfo(list);
  if (result.addresses.empty()) result.error = 11004;
  return result;
}

struct NameLookup::State {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  LookupResult result;
  std::thread thread;
};

NameLookup::NameLookup(const std::string& host, std::uint16_t port) : FState(std::make_shared<State>()) {
  Resolver resolver = gResolver.Get();
  if (!resolver) resolver = ResolveHost;
  // The thread holds the state itself, so an abandoned lookup writes into memory that is still alive.
  FState->thread = std::thread([state = FState, resolver, host, port] {
    LookupResult result = resolver(host, port);
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->result = std::move(result);
      state->finished = true;
    }
    state->done.notify_all();
  });
}

NameLookup::~NameLookup() {
  if (Finished())
    FState->thread.join();
  else
    FState->thread.detach();
}

bool NameLookup::Wait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(FState->mutex);
  return FState->done.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                               [&] { return FState->finished; });
}

bool NameLookup::Finished() const {
  std::lock_guard<std::mutex> lock(FState->mutex);
  return FState->finished;
}

LookupResult NameLookup::Result() const {
  std::lock_guard<std::mutex> lock(FState->mutex);
  return FState->result;
}

}  // namespace platform
