// The local feed server and the feed check tool, run as a user runs them: the
// saver's settings point its proxy at the server.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "FeedFixtures.h"
#include "LoopbackServer.h"
#include "components/Wss.h"
#include "support/TempConfigHome.h"

using testing_online::ChildProcess;
using testing_online::TempDir;

namespace {

std::string BuildPath(const std::string& relative) {
  if (const char* dir = std::getenv("BRISVANE_BINARY_DIR")) return std::string(dir) + "/" + relative;
  char self[PATH_MAX] = {};
  if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return "";
  return (std::filesystem::path(self).parent_path() / "../.." / relative).lexically_normal().string();
}

std::string SourcePath(const std::string& relative) {
  const char* root = std::getenv("BRISVANE_SOURCE_DIR");
  return std::string(root ? root : ".") + "/" + relative;
}

using testing_online::kSep;

// The feed server on a port the system chose; stopped with the object.
class FeedServer {
 public:
  explicit FeedServer(std::vector<std::string> args) {
    std::vector<std::string> argv{testing_online::FindProgram("python3"), SourcePath("tools/feedserver/brisvane-feedserver"),
                                  "--quiet"};
    argv.insert(argv.end(), args.begin(), args.end());
    FProcess = std::make_unique<ChildProcess>(argv);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
      const std::string out = FProcess->Stdout();
      if (size_t at = out.find("listening on 127.0.0.1:"); at != std::string::npos && out.find('\n', at) != std::string::npos) {
        FPort = std::atoi(out.c_str() + at + 23);
        return;
      }
      if (FProcess->Wait(0) >= 0) break;  // ended (a bad argument)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  int Port() const { return FPort; }
  std::string Stderr() const { return FProcess->Stderr(); }
  int Wait(int ms) { return FProcess->Wait(ms); }

 private:
  std::unique_ptr<ChildProcess> FProcess;
  int FPort = 0;
};

struct Settings {
  int ShowWeather = 1, ShowNews = 1, UseProxy = 1;
  std::string Proxy = "127.0.0.1", Port, WeatherCode = "20001", TDegree = "f",
              RSS_Url = "http://news.example.test/world.rss";
};

// Writes the saver's settings into the private configuration folder the tools inherit.
void WriteSettings(const Settings& s) {
  components::TWss wss(nullptr);
  wss.SetBrandName("Tarrowind Software");
  wss.SetSSName("Brisvane Screensaver");
  wss.WriteRKey("Brightness", 256);
  wss.WriteRKey("ShowWeather", s.ShowWeather);
  wss.WriteRKey("ShowNews", s.ShowNews);
  wss.WriteRKey("UseProxy", s.UseProxy);
  wss.WriteAKey("Proxy", s.Proxy);
  wss.WriteAKey("Port", s.Port);
  wss.WriteAKey("WeatherCode", s.WeatherCode);
  wss.WriteAKey("TDegree", s.TDegree);
  wss.WriteAKey("RSS_Url", s.RSS_Url);
}

struct ToolRun {
  int code;
  std::string out, err;
};

ToolRun Tool(const std::string& relative, const std::vector<std::string>& args = {}) {
  std::vector<std::string> argv{BuildPath(relative)};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess tool(argv);
  EXPECT_TRUE(tool.Started());
  const int code = tool.Wait(20000);
  return {code, tool.Stdout(), tool.Stderr()};
}

ToolRun FeedCheck() { return Tool("tools/feedcheck/brisvane-feedcheck"); }

std::string Lines(int today, const std::string& now, int tomorrow, const std::string& low, const std::string& hi,
                  const std::string& name, const std::string& line, const std::string& link) {
  return "TodayCode=" + std::to_string(today) + "\nTodayNow=" + now + "\nTomorrowCode=" + std::to_string(tomorrow) +
         "\nTomorrowLow=" + low + "\nTomorrowHi=" + hi + "\nNameNews=" + name + "\nRssLine=" + line +
         "\nNewsLink=" + link + "\n";
}
const std::string kUntouched = Lines(48, "NA", 48, "NA", "NA", "", "*** Not Available Now ***", "");

class FeedTools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_online::FindProgram("python3").empty()) GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(::access(BuildPath("tools/feedcheck/brisvane-feedcheck").c_str(), X_OK), 0) << "tool not built";
  }
  TempConfigHome home;
  TempDir files;
};

}  // namespace

