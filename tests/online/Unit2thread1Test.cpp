// The weather and news fetches against a loopback peer, the refresh schedule
// under an injected clock, and the refresh thread's loop, stop and end.
#include "online/Unit2thread1.h"

#include <gtest/gtest.h>

#include "FeedFixtures.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

#include "LoopbackServer.h"
#include "platform/LocalClock.h"
#include "platform/NameLookup.h"
#include "support/HeadlessEnvironment.h"
#include "support/TempConfigHome.h"

using namespace std::chrono_literals;
using online::TFeedTargets;
using online::WeatherHTTP;
using testing_online::LoopbackServer;
using testing_support::HeadlessEnvironment;

namespace {

using testing_online::kSep;
std::string Fixture(const std::string& name) { return testing_online::FeedFixture(name); }
const std::string kNews =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>World</title><link>http://news.example.test/</link>"
    "<item><title>A</title></item><item><title>B</title></item></channel></rss>";

struct Settings {
  int ShowWeather = 1, ShowNews = 1, UseProxy = 1;
  std::string Proxy = "127.0.0.1", Port, WeatherCode = "20001", TDegree = "f",
              RSS_Url = "http://news.example.test/rss";
};

// A proxy that answers the weather request and every other request with the
// bodies the test gives; a handler hook runs before each answer.
class FeedPeer {
 public:
  FeedPeer()
      : FServer([this](LoopbackServer::Connection& c) {
          const std::string request = c.ReadRequest();
          std::function<void(LoopbackServer::Connection&)> hook;
          std::string body;
          {
            std::lock_guard<std::mutex> lock(FMutex);
            body = request.find("/forecastrss?") != std::string::npos ? FWeather : FNews;
            hook = FHook;
          }
          if (hook) hook(c);
          c.Send(LoopbackServer::Response("200 OK", "Content-Type: text/xml\r\n", body));
        }) {}
  void Serve(const std::string& weather, const std::string& news) {
    std::lock_guard<std::mutex> lock(FMutex);
    FWeather = weather;
    FNews = news;
  }
  void BeforeAnswer(std::function<void(LoopbackServer::Connection&)> hook) {
    std::lock_guard<std::mutex> lock(FMutex);
    FHook = std::move(hook);
  }
  LoopbackServer& Server() { return FServer; }
  std::string Port() const { return std::to_string(FServer.Port()); }

 private:
  std::mutex FMutex;
  std::string FWeather = Fixture("weather-five-day.xml"), FNews = kNews;
  std::function<void(LoopbackServer::Connection&)> FHook;
  LoopbackServer FServer;
};

// The form's parts as the scene makes them, with the settings in a private registry.
struct FeedRig {
  TempConfigHome home;
  HeadlessEnvironment env;
  framework::TForm* form = nullptr;
  components::TWss* wss = nullptr;
  online::THttpClient* http = nullptr;
  components::TWGW* wgw = nullptr;
  components::TWGR* wgr = nullptr;
  components::GadgetValue<std::string> newsLink{""};

