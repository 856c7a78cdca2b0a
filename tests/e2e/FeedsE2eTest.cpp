// The feeds in the running saver: its proxy setting points at a loopback peer
// of the test, as a user would route it through a local service.
#include <atomic>
#include <filesystem>
#include <mutex>

#include "LoopbackServer.h"
#include "support/OpenerStandIn.h"
#include "support/Png.h"
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

// The saver's settings file with all gadgets on, the strip opaque and the proxy at port.
std::string SettingsHome(const std::string& name, int port, int showNews = 1) {
  const std::string home = TempPath(name);
  std::filesystem::remove_all(home);
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

std::string Source(const std::string& relative) {
  const char* root = std::getenv("BRISVANE_SOURCE_DIR");
  return std::string(root ? root : ".") + "/" + relative;
}

// The local feed server, started on a port the system chose.
struct FeedServerProcess {
  Process process;
  int port = 0;
  FeedServerProcess(const std::string& dir, std::vector<std::string> args) : process(Start(dir, std::move(args))) {
    const auto until = Clock::now() + 20s;
    while (!std::filesystem::exists(dir + "/port") && Clock::now() < until) std::this_thread::sleep_for(20ms);
    port = std::atoi(ReadText(dir + "/port").c_str());
  }
  static Process Start(const std::string& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {Source("tools/feedserver/brisvane-feedserver"), "--quiet", "--port-file", dir + "/port"});
    return Process::Start(args);
  }
};

// Frame n of brisvane-render over the same settings; empty when it failed.
testing_support::PngPixels RenderedFrame(const std::string& home, const std::string& dir, bool fetch, int n = 1) {
  const std::string command = "XDG_CONFIG_HOME='" + home + "' '" + std::getenv("BRISVANE_BINARY_DIR") +
                              "/tools/render/brisvane-render' --frames " + std::to_string(n) + " --png '" + dir +
                              "'" + (fetch ? " --fetch" : "") + " >/dev/null 2>&1";
  testing_support::PngPixels frame;
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%04d.png", n);
  if (std::system(command.c_str()) == 0) testing_support::ReadPng(dir + name, frame);
  return frame;
}

struct Area {
  int x, y, w, h;
};
std::vector<std::uint32_t> Cut(const testing_support::PngPixels& f, Area a) {
  std::vector<std::uint32_t> out;
  for (int y = a.y; y < a.y + a.h; ++y)
    for (int x = a.x; x < a.x + a.w; ++x) out.push_back(f.pixels[static_cast<std::size_t>(y) * f.width + x]);
  return out;
}

// The creeping line of the ticker (all gadgets on: its window x 15..560, its
// text cell from y 728) over the opaque strip: nothing else is drawn there.
constexpr Area kTickerLine{15, 728, 545, 28};

// The first column of white text in the line, or -1.
int FirstTextColumn(const std::vector<std::uint32_t>& band) {
  for (int x = 0; x < kTickerLine.w; ++x)
    for (int y = 0; y < kTickerLine.h; ++y)
      if ((band[static_cast<std::size_t>(y) * kTickerLine.w + x] & 0xFFFFFF) == 0xFFFFFF) return x;
  return -1;
}

TEST(Feeds, TheSaverShowsWhatTheLocalFeedServerServes) {
  const std::string dir = TempPath("onscreen");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  FeedServerProcess server(dir, {"--today", "28,55", "--forecast", "30,50,60", "--forecast", "12,40,61", "--feed",
                                 "/world.rss=" + Source("tests/online/data/feeds/news-wire-rss2.xml")});
  ASSERT_GT(server.port, 0) << "the feed server did not start";
  const std::string home = SettingsHome("onscreen-home", server.port);

  // What the gadgets show with the served values, and with none: the parts of
  // the strip that do not move (the weather gadget, the ticker's title).
  const Area weather{1024 - (336 + 117), 698, 336, 69}, title{0, 698, 570, 26};
  const auto served = RenderedFrame(home, dir + "/served", true);
  const auto none = RenderedFrame(home, dir + "/none", false);
  ASSERT_EQ(served.width, 1024);
  ASSERT_EQ(none.width, 1024);
  ASSERT_NE(Cut(served, weather), Cut(none, weather)) << "the served weather changes nothing";
  ASSERT_NE(Cut(served, title), Cut(none, title)) << "the served title changes nothing";

  Process saver = Process::Start({BRISVANE_EXE, "/s"}, Environment(home));
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  bool shown = false;
  const auto until = Clock::now() + 20s;
  while (!shown && Clock::now() < until) {
    std::this_thread::sleep_for(50ms);
    shown = Grab(d, DefaultRootWindow(d), weather.x, weather.y, weather.w, weather.h) == Cut(served, weather) &&
            Grab(d, DefaultRootWindow(d), title.x, title.y, title.w, title.h) == Cut(served, title);
  }
  EXPECT_TRUE(shown) << "the screen never showed the served weather and title";
  // The headlines creep 2 pixels a frame: the frame the screen is at follows
  // from where the text begins, and the line must be what the renderer draws there.
  std::vector<std::uint32_t> line;
  int onScreen = -1;
  for (const auto end = Clock::now() + 10s; onScreen <= 0 && Clock::now() < end; std::this_thread::sleep_for(20ms)) {
    line = Grab(d, DefaultRootWindow(d), kTickerLine.x, kTickerLine.y, kTickerLine.w, kTickerLine.h);
    onScreen = FirstTextColumn(line);
  }
  ASSERT_GT(onScreen, 0) << "no headline on the screen";
  const auto probe = RenderedFrame(home, dir + "/probe", true, 20);
  ASSERT_EQ(probe.width, 1024);
  const int rendered = FirstTextColumn(Cut(probe, kTickerLine));
  const int frame = 20 + (rendered - onScreen) / 2;
  ASSERT_GT(frame, 0);
  EXPECT_EQ(Cut(RenderedFrame(home, dir + "/same", true, frame), kTickerLine), line)
      << "the headlines on the screen differ from the served feed's at frame " << frame;
  XCloseDisplay(d);
  Xdotool("key Escape");
  ASSERT_TRUE(saver.WaitExit(2s));
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
  FeedServerProcess server(dir, {"--log", dir + "/requests.log", "--feed",
                                 "/world.rss=" + Source("tests/online/data/feeds/news-wire-rss2.xml")});
  const int port = server.port;
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
