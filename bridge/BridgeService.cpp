#include "bridge/BridgeService.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <ctime>

#include "bridge/AddressPolicy.h"
#include "bridge/AsciiText.h"
#include "bridge/FeedDirectory.h"
#include "bridge/FeedNormaliser.h"
#include "bridge/LegacyWeatherReply.h"
#include "bridge/LocationCoordinates.h"
#include "bridge/MetNoSource.h"
#include "bridge/NewsAddress.h"
#include "bridge/OpenMeteoSource.h"
#include "config/MakerSite.h"

namespace bridge {

namespace {

constexpr std::size_t kMaxUpstreamBytes = 4u << 20;
constexpr const char* kXml = "text/xml; charset=UTF-8";
const std::string kFeedAgent =
    std::string("brisvane-bridge/1.0 (feed reader of the Brisvane Screensaver; ") + config::kMakerSite + ")";

std::string CharsetOf(const std::string& contentType) {
  const std::string lower = AsciiLower(contentType);
  const std::size_t at = lower.find("charset=");
  if (at == std::string::npos) return {};
  std::string value = contentType.substr(at + 8);
  value = value.substr(0, value.find(';'));
  value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == '"' || c == '\'' || c == ' '; }),
              value.end());
  return value;
}

BridgeReply Xml(std::string body) {
  BridgeReply r;
  r.contentType = kXml;
  r.body = std::move(body);
  return r;
}

BridgeReply FetchFailure(const FetchResult& result, const std::string& what) {
  using O = FetchResult::Outcome;
  switch (result.outcome) {
    case O::Refused: return BridgeReply::Page(403, "Forbidden", what + ": " + result.error);
    case O::TimedOut: return BridgeReply::Page(504, "Gateway Timeout", what + ": " + result.error);
    case O::Cancelled: return BridgeReply::Page(503, "Service Unavailable", what + ": the bridge is stopping");
    case O::TooLarge:
      return BridgeReply::Page(502, "Bad Gateway", what + ": the reply is larger than the bridge accepts");
    case O::TooManyRedirects: return BridgeReply::Page(502, "Bad Gateway", what + ": " + result.error);
    case O::Ok:
    case O::Failed: break;
  }
  return BridgeReply::Page(502, "Bad Gateway", what + ": " + result.error);
}

}  // namespace

std::optional<std::int64_t> UpstreamLifetime(const FetchResult& result, std::int64_t now) {
  const std::string control = AsciiLower(result.Header("cache-control"));
  if (const std::size_t at = control.find("max-age="); at != std::string::npos) {
    std::size_t end = at + 8;
    while (end < control.size() && std::isdigit(static_cast<unsigned char>(control[end]))) ++end;
    if (end > at + 8 && end - at - 8 <= 9) return std::stoll(control.substr(at + 8, end - at - 8));
  }
  const std::string expires = result.Header("expires");
  if (!expires.empty()) {
    const time_t when = curl_getdate(expires.c_str(), nullptr);
    if (when > 0) return std::max<std::int64_t>(0, static_cast<std::int64_t>(when) - now);
  }
  return std::nullopt;
}

BridgeReply ReplyFromCache(const CachedReply& entry, std::int64_t now, bool stale) {
  BridgeReply r;
  r.status = entry.status;
  r.contentType = entry.contentType.empty() ? "application/octet-stream" : entry.contentType;
  r.body = entry.body;
  r.headers.emplace_back("Age", std::to_string(std::max<std::int64_t>(0, now - entry.storedAt)));
  if (stale) r.headers.emplace_back("Warning", "110 brisvane-bridge \"Response is Stale\"");
  return r;
}

BridgeService::BridgeService(ServiceOptions options)
    : FOptions(std::move(options)),
      FFetcher(FOptions.fetcher),
      FCache(FOptions.cacheDirectory),
      FPool(FOptions.workers) {
  if (FOptions.openMeteoBase.empty()) FOptions.openMeteoBase = OpenMeteoSource::kDefaultBase;
  if (FOptions.metnoBase.empty()) FOptions.metnoBase = MetNoSource::kDefaultBase;
  FCache.Prune(Now() - kStaleLimit);
}

BridgeService::~BridgeService() { Stop(); }

void BridgeService::Stop() { FPool.Stop(); }

bool BridgeService::Ready(std::string& error) const { return FFetcher.Ready(error); }

std::int64_t BridgeService::Now() const {
  return FOptions.clock ? FOptions.clock() : static_cast<std::int64_t>(std::time(nullptr));
}

