// The saver's real feed code against the real bridge: brisvane-feedcheck reads
// settings whose proxy is the bridge and runs one refresh step; the bridge
// fetches from fakes of the services on loopback, over http and https.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <ctime>

#include "BridgeFixtures.h"
#include "SaverSide.h"
#include "TestCa.h"
#include "WeatherSamples.h"
#include "components/Wss.h"
#include "support/TempConfigHome.h"

namespace {

using testing_bridge::Args;
using testing_bridge::Bridge;
using testing_bridge::FakeUpstream;
using testing_bridge::FeedCheckRun;
using testing_bridge::kSaverTimeOutMs;
using testing_bridge::Rss;
using testing_bridge::RunFeedCheck;
using testing_bridge::SaverSettings;
using testing_bridge::TickerLine;

const char* const kNotAvailable = "*** Not Available Now ***";
const char* const kNoWeather = "48 NA 48 NA NA";

std::string WeatherUrl(const std::string& code, const std::string& unit) {
  return "http://weather.yahooapis.com/forecastrss?p=" + code + "&u=" + unit;
}

// Each test has a settings folder of its own: test cases run in parallel.
class SaverThroughBridge : public ::testing::Test {
 protected:
  TempConfigHome home;
};

TEST_F(SaverThroughBridge, WeatherFromOpenMeteoInBothUnits) {
  testing_bridge::TestCa ca;
  ASSERT_TRUE(ca.Ok()) << ca.Error();
  // Different values per unit: a bridge that asked for the wrong one shows the other's.
  FakeUpstream openMeteo(
      [](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
        const bool celsius = r.target.find("temperature_unit=celsius") != std::string::npos;
        c.Send(testing_bridge::Json(celsius ? testing_bridge::OpenMeteoSample(61, 0, 7.5, {71, -18.5, 10.49})
                                            : testing_bridge::OpenMeteoSample(2, 1, 71.4)));
      },
      &ca.Leaf());
  ASSERT_TRUE(openMeteo.Ok());
  Bridge bridge(Args({"--open-meteo-url", openMeteo.Url(""), "--ca-file", ca.CaFile()}));
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();

  struct Case {
    const char* code;
    const char* unit;
    const char* shown;  // TodayCode TodayNow TomorrowCode TomorrowLow TomorrowHi
    const char* status;
  };
  const Case cases[] = {
      // WMO 2 by day is 30; tomorrow WMO 61 is 11, -0.5 and 50.5 round away from zero.
      {"20001", "f", "30 71 11 -1 51", "200 "},
      // WMO 61 at night is 11; tomorrow WMO 71 is 14.
      {"UKXX0085", "c", "11 8 14 -19 10", "200 "},
      {"QQQQ0000", "f", kNoWeather, "404 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const FeedCheckRun run =
        RunFeedCheck({.bridgePort = bridge.port, .ShowNews = 0, .WeatherCode = c.code, .TDegree = c.unit});
    EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_EQ(run.Weather(), c.shown) << run.output;
    // Proof that the bridge answered: 48 and NA are also what a failed request leaves.
    EXPECT_TRUE(bridge.Logged(WeatherUrl(c.code, c.unit)).starts_with(c.status)) << bridge.process.Stderr();
  }
  const std::vector<FakeUpstream::Request> requests = openMeteo.Requests();
  ASSERT_EQ(requests.size(), 2u);  // none for the unknown code
  EXPECT_NE(requests[0].target.find("temperature_unit=fahrenheit"), std::string::npos) << requests[0].target;
  EXPECT_NE(requests[1].target.find("latitude=50.7687&longitude=0.2845"), std::string::npos) << requests[1].target;
}

TEST_F(SaverThroughBridge, WeatherFromMetNoInBothUnits) {
  FakeUpstream metno([](const FakeUpstream::Request&, FakeUpstream::Connection& c) {
    c.Send(testing_bridge::Json(testing_bridge::MetNoAround(static_cast<long long>(std::time(nullptr)))));
  });
  Bridge bridge(Args({"--weather-source", "metno", "--metno-url", metno.Url("")}));
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();
  // The service gives Celsius only: 10.0 now with rain (12), tomorrow 2.0 to 12.4 with snow (16).
  // CAXX0045 lies five hours behind UTC, as the sample's local day does.
  struct Case {
    const char* code;
    const char* unit;
    const char* shown;
  };
  for (const Case& c : {Case{"20001", "f", "12 50 16 36 54"}, Case{"CAXX0045", "c", "12 10 16 2 12"},
                        Case{"QQQQ0000", "c", kNoWeather}}) {
    SCOPED_TRACE(c.code);
    const FeedCheckRun run =
        RunFeedCheck({.bridgePort = bridge.port, .ShowNews = 0, .WeatherCode = c.code, .TDegree = c.unit});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.Weather(), c.shown) << run.output;
    EXPECT_FALSE(bridge.Logged(WeatherUrl(c.code, c.unit)).empty()) << bridge.process.Stderr();
  }
  ASSERT_EQ(metno.Requests().size(), 2u);
  EXPECT_NE(metno.Requests()[1].target.find("lat=43.8501"), std::string::npos) << metno.Requests()[1].target;
}

TEST_F(SaverThroughBridge, NewsInEveryFormShowsExactlyTheTitlesInOrder) {
  testing_bridge::NewsFeeds feeds;
  ASSERT_EQ(feeds.Failure(), "");
  const int port = feeds.bridge.port;
  for (const testing_bridge::NewsCase& c : testing_bridge::NewsCases()) {
    SCOPED_TRACE(c.path);
    const FeedCheckRun run = RunFeedCheck({.bridgePort = port, .ShowWeather = 0, .RSS_Url = feeds.http.Url(c.path)});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.Value("NameNews"), c.nameNews);
    EXPECT_EQ(run.Value("RssLine"), c.line);
    EXPECT_EQ(run.Value("NewsLink"), c.link);
    EXPECT_EQ(run.Weather(), kNoWeather);  // ShowWeather 0: not fetched
  }
  ASSERT_EQ(feeds.https.Requests().size(), 1u);