  FeedRig() {
    env.app->CreateForm(&form);
    wss = new components::TWss(form);
    wss->SetBrandName("Tarrowind Software");
    wss->SetSSName("Brisvane Screensaver");
    http = new online::THttpClient(form);
    wgw = new components::TWGW(form);
    wgr = new components::TWGR(form);
  }
  void Use(const Settings& s) {
    wss->WriteRKey("Brightness", 256);
    wss->WriteRKey("ShowWeather", s.ShowWeather);
    wss->WriteRKey("ShowNews", s.ShowNews);
    wss->WriteRKey("UseProxy", s.UseProxy);
    wss->WriteAKey("Proxy", s.Proxy);
    wss->WriteAKey("Port", s.Port);
    wss->WriteAKey("WeatherCode", s.WeatherCode);
    wss->WriteAKey("TDegree", s.TDegree);
    wss->WriteAKey("RSS_Url", s.RSS_Url);
    wss->SetRegistry();
  }
  TFeedTargets Targets() { return {wss, http, wgw, wgr, &newsLink}; }
  std::string Weather() const {
    return std::to_string(wgw->GetTodayCode()) + "|" + wgw->GetTodayNow() + "|" + std::to_string(wgw->GetTomorrowCode()) +
           "|" + wgw->GetTomorrowLow() + "|" + wgw->GetTomorrowHi();
  }
  void SetWeather(int today, const std::string& now, int tomorrow, const std::string& low, const std::string& hi) {
    wgw->SetTodayCode(today);
    wgw->SetTodayNow(now);
    wgw->SetTomorrowCode(tomorrow);
    wgw->SetTomorrowLow(low);
    wgw->SetTomorrowHi(hi);
  }
  std::string News() { return wgr->GetNameNews() + "|" + wgr->GetRssLine() + "|" + newsLink.Get(); }
};

// Every lookup answers the loopback port of a peer, and records the name asked.
class LoopbackResolver {
 public:
  explicit LoopbackResolver(int port) {
    auto names = FNames;
    platform::SetResolverForTesting([names, port](const std::string& host, std::uint16_t) {
      {
        std::lock_guard<std::mutex> lock(names->mutex);
        names->asked.push_back(host);
      }
      platform::LookupResult r;
      platform::SocketAddress a;
      platform::ParseDottedIPv4("127.0.0.1", static_cast<std::uint16_t>(port), a);
      r.addresses.push_back(a);
      return r;
    });
  }
  ~LoopbackResolver() { platform::SetResolverForTesting({}); }
  std::vector<std::string> Asked() const {
    std::lock_guard<std::mutex> lock(FNames->mutex);
    return FNames->asked;
  }

 private:
  struct Names {
    std::mutex mutex;
    std::vector<std::string> asked;
  };
  std::shared_ptr<Names> FNames = std::make_shared<Names>();
};

std::string FirstLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

}  // namespace

TEST(UpdateWeather, ThroughTheProxyWithTheRawQuery) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port(), .WeatherCode = "UKXX0085", .TDegree = "c"});
  online::UpdateWeather(rig.Targets());
  EXPECT_EQ(rig.Weather(), "34|71|32|58|80");
  ASSERT_EQ(peer.Server().Requests().size(), 1u);
  EXPECT_EQ(FirstLine(peer.Server().Requests()[0]),
            "GET http://weather.yahooapis.com/forecastrss?p=UKXX0085&u=c HTTP/1.0");
  EXPECT_EQ(rig.http->GetTimeOut(), 5000);
  EXPECT_EQ(rig.http->GetReportLevel(), 2);
  EXPECT_EQ(rig.http->GetProxyPort(), peer.Server().Port());
}

TEST(UpdateWeather, WithoutUseProxyTheSetProxyIsIgnored) {
  FeedRig rig;
  FeedPeer peer;
  LoopbackResolver resolver(peer.Server().Port());
  rig.Use({.UseProxy = 0, .Proxy = "proxy.example.test", .Port = "3128"});
  online::UpdateWeather(rig.Targets());
  EXPECT_EQ(rig.Weather(), "34|71|32|58|80");
  EXPECT_EQ(resolver.Asked(), std::vector<std::string>{"weather.yahooapis.com"});
  ASSERT_EQ(peer.Server().Requests().size(), 1u);
  const std::string request = peer.Server().Requests()[0];
  EXPECT_EQ(FirstLine(request), "GET /forecastrss?p=20001&u=f HTTP/1.0");
  EXPECT_NE(request.find("\r\nHost: weather.yahooapis.com\r\n"), std::string::npos);
  EXPECT_EQ(rig.http->GetProxy(), "");
}

TEST(UpdateWeather, UnusableRepliesShowNotAvailable) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  for (const std::string& body : {Fixture("error-page.html"), std::string()}) {
    rig.SetWeather(1, "1", 2, "2", "3");
    peer.Serve(body, kNews);
    online::UpdateWeather(rig.Targets());
    EXPECT_EQ(rig.Weather(), "48|NA|48|NA|NA");
  }
}