BridgeService::Answer BridgeService::Begin(std::string_view method, std::string_view target,
                                           std::string_view hostHeader) {
  Answer a;
  if (method != "GET") {
    BridgeReply r = BridgeReply::Page(405, "Method Not Allowed", "the bridge answers GET requests only");
    r.headers.emplace_back("Allow", "GET");
    a.reply = r;
    return a;
  }
  std::string absolute;
  const std::string lowerTarget = AsciiLower(target.substr(0, 8));
  if (lowerTarget.starts_with("http://")) {
    absolute = std::string(target);
  } else if (lowerTarget.starts_with("https://")) {
    a.reply = BridgeReply::Page(400, "Bad Request", "ask for the http:// address; the bridge upgrades it itself");
    return a;
  } else if (target.starts_with("/") && !hostHeader.empty()) {
    std::optional<Url> host = Url::Parse("http://" + std::string(hostHeader) + "/");
    if (host && ClassifyHost(host->host) == AddressClass::Loopback) {
      a.reply = BridgeReply::Page(target == "/" ? 200 : 404, target == "/" ? "brisvane-bridge" : "Not Found",
                                  "Weather and news for the Brisvane Screensaver. " + OpenMeteoSource::Credit().text +
                                      "; " + MetNoSource::Credit().text + ".");
      return a;
    }
    absolute = "http://" + std::string(hostHeader) + std::string(target);
  } else {
    a.reply = BridgeReply::Page(400, "Bad Request", "the request names no http address");
    return a;
  }
  std::optional<Url> url = Url::Parse(absolute);
  if (!url) {
    a.reply = BridgeReply::Page(400, "Bad Request", "the address is not a well-formed http address");
    return a;
  }
  if (url->host == kWeatherHost) {
    if (url->path == kWeatherPath) return Weather(*url);
    a.reply = BridgeReply::Page(404, "Not Found", "the weather feed has only " + std::string(kWeatherPath));
    return a;
  }
  if (url->host == FeedDirectory::kHost) {
    if (url->path == FeedDirectory::kCategoryPath) a.reply = Xml(FeedDirectory::CategoryReply());
    else if (url->path == FeedDirectory::kFeedListPath)
      a.reply = Xml(FeedDirectory::FeedListReply(QueryValue(url->query, "category_id")));
    else a.reply = BridgeReply::Page(404, "Not Found", "the directory has no such page");
    return a;
  }
  return News(*url);
}

BridgeService::Answer BridgeService::Weather(const Url& url) {
  const std::string code = QueryValue(url.query, "p");
  const TemperatureUnit unit = AsciiLower(QueryValue(url.query, "u")) == "c" ? TemperatureUnit::Celsius
                                                                        : TemperatureUnit::Fahrenheit;
  if (!FindLocation(code)) {
    Answer a;
    a.reply = BridgeReply::Page(404, "Not Found", "no location has the code " + code.substr(0, 64));
    return a;
  }
  const std::string key = std::string("weather|") + (FOptions.source == WeatherSource::MetNo ? "metno" : "open-meteo") +
                          "|" + AsciiUpper(code) + "|" + (unit == TemperatureUnit::Celsius ? "c" : "f");
  return FromCacheOrJob(
      key, [this, key, code, unit](const std::atomic<bool>& cancel) { return FetchWeather(key, code, unit, cancel); },
      BridgeReply::Page(504, "Gateway Timeout", "the weather service did not answer in time"));
}

BridgeService::Answer BridgeService::News(const Url& url) {
  const std::string address = CurrentFeedAddress(url).value_or(url.ToString());
  const std::string key = "news|" + address;
  const std::string host = url.host;
  return FromCacheOrJob(
      key, [this, key, address, host](const std::atomic<bool>& cancel) { return FetchFeed(key, address, host, cancel); },
      BridgeReply::Page(504, "Gateway Timeout", "the feed did not answer in time"));
}

BridgeService::Answer BridgeService::FromCacheOrJob(const std::string& key, FetchPool::Work work,
                                                    BridgeReply unavailable) {
  Answer a;
  a.key = key;
  const std::int64_t now = Now();
  std::optional<CachedReply> cached = FCache.Find(key);
  const bool usable = cached && now - cached->storedAt <= kStaleLimit;
  if (usable && now < cached->freshUntil) {
    a.reply = ReplyFromCache(*cached, now, false);
    return a;
  }
  a.job = FPool.Submit(key, std::move(work));
  if (!a.job) {
    a.reply = usable ? ReplyFromCache(*cached, now, true)
                     : BridgeReply::Page(503, "Service Unavailable", "too many upstream requests at once");
    return a;
  }
  a.unavailable = std::move(unavailable);
  return a;
}

BridgeReply BridgeService::Finish(const Answer& a) {
  if (a.reply) return *a.reply;
  std::optional<JobOutcome> outcome;
  if (a.job && a.job->Done()) {
    outcome = a.job->Outcome();
    if (outcome->good) return outcome->reply;
  }
  // Upstream failed or is slow: the last good reply stands in for up to six hours.
  const std::int64_t now = Now();
  if (std::optional<CachedReply> cached = FCache.Find(a.key); cached && now - cached->storedAt <= kStaleLimit)
    return ReplyFromCache(*cached, now, true);
  return outcome ? outcome->reply : a.unavailable;
}