  // A page that is no feed reaches the saver as it is, which shows it as not available.
  const FeedCheckRun page = RunFeedCheck({.bridgePort = port, .ShowWeather = 0, .RSS_Url = feeds.http.Url("/page")});
  EXPECT_EQ(page.exitCode, 0) << page.errors;
  EXPECT_EQ(page.Value("RssLine"), kNotAvailable);
  EXPECT_EQ(page.Value("NameNews"), "");
  EXPECT_EQ(page.Value("NewsLink"), "");
  EXPECT_TRUE(feeds.bridge.Logged(feeds.http.Url("/page")).starts_with("200 ")) << feeds.bridge.process.Stderr();
}

// The saver's own default address, retired long ago, through a user's proxy
// that intercepts TLS with the test CA (the only way to stand in for the portal).
TEST_F(SaverThroughBridge, TheDefaultNewsAddressShowsTodaysWorldFeed) {
  testing_bridge::TestCa ca;
  ASSERT_TRUE(ca.Ok()) << ca.Error();
  FakeUpstream proxy(FakeUpstream::Routes({{"/rss/headlines/section/topic/WORLD",
                                            Rss("<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\">"
                                                "<channel><title>World - Latest - Google News</title>"
                                                "<link>https://news.google.com/topics/world</link>"
                                                "<item><title>First &amp; foremost</title></item>"
                                                "<item><title>Second</title></item></channel></rss>")}}),
                     &ca.Leaf(), true);
  Bridge bridge({"--port", "0", "--ca-file", ca.CaFile()}, {{"https_proxy", proxy.Url("")}});
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();
  const FeedCheckRun run =
      RunFeedCheck({.bridgePort = bridge.port, .ShowWeather = 0, .RSS_Url = components::kDefaultRssUrl});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.Value("NameNews"), "World - Latest - Google News");
  EXPECT_EQ(run.Value("RssLine"), TickerLine({"First & foremost", "Second"}));
  EXPECT_EQ(run.Value("NewsLink"), "https://news.google.com/topics/world");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, "/rss/headlines/section/topic/WORLD?hl=en-US&gl=US&ceid=US:en");
}

// Every hostile upstream is answered (an error page, which the saver shows as
// not available) before the saver's own time-out would end the request.
TEST_F(SaverThroughBridge, HostileUpstreamsAnswerTheSaverInsideItsTimeOut) {
  testing_bridge::HostileProxy hostile;
  Bridge bridge({"--port", "0", "--open-meteo-url", "http://weather.hostile.example"},
                {{"http_proxy", hostile.Url()}, {"ASAN_OPTIONS", "quarantine_size_mb=16"}});
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();

  const long startKb = bridge.process.ResidentKb();

  struct Case {
    const char* path;
    const char* status;
    std::string line = kNotAvailable;
    std::string name = "";
  };
  const Case cases[] = {{"/silent", "504 "}, {"/endless", "502 "}, {"/huge", "502 "},     {"/loop", "502 "},
                        {"/file", "403 "},   {"/local", "403 "},   {"/localhost", "403 "},
                        {"/dense", "200 ", TickerLine({"first"}), "Dense"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string url = std::string("http://hostile.example") + c.path;
    const FeedCheckRun run = RunFeedCheck({.bridgePort = bridge.port, .ShowWeather = 0, .RSS_Url = url});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.Value("RssLine"), c.line);
    EXPECT_EQ(run.Value("NameNews"), c.name);
    const std::string logged = bridge.Logged(url);
    EXPECT_TRUE(logged.starts_with(c.status)) << bridge.process.Stderr();
    // The whole step, the tool's start included, took less than one time-out.
    EXPECT_LT(run.elapsedMs, kSaverTimeOutMs);
    std::printf("saver step against %s: %ld ms (bridge: %s)\n", c.path, run.elapsedMs, logged.c_str());
  }

  // A weather service that never answers.
  const FeedCheckRun weather = RunFeedCheck({.bridgePort = bridge.port, .ShowNews = 0});
  EXPECT_EQ(weather.exitCode, 0) << weather.errors;
  EXPECT_EQ(weather.Weather(), kNoWeather);
  const std::string logged = bridge.Logged(WeatherUrl("20001", "f"));
  EXPECT_TRUE(logged.starts_with("504 ")) << bridge.process.Stderr();
  EXPECT_LT(weather.elapsedMs, kSaverTimeOutMs);
  std::printf("saver step against a silent weather service: %ld ms (bridge: %s)\n", weather.elapsedMs,
              logged.c_str());

  EXPECT_EQ(hostile.Secret().Connections(), 0);
  // Still serving the saver.
  const FeedCheckRun fine =
      RunFeedCheck({.bridgePort = bridge.port, .ShowWeather = 0, .RSS_Url = "http://hostile.example/fine"});
  EXPECT_EQ(fine.Value("RssLine"), TickerLine({"ok"}));
  EXPECT_TRUE(bridge.process.Running());
  const long peakKb = bridge.process.PeakKb();
  std::printf("bridge memory: %ld kB at start, %ld kB peak after the hostile upstreams\n", startKb, peakKb);
  EXPECT_LT(peakKb - startKb, 96 * 1024);
}

}  // namespace
