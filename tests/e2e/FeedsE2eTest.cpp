// The feeds in the running saver: its proxy setting points at a loopback peer
// of the test, as a user would route it through a local service.
#include <atomic>
#include <filesystem>
#include <mutex>

#include "LoopbackServer.h"
#include "support/OpenerStandIn.h"
// Last: it brings Xlib, whose macros clash with the headers above.
#include "e2e/E2eSupport.h"

namespace {

using namespace e2e;
using testing_online::LoopbackServer;

const std::string kWeather =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
    "<yweather:condition text=\"Fair\" code=\"34\" temp=\"71\" />"
    "<yweather:forecast low=\"66\" high=\"88\" code=\"30\" /><yweather:forecast low=\"58\" high=\"80\" code=\"32\" />"
    "</channel></rss>";
const std::string kNews =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Example Wire</title>"
    "<link>http://news.example.test/world/</link><item><title>Leaders meet</title></item></channel></rss>";

// The saver's settings file with all gadgets on and the proxy at port.
std::string SettingsHome(const std::string& name, int port, int showNews = 1) {
  const std::string home = TempPath(name);
  char flags[160];
  std::snprintf(flags, sizeof flags,
                "\"ShowTime\"=dword:00000001\r\n\"ShowWeather\"=dword:00000001\r\n\"ShowNews\"=dword:%08x\r\n"
                "\"ShowBlack\"=dword:00000001\r\n\"UseProxy\"=dword:00000001\r\n",
                showNews);
  testing_support::WriteText(
      home + "/brisvane/HKEY_CURRENT_USER.reg",
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\r\n"
      "\"Brightness\"=dword:00000100\r\n\"SoundVolume\"=dword:00000000\r\n\"TDegree\"=\"f\"\r\n"
      "\"WeatherCode\"=\"20001\"\r\n\"RSS_Url\"=\"http://news.example.test/world.rss\"\r\n" +
          std::string(flags) + "\"Proxy\"=\"127.0.0.1\"\r\n\"Port\"=\"" + std::to_string(port) + "\"\r\n");
  return home;
}

std::vector<std::string> Environment(const std::string& home) {
  return {"XDG_CONFIG_HOME=" + home, "LSAN_OPTIONS=detect_leaks=0"};
}

// Answers both feeds with a length and holds the connection until the saver
// closes it: once it has closed the news request, the news is in the saver.
class FeedProxy {
 public:
  FeedProxy()
      : FServer([this](LoopbackServer::Connection& c) {
          const std::string request = c.ReadRequest();
          const bool weather = request.find("/forecastrss?") != std::string::npos;
          const std::string& body = weather ? kWeather : kNews;
          c.Send(LoopbackServer::Response("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body));
          if (c.WaitPeerClosed(20000) && !weather) FNewsTaken = true;
        }) {}
  int Port() const { return FServer.Port(); }
  bool WaitNewsTaken(std::chrono::milliseconds limit) const {
    const auto end = Clock::now() + limit;
    while (!FNewsTaken.load() && Clock::now() < end) std::this_thread::sleep_for(10ms);
    return FNewsTaken.load();
  }
  std::vector<std::string> Requests() const { return FServer.Requests(); }

 private:
  std::atomic<bool> FNewsTaken{false};
  LoopbackServer FServer;
};

TEST(Feeds, F2OpensTheChannelLinkTheFeedServed) {
  FeedProxy proxy;
  testing_support::OpenerStandIn opener;
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, Environment(SettingsHome("f2", proxy.Port())));
  ASSERT_TRUE(proxy.WaitNewsTaken(20s)) << "the saver never fetched the news";
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET http://weather.yahooapis.com/forecastrss?p=20001&u=f HTTP/1.0");
  EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET http://news.example.test/world.rss HTTP/1.0");
  Xdotool("key F2");
  EXPECT_EQ(opener.WaitForOpened(), "http://news.example.test/world/\n");
  ASSERT_TRUE(saver.WaitExit(2s)) << "F2 did not end the saver";
  EXPECT_EQ(saver.ExitCode(), 0);
}

TEST(Feeds, EscapeInTheMiddleOfAFetchEndsWithinASecond) {
  // A peer that takes the request and never answers: the client would wait 5 s.
  std::atomic<bool> asked{false};
  LoopbackServer silent([&](LoopbackServer::Connection& c) {
    c.ReadRequest();
    asked = true;
    c.WaitPeerClosed(30000);
  });
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, Environment(SettingsHome("silent", silent.Port(), 0)));
  const auto end = Clock::now() + 20s;
  while (!asked.load() && Clock::now() < end) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(asked.load()) << "the saver never asked for the weather";
  const auto pressed = Clock::now();
  Xdotool("key Escape");
  ASSERT_TRUE(saver.WaitExit(1s)) << "the saver waited for the silent peer";
  EXPECT_LT(Clock::now() - pressed, 1s);
  EXPECT_EQ(saver.ExitCode(), 0);
}

// Minutes of the schedule shortened to 100 ms (a fetch every 3 s) for as many
// seconds as BRISVANE_SOAK_SECONDS says, through the local feed server; made
// for the ThreadSanitizer build (scripts/tsan.sh), skipped without it.
TEST(Feeds, SoakWithQuickRefreshesThroughTheFeedServer) {
  const char* soak = std::getenv("BRISVANE_SOAK_SECONDS");
  if (!soak || std::atoi(soak) <= 0) GTEST_SKIP() << "set BRISVANE_SOAK_SECONDS to run it";
  const int seconds = std::atoi(soak);
  const std::string dir = TempPath("soak");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const char* source = std::getenv("BRISVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  Process server = Process::Start({std::string(source) + "/tools/feedserver/brisvane-feedserver", "--quiet", "--log",
                                   dir + "/requests.log", "--port-file", dir + "/port", "--feed",
                                   "/world.rss=" + std::string(source) + "/tests/online/data/feeds/news-wire-rss2.xml"});
  const auto until = Clock::now() + 20s;
  while (!std::filesystem::exists(dir + "/port") && Clock::now() < until) std::this_thread::sleep_for(20ms);
  const int port = std::atoi(ReadText(dir + "/port").c_str());
  ASSERT_GT(port, 0) << "the feed server did not start";

  auto env = Environment(SettingsHome("soak-home", port));
  env.push_back("BRISVANE_REFRESH_MINUTE_MS=100");
  env.push_back("TSAN_OPTIONS=halt_on_error=0:exitcode=66:log_path=" + dir + "/tsan");
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, env);
  for (int s = 0; s < seconds; ++s) ASSERT_FALSE(saver.WaitExit(1s)) << "the saver ended by itself";
  Xdotool("key Escape");
  ASSERT_TRUE(saver.WaitExit(5s));
  EXPECT_EQ(saver.ExitCode(), 0);

  // Both feeds every 3 s; half of that is the margin for a loaded machine.
  std::istringstream log(ReadText(dir + "/requests.log"));
  int weather = 0, news = 0;
  for (std::string line; std::getline(log, line);) {
    weather += line.find("/forecastrss?p=20001&u=f ") != std::string::npos;
    news += line.find("/world.rss ") != std::string::npos;
  }
  EXPECT_GE(weather, seconds / 6);
  EXPECT_GE(news, seconds / 6);
  EXPECT_LE(weather, seconds / 3 + 1);  // never more often than the schedule
  for (const auto& e : std::filesystem::directory_iterator(dir))
    EXPECT_NE(e.path().filename().string().rfind("tsan", 0), 0u) << ReadText(e.path().string());
}

}  // namespace