JobOutcome BridgeService::FetchWeather(const std::string& key, const std::string& code, TemperatureUnit unit,
                                       const std::atomic<bool>& cancel) {
  const std::optional<Coordinates> where = FindLocation(code);
  const std::string what = "no weather for " + AsciiUpper(code);
  if (!where) return {false, BridgeReply::Page(404, "Not Found", what)};
  const bool metno = FOptions.source == WeatherSource::MetNo;
  const std::optional<CachedReply> previous = FCache.Find(key);
  const std::int64_t now = Now();

  FetchRequest request;
  request.cancel = &cancel;
  request.maxBytes = kMaxUpstreamBytes;
  request.headers.push_back("Accept: application/json");
  if (metno) {
    request.url = MetNoSource::RequestUrl(FOptions.metnoBase, *where);
    request.userAgent = MetNoSource::kUserAgent;
    // The service's terms: ask again only with the Last-Modified it sent.
    if (previous && !previous->lastModified.empty() && !previous->upstreamBody.empty())
      request.headers.push_back("If-Modified-Since: " + previous->lastModified);
  } else {
    request.url = OpenMeteoSource::RequestUrl(FOptions.openMeteoBase, *where, unit);
  }
  const FetchResult result = FFetcher.Fetch(request);
  if (!result.Ok()) return {false, BridgeReply::Page(404, "Not Found", what + ": " + result.error)};

  std::string upstream = result.body;
  std::string lastModified = result.Header("last-modified");
  if (metno && result.status == 304 && previous && !previous->upstreamBody.empty()) {
    upstream = previous->upstreamBody;
    if (lastModified.empty()) lastModified = previous->lastModified;
  } else if (result.status != 200 && result.status != 203) {
    return {false, BridgeReply::Page(404, "Not Found",
                                     what + ": the weather service answered " + std::to_string(result.status))};
  }
  const std::optional<WeatherReport> report =
      metno ? MetNoSource::Parse(upstream, *where, now, unit) : OpenMeteoSource::Parse(upstream);
  if (!report) return {false, BridgeReply::Page(404, "Not Found", what + ": the weather service's reply is unusable")};

  CachedReply entry;
  entry.contentType = kXml;
  entry.body = LegacyWeatherReply(AsciiUpper(code), *where, unit, *report,
                                  metno ? MetNoSource::Credit() : OpenMeteoSource::Credit());
  entry.storedAt = now;
  const std::int64_t asked = std::min(UpstreamLifetime(result, now).value_or(0), kStaleLimit);
  entry.freshUntil = now + std::max(kWeatherFresh, asked);
  if (metno) {
    entry.lastModified = lastModified;
    entry.upstreamBody = upstream;
  }
  FCache.Store(key, entry);
  return {true, ReplyFromCache(entry, now, false)};
}

JobOutcome BridgeService::FetchFeed(const std::string& key, const std::string& address, const std::string& host,
                                    const std::atomic<bool>& cancel) {
  FetchRequest request;
  request.url = address;
  request.cancel = &cancel;
  request.maxBytes = kMaxUpstreamBytes;
  request.userAgent = kFeedAgent;
  request.headers.push_back(
      "Accept: application/rss+xml, application/rdf+xml, application/atom+xml, application/xml;q=0.9, "
      "text/xml;q=0.9, */*;q=0.5");
  const FetchResult result = FFetcher.Fetch(request);
  if (!result.Ok()) return {false, FetchFailure(result, "the feed " + address.substr(0, 200))};

  const std::string contentType = result.Header("content-type");
  if (result.status < 200 || result.status > 299) {
    // An error page is passed on as it came, unless a good reply is cached.
    BridgeReply page;
    page.status = static_cast<int>(result.status);
    page.contentType = contentType.empty() ? "text/html" : contentType;
    page.body = result.body;
    return {false, page};
  }
  const std::int64_t now = Now();
  CachedReply entry;
  entry.storedAt = now;
  entry.freshUntil = now + kFeedFresh;
  if (std::optional<std::string> feed = FeedNormaliser::Normalise(result.body, CharsetOf(contentType), host)) {
    entry.contentType = kXml;
    entry.body = std::move(*feed);
  } else {
    entry.status = static_cast<int>(result.status);
    entry.contentType = contentType.empty() ? "application/octet-stream" : contentType;
    entry.body = result.body;
  }
  FCache.Store(key, entry);
  return {true, ReplyFromCache(entry, now, false)};
}

}  // namespace bridge
