// brisvane-bridge: answers the saver's weather, news and feed-directory
// requests, reached through its HTTP proxy setting. See --help.
#include <curl/curl.h>
#include <libxml/parser.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "bridge/BridgeOptions.h"
#include "bridge/BridgeServer.h"
#include "bridge/BridgeService.h"
#include "bridge/ListenSocket.h"
#include "bridge/ProxySetup.h"

namespace {

constexpr int kIdleExitSeconds = 600;

// Seconds of idleness before an activated bridge exits; tests shorten it.
int IdleExitSeconds() {
  const char* text = std::getenv("BRISVANE_BRIDGE_IDLE_EXIT");
  const int value = text ? std::atoi(text) : 0;
  return value > 0 ? value : kIdleExitSeconds;
}

// systemd's CacheDirectory= arrives as $CACHE_DIRECTORY (a list when it names several).
std::string CacheDirectory() {
  const char* text = std::getenv("CACHE_DIRECTORY");
  if (!text || text[0] != '/') return {};
  std::string dir = text;
  return dir.substr(0, dir.find(':'));
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  std::optional<bridge::BridgeOptions> options = bridge::BridgeOptions::Parse(argc, argv, error);
  if (!options) {
    std::cerr << "brisvane-bridge: " << error << "\n(see brisvane-bridge --help)\n";
    return 2;
  }
  switch (options->action) {
    case bridge::BridgeOptions::Action::Help: std::cout << bridge::BridgeOptions::Help(); return 0;
    case bridge::BridgeOptions::Action::Enable: return bridge::ProxySetup::Enable(options->port, std::cout);
    case bridge::BridgeOptions::Action::Disable: return bridge::ProxySetup::Disable(options->port, std::cout);
    case bridge::BridgeOptions::Action::Serve: break;
  }

  // Before any thread: the signals are taken by sigtimedwait below, and the
  // libraries' global set-up is not thread-safe.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  xmlInitParser();
  // Room for the connection limit: idle clients must not starve the saver of descriptors.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 4096 && files.rlim_max > files.rlim_cur) {
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &files);
  }

  bridge::ListenSocket listen = bridge::ListenSocket::FromSystemd(error);
  if (!error.empty()) {
    std::cerr << "brisvane-bridge: " << error << "\n";
    return 1;
  }
  if (listen.fd < 0) listen = bridge::ListenSocket::OnLoopback(options->port, error);
  if (listen.fd < 0) {
    std::cerr << "brisvane-bridge: " << error << "\n";
    return 1;
  }

  bridge::ServiceOptions serviceOptions;
  serviceOptions.openMeteoBase = options->openMeteoUrl;
  serviceOptions.metnoBase = options->metnoUrl;
  serviceOptions.source = options->source;
  serviceOptions.cacheDirectory = CacheDirectory();
  serviceOptions.fetcher.allowLoopback = options->allowLoopbackUpstream;
  serviceOptions.fetcher.ownPort = listen.port;
  serviceOptions.fetcher.extraCaFile = options->caFile;
  serviceOptions.fetcher.environment = [](const char* name) -> const char* { return std::getenv(name); };
  bridge::BridgeService service(serviceOptions);
  if (!service.Ready(error)) {
    std::cerr << "brisvane-bridge: " << error << "\n";
    return 1;
  }
  bridge::ServerOptions serverOptions;
  serverOptions.listenFd = listen.fd;
  bridge::BridgeServer server(service, serverOptions);
  if (!server.Start(error)) {
    std::cerr << "brisvane-bridge: " << error << "\n";
    return 1;
  }
  std::printf("brisvane-bridge: listening on 127.0.0.1:%d%s\n", listen.port,
              listen.activated ? " (socket activation)" : "");
  std::fflush(stdout);

  const auto idleLimit = std::chrono::seconds(IdleExitSeconds());
  for (;;) {
    timespec second{1, 0};
    const int signal = sigtimedwait(&stopSignals, nullptr, &second);
    if (signal > 0) break;
    // Activated by systemd: nothing open, nothing fetching, for long enough.
    if (listen.activated && server.OpenConnections() == 0 && service.Busy() == 0 &&
        std::chrono::steady_clock::now() - server.LastActivity() >= idleLimit)
      break;
  }
  server.Stop();
  curl_global_cleanup();
  return 0;
}
