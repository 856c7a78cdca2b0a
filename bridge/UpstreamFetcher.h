// One upstream GET with libcurl, bounded every way a hostile server could
// stretch it: http and https only (redirects too, each hop checked here), at
// most five redirects, connect and total time-outs, a body cap counted on the
// decoded bytes as they arrive, and connections only to public addresses.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bridge/ProxyEnvironment.h"

namespace bridge {

struct FetchRequest {
  std::string url;
  std::string userAgent = "brisvane-bridge/1.0";
  std::vector<std::string> headers;  // extra request header lines
  std::size_t maxBytes = 4u << 20;
  std::chrono::milliseconds timeout{20000};  // the whole chain of redirects
  const std::atomic<bool>* cancel = nullptr;
};

struct FetchResult {
  enum class Outcome { Ok, Refused, TooLarge, TooManyRedirects, TimedOut, Cancelled, Failed };
  Outcome outcome = Outcome::Failed;
  long status = 0;
  std::string body;
  std::map<std::string, std::string> headers;  // of the last reply; names in lower case
  std::string finalUrl;
  int redirects = 0;
  std::string error;

  bool Ok() const { return outcome == Outcome::Ok; }
  std::string Header(const std::string& lowerName) const;
};

struct FetcherOptions {
  bool allowLoopback = false;
  int ownPort = 0;          // the bridge's own port: never a target, even on loopback
  std::string extraCaFile;  // trusted beside the system's bundle
  EnvironmentLookup environment;
  static constexpr int kMaxRedirects = 5;
  std::chrono::milliseconds connectTimeout{10000};
};

class UpstreamFetcher {
 public:
  explicit UpstreamFetcher(FetcherOptions options);
  // False (with a reason) when the extra CA file cannot be read.
  bool Ready(std::string& error) const;
  FetchResult Fetch(const FetchRequest& request) const;

 private:
  FetcherOptions FOptions;
  ProxyEnvironment FProxies;
  std::string FCaBundle;  // system bundle plus the extra CA, when one is given
  std::string FCaError;
};

}  // namespace bridge