TEST(UpdateWeather, SocketFailuresKeepTheValuesAndTheClientStaysUsable) {
  FeedRig rig;
  rig.SetWeather(1, "1", 2, "2", "3");
  // Refused, then reset in the middle of the reply.
  rig.Use({.Port = std::to_string(testing_online::ClosedLoopbackPort())});
  EXPECT_NO_THROW(online::UpdateWeather(rig.Targets()));
  EXPECT_EQ(rig.Weather(), "1|1|2|2|3");
  LoopbackServer resetting([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.0 200 OK\r\n\r\n<?xml version=\"1.0\"?><yweather:condition code=\"5\" te");
    c.Reset();
  });
  rig.Use({.Port = std::to_string(resetting.Port())});
  EXPECT_NO_THROW(online::UpdateWeather(rig.Targets()));
  EXPECT_EQ(rig.Weather(), "1|1|2|2|3");
  EXPECT_FALSE(rig.http->GetConnected());
  // The abort that followed the failure does not cancel the next request.
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  online::UpdateWeather(rig.Targets());
  EXPECT_EQ(rig.Weather(), "34|71|32|58|80");
}

TEST(UpdateWeather, ConversionErrorsLeaveTheGadgetAsItWas) {
  FeedRig rig;
  FeedPeer peer;
  rig.SetWeather(1, "1", 2, "2", "3");
  rig.Use({.Port = "eighty"});
  EXPECT_THROW(online::UpdateWeather(rig.Targets()), framework::EConvertError);
  EXPECT_EQ(peer.Server().ConnectionCount(), 0);
  rig.Use({.Port = peer.Port()});
  peer.Serve(
      "<?xml version=\"1.0\"?><yweather:condition code=\"20\" temp=\"9\"/><yweather:forecast code=\"1\"/>"
      "<yweather:forecast code=\"n/a\" low=\"1\" high=\"2\"/>",
      kNews);
  EXPECT_THROW(online::UpdateWeather(rig.Targets()), framework::EConvertError);
  EXPECT_EQ(rig.Weather(), "1|1|2|2|3");
}

TEST(UpdateNews, FillsTheTickerAndTheLink) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  online::UpdateWeather(rig.Targets());  // gives the client its proxy
  online::UpdateNews(rig.Targets(), false);
  EXPECT_EQ(rig.News(), "World|" + kSep + "A" + kSep + "B" + kSep + "|http://news.example.test/");
  ASSERT_EQ(peer.Server().Requests().size(), 2u);
  EXPECT_EQ(FirstLine(peer.Server().Requests()[1]), "GET http://news.example.test/rss HTTP/1.0");

  // Unusable: only the line changes. No link: the old link stays.
  peer.Serve("", Fixture("error-page.html"));
  online::UpdateNews(rig.Targets(), false);
  EXPECT_EQ(rig.News(), "World|*** Not Available Now ***|http://news.example.test/");
  peer.Serve("", "<rss version=\"2.0\"><title>Other</title><item><title>C</title></item></rss>");
  online::UpdateNews(rig.Targets(), false);
  EXPECT_EQ(rig.News(), "Other|" + kSep + "C" + kSep + "|http://news.example.test/");
}

TEST(UpdateNews, SocketFailuresKeepAllThree) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  online::UpdateNews(rig.Targets(), true);
  const std::string before = rig.News();
  rig.Use({.Port = std::to_string(testing_online::ClosedLoopbackPort())});
  EXPECT_NO_THROW(online::UpdateNews(rig.Targets(), true));
  EXPECT_EQ(rig.News(), before);
}

TEST(UpdateNews, AloneItGivesTheClientItsTimeOutAndProxy) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.ShowWeather = 0, .Port = peer.Port()});
  online::FetchFeeds(rig.Targets());
  EXPECT_EQ(rig.http->GetTimeOut(), 5000);
  EXPECT_EQ(rig.http->GetProxy(), "127.0.0.1");
  ASSERT_EQ(peer.Server().Requests().size(), 1u);
  EXPECT_EQ(FirstLine(peer.Server().Requests()[0]), "GET http://news.example.test/rss HTTP/1.0");
  EXPECT_EQ(rig.wgr->GetNameNews(), "World");
  EXPECT_EQ(rig.Weather(), "48|NA|48|NA|NA");  // the weather was not fetched
}