TEST_F(FeedTools, TheSaversFirstStepThroughTheServerAsProxy) {
  FeedServer server({"--today", "28,55", "--forecast", "30,50,60", "--forecast", "12,40,61", "--forecast", "1,2,3",
                     "--feed", "/world.rss=" + SourcePath("tests/online/data/feeds/news-wire-rss2.xml"), "--log",
                     files.Path() + "/requests.log"});
  ASSERT_GT(server.Port(), 0) << server.Stderr();
  WriteSettings({.Port = std::to_string(server.Port()), .WeatherCode = "UKXX0085", .TDegree = "c"});
  const ToolRun r = FeedCheck();
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, Lines(28, "55", 12, "40", "61", "World News & Analysis | Example Wire",
                         kSep + "Leaders meet for \"crucial\" climate talks" + kSep + "Trade & tariffs top summit agenda" +
                             kSep + "Markets rally as inflation eases; oil slips" + kSep,
                         "http://www.example-wire.test/world/"));
  std::ifstream log(files.Path() + "/requests.log");
  const std::string requests((std::istreambuf_iterator<char>(log)), {});
  EXPECT_EQ(requests,
            "GET http://weather.yahooapis.com/forecastrss?p=UKXX0085&u=c HTTP/1.0\n"
            "GET http://news.example.test/world.rss HTTP/1.0\n");
}

TEST_F(FeedTools, PerLocationWeatherFromAFileAndAnUnknownLocation) {
  const std::string weather = files.Write("weather.json", R"({
    "UKXX0085": {"city": "London", "today": {"code": 26, "temp": 14},
                 "forecast": [{"code": 11, "low": 9, "high": 15}, {"code": 39, "low": 8, "high": 13}]}
  })");
  FeedServer server({"--weather", weather});
  ASSERT_GT(server.Port(), 0) << server.Stderr();
  WriteSettings({.ShowNews = 0, .Port = std::to_string(server.Port()), .WeatherCode = "UKXX0085", .TDegree = "c"});
  EXPECT_EQ(FeedCheck().out, Lines(26, "14", 39, "8", "13", "", "*** Not Available Now ***", ""));
  // A location the service does not know: an XML reply without weather elements.
  WriteSettings({.ShowNews = 0, .Port = std::to_string(server.Port()), .WeatherCode = "XXXX0000"});
  EXPECT_EQ(FeedCheck().out, kUntouched);
}

TEST_F(FeedTools, OnlyTheNewsAndAFeedThatIsNotThere) {
  FeedServer server({"--feeds", SourcePath("tests/online/data/feeds")});
  ASSERT_GT(server.Port(), 0) << server.Stderr();
  WriteSettings({.ShowWeather = 0, .Port = std::to_string(server.Port()),
                 .RSS_Url = "http://journal.example.test/journal-rdf.xml"});
  EXPECT_EQ(FeedCheck().out, Lines(48, "NA", 48, "NA", "NA", "Example Journal", kSep, "http://journal.example.test/"));
  WriteSettings({.ShowWeather = 0, .Port = std::to_string(server.Port()), .RSS_Url = "http://x.test/missing.xml"});
  EXPECT_EQ(FeedCheck().out, kUntouched);  // the 404 page is not a feed
}

