// What the bridge answers, apart from how it is served: the saver's legacy
// weather request, the feed directory, and any other http address as a news
// feed, each from the cache while it is fresh, else from a fetch job whose
// reply (or, when upstream fails, the last good reply of the past six hours)
// the server hands on.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/BridgeReply.h"
#include "bridge/FetchPool.h"
#include "bridge/ReplyCache.h"
#include "bridge/UpstreamFetcher.h"
#include "bridge/Url.h"
#include "bridge/WeatherReport.h"

namespace bridge {

enum class WeatherSource { OpenMeteo, MetNo };

struct ServiceOptions {
  std::string openMeteoBase;
  std::string metnoBase;
  WeatherSource source = WeatherSource::OpenMeteo;
  FetcherOptions fetcher;
  std::string cacheDirectory;  // empty: memory only
  std::size_t workers = 4;
  // Seconds since the epoch; tests move it.
  std::function<std::int64_t()> clock;
};

class BridgeService {
 public:
  static constexpr std::int64_t kWeatherFresh = 30 * 60;
  static constexpr std::int64_t kFeedFresh = 10 * 60;
  static constexpr std::int64_t kStaleLimit = 6 * 3600;
  static constexpr std::string_view kWeatherHost = "weather.yahooapis.com";
  static constexpr std::string_view kWeatherPath = "/forecastrss";

  explicit BridgeService(ServiceOptions options);
  ~BridgeService();
  bool Ready(std::string& error) const;

  // Either a reply at once, or a job to wait for; then Finish gives the reply.
  struct Answer {
    std::optional<BridgeReply> reply;
    std::shared_ptr<FetchJob> job;
    std::string key;
    BridgeReply unavailable;  // when the wait ends before the job
  };
  // target: the request-target as sent (absolute form from a proxy client,
  // or a path with the Host header).
  Answer Begin(std::string_view method, std::string_view target, std::string_view hostHeader);
  BridgeReply Finish(const Answer& answer);

  std::size_t Busy() const { return FPool.Busy(); }
  ReplyCache& Cache() { return FCache; }
  void Stop();

 private:
  Answer Weather(const Url& url);
  Answer News(const Url& url);
  Answer FromCacheOrJob(const std::string& key, FetchPool::Work work, BridgeReply unavailable);
  JobOutcome FetchWeather(const std::string& key, const std::string& code, TemperatureUnit unit,
                          const std::atomic<bool>& cancel);
  JobOutcome FetchFeed(const std::string& key, const std::string& address, const std::string& host,
                       const std::atomic<bool>& cancel);
  std::int64_t Now() const;

  ServiceOptions FOptions;
  UpstreamFetcher FFetcher;
  ReplyCache FCache;
  FetchPool FPool;
};

// The lifetime an upstream's Expires or Cache-Control asks for, in seconds
// from now, or nothing when it asks for none.
std::optional<std::int64_t> UpstreamLifetime(const FetchResult& result, std::int64_t now);
// A served reply from a cache entry, marked with its age.
BridgeReply ReplyFromCache(const CachedReply& entry, std::int64_t now, bool stale);

}  // namespace bridge