TEST(UpdateNews, AddressesTheClientRejectsAreRaised) {
  FeedRig rig;
  for (const char* url : {"https://news.example.test/rss", ""}) {
    rig.Use({.UseProxy = 0, .Port = "", .RSS_Url = url});
    try {
      online::UpdateNews(rig.Targets(), true);
      ADD_FAILURE() << "no exception for '" << url << "'";
    } catch (const online::ESockError&) {
      ADD_FAILURE() << "a socket error for '" << url << "'";
    } catch (const framework::Exception& e) {
      EXPECT_TRUE(std::string(e.what()) == "HTTP Secure Socket is not supported" || std::string(e.what()) == "Empty URL");
    }
  }
}

// ---- the schedule ----

namespace {

// A clock the test moves; the HTTP peer may move it too, during a fetch.
class TestClock {
 public:
  explicit TestClock(const char* start) {
    EXPECT_TRUE(platform::ParseLocalTime(start, FStart));
    platform::SetLocalClock([this] { return platform::AddMilliseconds(FStart, FMs.load()); });
  }
  ~TestClock() { platform::SetLocalClock({}); }
  // "HH:MM:SS" on the start's day.
  void Set(const char* at) {
    platform::LocalTime t;
    ASSERT_EQ(std::sscanf(at, "%d:%d:%d", &t.hour, &t.minute, &t.second), 3);
    FMs.store((t.hour - FStart.hour) * 3600000LL + (t.minute - FStart.minute) * 60000LL + (t.second - FStart.second) * 1000LL);
  }
  void Advance(long long ms) { FMs.fetch_add(ms); }
  void SetOffset(long long ms) { FMs.store(ms); }
  std::string Now() const {
    const platform::LocalTime t = platform::LocalNow();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
  }

 private:
  platform::LocalTime FStart;
  std::atomic<long long> FMs{0};
};

// Steps the schedule every 10 s, and 1 ms after each, from start until the
// end, and returns when it fetched (to the second).
std::vector<std::string> FetchTimes(const char* start, const char* end) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.ShowWeather = 0, .Port = peer.Port()});
  TestClock clock(start);
  WeatherHTTP thread(rig.Targets(), true);
  std::vector<std::string> times;
  int seen = 0;
  for (long long k = 0; k < 2000 && clock.Now() <= end; ++k) {
    for (long long at : {k * 10000, k * 10000 + 1}) {
      clock.SetOffset(at);
      thread.RefreshTick();
      if (peer.Server().ConnectionCount() != seen) {
        seen = peer.Server().ConnectionCount();
        times.push_back(clock.Now());
      }
    }
  }
  return times;
}

}  // namespace

TEST(RefreshSchedule, AtStartThenEveryThirtyMinutesOnAMinuteBoundary) {
  EXPECT_EQ(FetchTimes("2024-06-04 12:00:30", "13:05:00"), (std::vector<std::string>{"12:00:30", "12:30:00", "13:00:00"}));
  EXPECT_EQ(FetchTimes("2024-06-04 12:10:30", "13:15:00"), (std::vector<std::string>{"12:10:30", "12:39:00", "13:09:00"}));
}

TEST(RefreshSchedule, AFetchThatEndsInALaterMinuteCountsIt) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  TestClock clock("2024-06-04 12:00:50");
  peer.BeforeAnswer([&](LoopbackServer::Connection&) { clock.Set("12:01:02"); });
  WeatherHTTP thread(rig.Targets(), true);
  thread.RefreshTick();
  EXPECT_EQ(peer.Server().ConnectionCount(), 2);
  EXPECT_EQ(rig.wgw->MinuteCount, 2);
  EXPECT_EQ(thread.LastMinute, 1);
}