TEST_F(FeedTools, FailuresBelowHttpAreSilentOthersEndTheStep) {
  WriteSettings({.Port = std::to_string(testing_online::ClosedLoopbackPort())});
  ToolRun refused = FeedCheck();
  EXPECT_EQ(refused.code, 0);
  EXPECT_EQ(refused.out, kUntouched);

  WriteSettings({.Port = "eighty"});
  ToolRun badPort = FeedCheck();
  EXPECT_EQ(badPort.code, 1);
  EXPECT_EQ(badPort.out, kUntouched + "error: 'eighty' is not a valid integer value\n");

  WriteSettings({.ShowWeather = 0, .UseProxy = 0, .Port = "", .RSS_Url = "https://news.example.test/rss"});
  ToolRun secure = FeedCheck();
  EXPECT_EQ(secure.code, 1);
  EXPECT_EQ(secure.out, kUntouched + "error: HTTP Secure Socket is not supported\n");
}

TEST_F(FeedTools, TheServerAnswersTheFeedDirectory) {
  const std::string directory = files.Write("directory.json", R"({"categories": [
    {"id": "1", "name": "World", "feeds": [{"title": "Example Wire", "url": "http://feeds.example-wire.test/world"}]},
    {"id": "7", "name": "Business &amp; Money", "feeds": [
      {"title": "Daily Example", "url": "http://www.daily-example.test/business"},
      {"title": "Ticker", "url": "http://ticker.example.test/rss"}]}]})");
  FeedServer server({"--directory", directory});
  ASSERT_GT(server.Port(), 0) << server.Stderr();
  const std::string proxy = "127.0.0.1:" + std::to_string(server.Port());
  const std::string head = "HTTP/1.0 200 OK\r\n";
  ToolRun categories = Tool("tools/httpget/brisvane-httpget", {"--proxy", proxy, "http://directory.example.test/rssdir/category.php"});
  const std::string body = categories.out.substr(categories.out.find("\r\n\r\n") + 4);
  EXPECT_EQ(categories.out.substr(0, head.size()), head);
  EXPECT_EQ(body,
            "<categories count=\"2\"><item><category>World</category><id>1</id></item>"
            "<item><category>Business &amp; Money</category><id>7</id></item></categories>");
  ToolRun feeds = Tool("tools/httpget/brisvane-httpget", {"--proxy", proxy, "http://directory.example.test/rssdir/rsslist.php?category_id=7"});
  EXPECT_EQ(feeds.out.substr(feeds.out.find("\r\n\r\n") + 4),
            "<rsslist count=\"2\"><item><title>Daily Example</title><url>http://www.daily-example.test/business</url></item>"
            "<item><title>Ticker</title><url>http://ticker.example.test/rss</url></item></rsslist>");
  // Directly as well, and an unknown category lists nothing.
  ToolRun none = Tool("tools/httpget/brisvane-httpget", {"http://127.0.0.1:" + std::to_string(server.Port()) + "/rssdir/rsslist.php?category_id=99"});
  EXPECT_EQ(none.out.substr(none.out.find("\r\n\r\n") + 4), "<rsslist count=\"0\"></rsslist>");
}

TEST_F(FeedTools, TheServerRefusesBadArgumentsAndServesNothingOutsideItsFolder) {
  FeedServer bad({"--weather", files.Path() + "/missing.json"});
  EXPECT_EQ(bad.Port(), 0);
  EXPECT_NE(bad.Wait(5000), 0);
  EXPECT_NE(bad.Stderr().find("cannot read --weather"), std::string::npos) << bad.Stderr();

  files.Write("secret.txt", "secret");
  std::filesystem::create_directory(files.Path() + "/site");
  files.Write("site/feed.xml", "<rss version=\"2.0\"></rss>");
  FeedServer server({"--feeds", files.Path() + "/site"});
  ASSERT_GT(server.Port(), 0) << server.Stderr();
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  EXPECT_NE(Tool("tools/httpget/brisvane-httpget", {base + "/feed.xml"}).out.find("<rss version"), std::string::npos);
  for (const char* path : {"/../secret.txt", "/%2e%2e/secret.txt", "/site/../../secret.txt"}) {
    const ToolRun r = Tool("tools/httpget/brisvane-httpget", {base + path});
    EXPECT_EQ(r.out.substr(0, 22), "HTTP/1.0 404 Not Found") << path;
    EXPECT_EQ(r.out.find("secret"), std::string::npos) << path;
  }
}
