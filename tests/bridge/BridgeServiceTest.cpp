#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <mutex>

#include "FakeUpstream.h"
#include "SaverSide.h"
#include "WeatherSamples.h"
#include "config/MakerSite.h"
#include "bridge/BridgeService.h"

namespace {

using bridge::BridgeReply;
using bridge::BridgeService;
using testing_bridge::FakeUpstream;

// A service with a clock the test moves and upstreams on loopback.
struct ServiceFixture {
  explicit ServiceFixture(const std::string& openMeteo, const std::string& metno = "",
                          bridge::WeatherSource source = bridge::WeatherSource::OpenMeteo,
                          const std::string& cacheDir = "") {
    bridge::ServiceOptions o;
    o.openMeteoBase = openMeteo;
    o.metnoBase = metno.empty() ? openMeteo : metno;
    o.source = source;
    o.cacheDirectory = cacheDir;
    o.fetcher.allowLoopback = true;
    o.fetcher.environment = [](const char*) -> const char* { return nullptr; };
    o.clock = [this] { return now.load(); };
    service = std::make_unique<BridgeService>(o);
  }
  // The reply the saver would get, waiting (bounded) for the job when there is one.
  BridgeReply Get(const std::string& url, bool* fromJob = nullptr) {
    BridgeService::Answer a = service->Begin("GET", url, "");
    if (fromJob) *fromJob = a.job != nullptr;
    if (a.job) {
      auto done = std::make_shared<std::promise<void>>();
      a.job->OnDone([done] { done->set_value(); });
      EXPECT_EQ(done->get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    }
    return service->Finish(a);
  }
  std::atomic<std::int64_t> now{1706719500};  // 31 January 2024 16:45 UTC
  std::unique_ptr<BridgeService> service;
};

const std::string kWeather = "http://weather.yahooapis.com/forecastrss?p=20001&u=f";

// Upstream that answers with whatever the test has put in place.
struct Scripted {
  std::mutex mutex;
  std::string reply;
  void Set(std::string r) {
    std::lock_guard<std::mutex> lock(mutex);
    reply = std::move(r);
  }
  FakeUpstream::Handler Handler() {
    return [this](const FakeUpstream::Request&, FakeUpstream::Connection& c) {
      std::string r;
      {
        std::lock_guard<std::mutex> lock(mutex);
        r = reply;
      }
      c.Send(r);
    };
  }
};

std::string Json(const std::string& body, const std::string& headers = "") {
  return FakeUpstream::Reply("200 OK", "Content-Type: application/json\r\n" + headers, body);
}

TEST(BridgeService, WeatherIsFreshForHalfAnHourThenStaleForSixHoursWhenUpstreamFails) {
  Scripted upstream;
  upstream.Set(Json(testing_bridge::OpenMeteoSample(3, 1, 41.5)));
  FakeUpstream fake(upstream.Handler());
  ServiceFixture f(fake.Url(""));

  bool fromJob = false;
  BridgeReply first = f.Get(kWeather, &fromJob);
  EXPECT_TRUE(fromJob);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(online::CutWeatherReply(first.body).TodayNow, "42");
  ASSERT_EQ(fake.Requests().size(), 1u);
  EXPECT_NE(fake.Requests()[0].target.find("temperature_unit=fahrenheit"), std::string::npos);

  f.now += 29 * 60;
  EXPECT_EQ(f.Get(kWeather, &fromJob).body, first.body);
  EXPECT_FALSE(fromJob);
  EXPECT_EQ(fake.Requests().size(), 1u);

  upstream.Set(FakeUpstream::Reply("500 Internal Server Error", "", "oops"));
  f.now += 2 * 60;
  BridgeReply stale = f.Get(kWeather, &fromJob);
  EXPECT_TRUE(fromJob);
  EXPECT_EQ(fake.Requests().size(), 2u);
  EXPECT_EQ(stale.status, 200);
  EXPECT_EQ(stale.body, first.body);

  f.now += 6 * 3600;
  BridgeReply gone = f.Get(kWeather);
  EXPECT_EQ(gone.status, 404);
  EXPECT_EQ(online::CutWeatherReply(gone.body).TodayCode, 48);
}

TEST(BridgeService, EachUnitIsItsOwnRequest) {
  Scripted upstream;
  upstream.Set(Json(testing_bridge::OpenMeteoSample(3, 1, 5.2)));
  FakeUpstream fake(upstream.Handler());
  ServiceFixture f(fake.Url(""));
  EXPECT_EQ(f.Get(kWeather).status, 200);
  EXPECT_EQ(f.Get("http://weather.yahooapis.com/forecastrss?p=20001&u=c").status, 200);
  ASSERT_EQ(fake.Requests().size(), 2u);
  EXPECT_NE(fake.Requests()[1].target.find("temperature_unit=celsius"), std::string::npos);
  EXPECT_NE(f.Get("http://weather.yahooapis.com/forecastrss?p=20001&u=f").body.find("temperature=\"F\""),
            std::string::npos);
}

TEST(BridgeService, UnknownLocationsAndUnusableRepliesGiveNotFound) {
  Scripted upstream;
  upstream.Set(Json("{\"error\":true,\"reason\":\"bad\"}"));
  FakeUpstream fake(upstream.Handler());
  ServiceFixture f(fake.Url(""));
  BridgeReply unknown = f.Get("http://weather.yahooapis.com/forecastrss?p=ZZZZ9999&u=f");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(fake.Requests().size(), 0u);
  BridgeReply unusable = f.Get(kWeather);
  EXPECT_EQ(unusable.status, 404);
  EXPECT_TRUE(unusable.body.starts_with("<html>"));
}

TEST(BridgeService, MetNoIsAskedAgainOnlyAfterExpiresAndWithItsLastModified) {
  Scripted upstream;
  const std::string lastModified = "Wed, 31 Jan 2024 14:30:12 GMT";
  // Expires two hours on: longer than our own half hour, so it decides.
  upstream.Set(Json(testing_bridge::MetNoSample(), "Last-Modified: " + lastModified +
                                                        "\r\nExpires: Wed, 31 Jan 2024 17:00:00 GMT\r\n"));
  FakeUpstream fake(upstream.Handler());
  ServiceFixture f(fake.Url(""), fake.Url(""), bridge::WeatherSource::MetNo);
  f.now = 1706713200;  // 15:00 UTC
  BridgeReply first = f.Get(kWeather);
  ASSERT_EQ(first.status, 200);
  EXPECT_EQ(online::CutWeatherReply(first.body).TodayNow, "41");
  ASSERT_EQ(fake.Requests().size(), 1u);
  const FakeUpstream::Request r = fake.Requests()[0];
  EXPECT_TRUE(r.target.starts_with("/weatherapi/locationforecast/2.0/compact?lat=38.9122&lon=-77.0177"));
  // The service's terms: the application and a contact.
  const std::string agent = r.Header("User-Agent");
  EXPECT_TRUE(agent.starts_with("brisvane-bridge/")) << agent;
  EXPECT_NE(agent.find(config::kMakerSite), std::string::npos) << agent;
  EXPECT_EQ(r.Header("If-Modified-Since"), "");
  EXPECT_NE(r.Header("Accept-Encoding"), "");

  f.now += 90 * 60;  // past our half hour, before Expires
  EXPECT_EQ(f.Get(kWeather).body, first.body);
  EXPECT_EQ(fake.Requests().size(), 1u);

  upstream.Set(FakeUpstream::Reply("304 Not Modified", "", ""));
  f.now += 60 * 60;
  BridgeReply again = f.Get(kWeather);
  ASSERT_EQ(fake.Requests().size(), 2u);
  EXPECT_EQ(fake.Requests()[1].Header("If-Modified-Since"), lastModified);
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(online::CutWeatherReply(again.body).TomorrowLow, "24");
}

TEST(BridgeService, FeedsAreFreshForTenMinutesAndJobsAreShared) {
  Scripted upstream;
  upstream.Set(FakeUpstream::Reply("200 OK", "Content-Type: application/rss+xml\r\n",
                                   "<rss><channel><title>T</title><item><title>A</title></item></channel></rss>"));
  FakeUpstream fake(upstream.Handler());
  ServiceFixture f(fake.Url(""));
  const std::string feed = fake.Url("/feed.xml");
  BridgeService::Answer one = f.service->Begin("GET", feed, "");
  BridgeService::Answer two = f.service->Begin("GET", feed, "");
  ASSERT_TRUE(one.job);
  EXPECT_EQ(one.job, two.job);
  f.Get(feed);
  EXPECT_EQ(online::CutNewsReply(f.service->Finish(two).body).RssLine, testing_bridge::TickerLine({"A"}));
  f.now += 9 * 60;
  f.Get(feed);
  EXPECT_EQ(fake.Requests().size(), 1u);
  f.now += 2 * 60;
  f.Get(feed);
  EXPECT_EQ(fake.Requests().size(), 2u);
}

TEST(BridgeService, PagesThatAreNotFeedsPassUnchanged) {
  const std::string page = "<html><body>\xFF not a feed</body></html>";
  FakeUpstream fake(FakeUpstream::Routes({
      {"/page", FakeUpstream::Reply("200 OK", "Content-Type: text/html; charset=x-odd\r\n", page)},
      {"/missing", FakeUpstream::Reply("404 Not Found", "Content-Type: text/plain\r\n", "no such feed")},
  }));
  ServiceFixture f(fake.Url(""));
  BridgeReply passed = f.Get(fake.Url("/page"));
  EXPECT_EQ(passed.status, 200);
  EXPECT_EQ(passed.contentType, "text/html; charset=x-odd");
  EXPECT_EQ(passed.body, page);
  BridgeReply missing = f.Get(fake.Url("/missing"));
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "no such feed");
}

TEST(BridgeService, RequestsTheBridgeDoesNotServe) {
  FakeUpstream fake(FakeUpstream::Routes({}));
  ServiceFixture f(fake.Url(""));
  const std::pair<std::pair<const char*, const char*>, int> cases[] = {
      {{"POST", "http://a.example/"}, 405},
      {{"CONNECT", "news.example:443"}, 405},
      {{"GET", "https://a.example/"}, 400},
      {{"GET", "ftp://a.example/"}, 400},
      {{"GET", "/no-host"}, 400},
      {{"GET", "http://weather.yahooapis.com/other"}, 404},
      {{"GET", "http://www.tarrowind.example/rssdir/other.php"}, 404},
      {{"GET", "http://bad host/"}, 400},
  };
  for (const auto& [request, status] : cases) {
    BridgeService::Answer a = f.service->Begin(request.first, request.second, "");
    ASSERT_TRUE(a.reply) << request.second;
    EXPECT_EQ(a.reply->status, status) << request.first << " " << request.second;
  }
  // A request for the bridge's own address gets its small status page.
  EXPECT_EQ(f.service->Begin("GET", "/", "127.0.0.1:8411").reply->status, 200);
  // An origin-form request with a Host is taken as that address.
  BridgeService::Answer origin = f.service->Begin("GET", "/rssdir/category.php", "www.tarrowind.example");
  ASSERT_TRUE(origin.reply);
  EXPECT_TRUE(origin.reply->body.starts_with("<categories "));
}

TEST(BridgeService, TheLastGoodReplyOutlivesARestartOnDisk) {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-service-XXXXXX").string();
  ASSERT_TRUE(mkdtemp(pattern.data()));
  const std::string dir = pattern;
  const std::string body = "<rss><channel><title>Kept</title><item><title>K</title></item></channel></rss>";
  std::string feed;
  {
    FakeUpstream fake(FakeUpstream::Routes({{"/f", FakeUpstream::Reply("200 OK", "", body)}}));
    feed = fake.Url("/f");
    ServiceFixture f(fake.Url(""), "", bridge::WeatherSource::OpenMeteo, dir);
    EXPECT_EQ(f.Get(feed).status, 200);
  }
  // The same address, now answering nothing useful, an hour later.
  ServiceFixture later("http://127.0.0.1:9", "", bridge::WeatherSource::OpenMeteo, dir);
  later.now += 3600;
  BridgeReply r = later.Get(feed);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(online::CutNewsReply(r.body).NameNews, "Kept");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

// A proxy variable that leads back to the bridge, in whatever form, is passed
// by: the fetch goes direct instead of round in circles until its deadline.
TEST(UpstreamFetcher, AProxyThatIsTheBridgeItselfIsPassedBy) {
  FakeUpstream self(FakeUpstream::Routes({{"/f", FakeUpstream::Reply("508 Loop Detected", "", "")}}));
  FakeUpstream feeds(FakeUpstream::Routes({{"/f", FakeUpstream::Reply("200 OK", "", "direct")}}));
  const std::string port = std::to_string(self.Port());
  std::vector<std::string> proxies = {"http://0.0.0.0:" + port,     "http://[::]:" + port,
                                      "http://[::1]:" + port,       "http://[::ffff:127.0.0.1]:" + port,
                                      "http://127.1:" + port,       "http://2130706433:" + port,
                                      "http://localhost.:" + port};
  // A name only the resolver knows to be this machine is caught when the fetcher connects.
  char host[256] = {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (gethostname(host, sizeof host - 1) == 0 && getaddrinfo(host, nullptr, &hints, &found) == 0 && found) {
    if ((ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr) >> 24) == 127)
      proxies.push_back("http://" + std::string(host) + ":" + port);
    freeaddrinfo(found);
  }
  for (const std::string& proxy : proxies) {
    bridge::FetcherOptions o;
    o.allowLoopback = true;
    o.ownPort = self.Port();
    o.environment = [&proxy](const char* name) -> const char* {
      return std::string_view(name) == "http_proxy" ? proxy.c_str() : nullptr;
    };
    bridge::FetchRequest request;
    request.url = feeds.Url("/f");
    request.timeout = std::chrono::seconds(10);
    const bridge::FetchResult r = bridge::UpstreamFetcher(o).Fetch(request);
    EXPECT_TRUE(r.Ok()) << proxy << ": " << r.error;
    EXPECT_EQ(r.body, "direct") << proxy;
  }
  EXPECT_EQ(self.Connections(), 0);
  EXPECT_EQ(feeds.Connections(), static_cast<int>(proxies.size()));
}

}  // namespace