TEST(RefreshSchedule, WithBothGadgetsOffNothingIsSentButMinutesCount) {
  FeedRig rig;
  FeedPeer peer;
  LoopbackResolver resolver(peer.Server().Port());
  rig.Use({.ShowWeather = 0, .ShowNews = 0, .Port = ""});
  TestClock clock("2024-06-04 12:00:30");
  WeatherHTTP thread(rig.Targets(), true);
  thread.RefreshTick();
  EXPECT_EQ(rig.wgw->MinuteCount, 1);
  clock.Set("12:05:00");
  thread.RefreshTick();
  EXPECT_EQ(rig.wgw->MinuteCount, 2);  // one change seen, however many minutes passed
  int wraps = 0;
  for (int i = 0; i < 200; ++i) {
    clock.Advance(60000);
    thread.RefreshTick();
    if (rig.wgw->MinuteCount == 0) ++wraps;
  }
  EXPECT_GE(wraps, 6);
  EXPECT_EQ(peer.Server().ConnectionCount(), 0);
  EXPECT_TRUE(resolver.Asked().empty());
}

// ---- the thread ----

namespace {

bool PumpUntil(FeedRig& rig, const std::function<bool()>& pred, std::chrono::milliseconds limit = 15s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    rig.env.app->ProcessMessages();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace

TEST(WeatherHTTP, TheFirstStepFetchesAndTheNextOnlyCount) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  TestClock clock("2024-06-04 12:00:30");
  WeatherHTTP thread(rig.Targets());
  ASSERT_TRUE(PumpUntil(rig, [&] { return rig.wgr->GetNameNews() == "World"; }));
  EXPECT_EQ(rig.Weather(), "34|71|32|58|80");
  const auto ticks = rig.env.app->ProcessMessagesCount.load();
  ASSERT_TRUE(PumpUntil(rig, [&] { return rig.env.app->ProcessMessagesCount.load() > ticks + 50; }));
  EXPECT_EQ(peer.Server().ConnectionCount(), 2);
  thread.Terminate();
  ASSERT_TRUE(PumpUntil(rig, [&] { return thread.GetFinished(); }));
  EXPECT_FALSE(thread.FatalException());
}

TEST(WeatherHTTP, ANonSocketErrorEndsTheCycleAndTheExitStillWorks) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  peer.Serve("<?xml version=\"1.0\"?><yweather:condition code=\"fair\" temp=\"71\"/>", kNews);
  auto thread = std::make_unique<WeatherHTTP>(rig.Targets());
  ASSERT_TRUE(PumpUntil(rig, [&] { return thread->GetFinished(); }));
  ASSERT_TRUE(thread->FatalException());
  EXPECT_THROW(std::rethrow_exception(thread->FatalException()), framework::EConvertError);
  EXPECT_EQ(rig.Weather(), "48|NA|48|NA|NA");
  EXPECT_EQ(rig.News(), "|*** Not Available Now ***|");
  EXPECT_EQ(peer.Server().ConnectionCount(), 1);  // the news was not fetched
  EXPECT_EQ(rig.wgw->MinuteCount, 0);
  // The exit asks the ended thread to stop; the form then destroys it.
  thread->Terminate();
  thread.reset();
  rig.env.app->ProcessMessages();
  EXPECT_EQ(peer.Server().ConnectionCount(), 1);
}

TEST(WeatherHTTP, AStopDuringAFetchAbortsItAndEndsTheLoop) {
  FeedRig rig;
  FeedPeer peer;
  rig.Use({.Port = peer.Port()});
  std::atomic<WeatherHTTP*> running{nullptr};
  // The peer holds the reply and asks the thread to stop instead.
  peer.BeforeAnswer([&](LoopbackServer::Connection& c) {
    if (WeatherHTTP* t = running.load()) t->Terminate();
    c.WaitPeerClosed(10000);
  });
  rig.SetWeather(1, "1", 2, "2", "3");
  TestClock clock("2024-06-04 12:00:30");  // minute 0: the first step counts no change
  WeatherHTTP thread(rig.Targets(), true);
  running = &thread;
  const auto start = std::chrono::steady_clock::now();
  thread.Start();
  ASSERT_TRUE(PumpUntil(rig, [&] { return thread.GetFinished(); }));
  // Well inside the client's 5 s time-out.
  EXPECT_LT(testing_online::ElapsedMs(start), 3000);
  EXPECT_FALSE(thread.FatalException());
  EXPECT_EQ(rig.Weather(), "1|1|2|2|3");
  EXPECT_EQ(rig.wgw->MinuteCount, 1);              // the step completed
  EXPECT_EQ(peer.Server().ConnectionCount(), 1);  // and sent no news request
}
