// The real program on loopback: requests in the saver's proxy form, upstreams
// faked over http and https (a test CA), hostile upstreams and clients.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "BridgeFixtures.h"
#include "SaverSide.h"
#include "TestCa.h"
#include "WeatherSamples.h"
#include "config/MakerSite.h"
#include "online/FeedText.h"

namespace {

using online::CutNewsReply;
using online::CutWeatherReply;
using testing_bridge::Args;
using testing_bridge::Bridge;
using testing_bridge::BridgeProcess;
using testing_bridge::FakeUpstream;
using testing_bridge::kSaverTimeOutMs;
using testing_bridge::kStartMs;
using testing_bridge::Rss;
using testing_bridge::SaverGet;
using testing_bridge::SaverReply;
using testing_bridge::TickerLine;
using testing_bridge::Weather;

TEST(BridgeProgram, WeatherFromOpenMeteoOverHttpsInBothUnits) {
  testing_bridge::TestCa ca;
  ASSERT_TRUE(ca.Ok()) << ca.Error();
  FakeUpstream openMeteo(
      [](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
        const bool celsius = r.target.find("temperature_unit=celsius") != std::string::npos;
        c.Send(testing_bridge::Json(celsius ? testing_bridge::OpenMeteoSample(61, 0, 7.5) : testing_bridge::OpenMeteoSample(2, 1, 71.4)));
      },
      &ca.Leaf());
  ASSERT_TRUE(openMeteo.Ok());
  Bridge bridge(Args({"--open-meteo-url", openMeteo.Url(""), "--ca-file", ca.CaFile()}));
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();

  SaverReply f = bridge.Get("http://weather.yahooapis.com/forecastrss?p=20001&u=f");
  ASSERT_EQ(f.status, 200) << f.body;
  EXPECT_TRUE(f.closed);
  EXPECT_TRUE(f.head.starts_with("HTTP/1.0 200"));
  EXPECT_EQ(f.Header("Content-Length"), std::to_string(f.body.size()));
  EXPECT_EQ(Weather(CutWeatherReply(f.body)), "30 71 11 -1 51");

  SaverReply c = bridge.Get("http://weather.yahooapis.com/forecastrss?p=UKXX0085&u=c");
  ASSERT_EQ(c.status, 200) << c.body;
  const online::TWeatherReply cv = CutWeatherReply(c.body);
  EXPECT_EQ(cv.TodayCode, 11);  // WMO 61 at night
  EXPECT_EQ(cv.TodayNow, "8");
  EXPECT_NE(c.body.find("temperature=\"C\""), std::string::npos);

  const std::vector<FakeUpstream::Request> requests = openMeteo.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].target.find("latitude=38.9122&longitude=-77.0177"), std::string::npos);
  EXPECT_NE(requests[1].target.find("latitude=50.7687&longitude=0.2845"), std::string::npos);

  // An unknown code: a page without an XML declaration, which the gadget shows as not available.
  SaverReply unknown = bridge.Get("http://weather.yahooapis.com/forecastrss?p=QQQQ0000&u=f");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(Weather(CutWeatherReply(unknown.body)), "48 NA 48 NA NA");
  EXPECT_EQ(openMeteo.Requests().size(), 2u);
}

TEST(BridgeProgram, WeatherFromMetNo) {
  FakeUpstream metno([](const FakeUpstream::Request&, FakeUpstream::Connection& c) {
    c.Send(FakeUpstream::Reply("200 OK",
                               "Content-Type: application/json\r\nLast-Modified: Tue, 16 Jan 2024 10:00:00 GMT\r\n",
                               testing_bridge::MetNoAround(static_cast<long long>(std::time(nullptr)))));
  });
  Bridge bridge(Args({"--weather-source", "metno", "--metno-url", metno.Url("")}));
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();
  SaverReply f = bridge.Get("http://weather.yahooapis.com/forecastrss?p=20001&u=f");
  ASSERT_EQ(f.status, 200) << f.body;
  EXPECT_EQ(Weather(CutWeatherReply(f.body)), "12 50 16 36 54");
  SaverReply c = bridge.Get("http://weather.yahooapis.com/forecastrss?p=20001&u=c");
  EXPECT_EQ(Weather(CutWeatherReply(c.body)), "12 10 16 2 12");
  EXPECT_NE(f.body.find("Data from MET Norway"), std::string::npos);
  ASSERT_FALSE(metno.Requests().empty());
  // The service's terms: the application and a contact.
  const std::string agent = metno.Requests()[0].Header("User-Agent");
  EXPECT_TRUE(agent.starts_with("brisvane-bridge/")) << agent;
  EXPECT_NE(agent.find(config::kMakerSite), std::string::npos) << agent;
}

TEST(BridgeProgram, NewsInEveryFormComesOutAsTheTickersTitles) {
  testing_bridge::NewsFeeds feeds;
  ASSERT_EQ(feeds.Failure(), "");
  for (const testing_bridge::NewsCase& c : testing_bridge::NewsCases()) {
    SCOPED_TRACE(c.path);
    SaverReply r = feeds.bridge.Get(feeds.http.Url(c.path));
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.Header("Content-Type"), "text/xml; charset=UTF-8");
    const online::TNewsReply v = CutNewsReply(r.body);
    EXPECT_TRUE(v.Usable);
    EXPECT_EQ(v.NameNews, c.nameNews);
    EXPECT_EQ(v.RssLine, c.line);
    EXPECT_EQ(v.Link, c.link);
  }
  SaverReply passed = feeds.bridge.Get(feeds.http.Url("/page"));
  EXPECT_EQ(passed.status, 200);
  EXPECT_EQ(passed.body, testing_bridge::kNotAFeedPage);
  EXPECT_EQ(CutNewsReply(passed.body).RssLine, "*** Not Available Now ***");
  ASSERT_EQ(feeds.https.Requests().size(), 1u);
}

// A user's proxy that intercepts TLS with the test CA: the only way a test can
// stand in for the news portal's real host.
TEST(BridgeProgram, RetiredNewsPortalAddressIsRewrittenAndFetchedThroughTheUsersProxy) {
  testing_bridge::TestCa ca;
  ASSERT_TRUE(ca.Ok()) << ca.Error();
  FakeUpstream proxy(FakeUpstream::Routes({{"/rss/headlines/section/topic/WORLD",
                                            Rss("<rss><channel><title>World - Latest</title><link>https://n/</link>"
                                                "<item><title>Headline</title></item></channel></rss>")}}),
                     &ca.Leaf(), true);
  // No loopback upstream allowed: the proxy is the user's own choice.
  Bridge bridge({"--port", "0", "--ca-file", ca.CaFile()}, {{"https_proxy", proxy.Url("")}});
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();
  SaverReply r = bridge.Get("http://news.google.com/news?ned=us&topic=w&output=rss");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(CutNewsReply(r.body).RssLine, TickerLine({"Headline"}));
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_TRUE(proxy.Requests()[0].connect.starts_with("CONNECT news.google.com:443 "));
  EXPECT_EQ(proxy.Requests()[0].target, "/rss/headlines/section/topic/WORLD?hl=en-US&gl=US&ceid=US:en");
}

TEST(BridgeProgram, AProxyVariablePointingAtTheBridgeIsNotFollowed) {
  FakeUpstream feeds(FakeUpstream::Routes({{"/f", Rss("<rss><channel><title>T</title><link>l</link></channel></rss>")}}));
  int port = 0;
  const int fd = testing_bridge::ListenOnLoopback(port);
  ASSERT_GE(fd, 0);
  const std::string self = "http://127.0.0.1:" + std::to_string(port);
  BridgeProcess process(BridgeProcess::Launch{{"--allow-loopback-upstream"},
                                              {{"http_proxy", self}, {"https_proxy", self}, {"all_proxy", self}},
                                              fd});
  ::close(fd);
  ASSERT_EQ(process.WaitListening(kStartMs), port) << process.Stderr();
  SaverReply r = SaverGet(port, feeds.Url("/f"));
  EXPECT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(CutNewsReply(r.body).NameNews, "T");
  EXPECT_EQ(feeds.Requests().size(), 1u);
}

std::string RunHttpGet(int proxyPort, const std::string& url) {
  const std::string command = std::string(BRISVANE_HTTPGET_EXE) + " --proxy 127.0.0.1:" + std::to_string(proxyPort) +
                              " --timeout 5000 '" + url + "' 2>&1";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

TEST(BridgeProgram, TheDirectoryThroughTheDialogsOwnClient) {
  Bridge bridge({"--port", "0"});
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();
  const std::string categories = RunHttpGet(bridge.port, "http://www.tarrowind.example/rssdir/category.php");
  const std::string body = categories.substr(categories.find("\r\n\r\n") + 4);
  std::string root;
  online::ParseBetween(body, "<", " ", root);
  EXPECT_EQ(root, "categories") << categories;
  EXPECT_NE(body.find("<item><category>World</category><id>1</id></item>"), std::string::npos);
  const std::string feeds = RunHttpGet(bridge.port, "http://www.tarrowind.example/rssdir/rsslist.php?category_id=7");
  const std::string list = feeds.substr(feeds.find("\r\n\r\n") + 4);
  online::ParseBetween(list, "<", " ", root);
  EXPECT_EQ(root, "rsslist") << feeds;
  EXPECT_NE(list.find("<item><title>BBC News - Health</title><url>http://feeds.bbci.co.uk/news/health/rss.xml</url>"
                      "</item>"),
            std::string::npos);
}

// Hostile upstreams, reached through a loopback proxy fake: even a bridge that
// failed to refuse a local or private address would only ever reach the fake.
TEST(BridgeProgram, HostileUpstreamsNeverHoldTheSaverNorTheBridge) {
  testing_bridge::HostileProxy hostile;
  const FakeUpstream& proxy = hostile.Proxy();
  Bridge bridge({"--port", "0"}, {{"http_proxy", hostile.Url()}, {"ASAN_OPTIONS", "quarantine_size_mb=16"}});
  ASSERT_GT(bridge.port, 0) << bridge.process.Stderr();
  const long startKb = bridge.process.ResidentKb();

  struct Case {
    const char* url;
    int status;
    std::string line = "*** Not Available Now ***";
  };
  const Case cases[] = {
      {"http://hostile.example/silent", 504},
      {"http://hostile.example/endless", 502},
      {"http://hostile.example/huge", 502},
      {"http://hostile.example/loop", 502},
      {"http://hostile.example/file", 403},
      {"http://hostile.example/local", 403},
      {"http://hostile.example/localhost", 403},
      {"http://10.1.2.3/feed", 403},
      {"http://192.168.0.1/", 403},
      {"http://169.254.169.254/latest/meta-data/", 403},
      {"http://[fd00::1]/", 403},
      {"http://localhost/", 403},
      {"http://hostile.example/dense", 200, TickerLine({"first"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    SaverReply r = bridge.Get(c.url);
    EXPECT_TRUE(r.closed);
    EXPECT_LT(r.elapsedMs, kSaverTimeOutMs);
    EXPECT_EQ(r.status, c.status) << r.body.substr(0, 300);
    EXPECT_EQ(CutNewsReply(r.body).RssLine, c.line);
  }
  // Dense feeds, four at once as the bridge's workers take them.
  std::vector<std::thread> clients;
  std::vector<SaverReply> dense(4);
  for (size_t i = 0; i < dense.size(); ++i)
    clients.emplace_back([&, i] { dense[i] = bridge.Get("http://hostile.example/dense?" + std::to_string(i)); });
  for (std::thread& t : clients) t.join();
  for (const SaverReply& r : dense) {
    EXPECT_EQ(r.status, 200);
    EXPECT_LT(r.elapsedMs, kSaverTimeOutMs);
  }
  EXPECT_EQ(hostile.Secret().Connections(), 0);
  for (const FakeUpstream::Request& r : proxy.Requests())
    EXPECT_EQ(r.target.find("hostile.example"), 7u) << "the proxy saw " << r.target;
  EXPECT_LT(hostile.EndlessBytes(), 64L << 20);
  // Still serving, and memory stayed near where it started.
  SaverReply fine = bridge.Get("http://hostile.example/fine");
  EXPECT_EQ(fine.status, 200);
  EXPECT_TRUE(bridge.process.Running());
  const long peakKb = bridge.process.PeakKb();
  std::printf("bridge memory: %ld kB at start, %ld kB peak after the hostile upstreams\n", startKb, peakKb);
  EXPECT_LT(peakKb - startKb, 96 * 1024);
}

// A name that resolves to loopback passes the address checks on names; the
// socket-level check must still refuse the connection.
TEST(BridgeProgram, ANameThatResolvesToLoopbackIsRefusedAtConnect) {
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) GTEST_SKIP() << "the host name does not resolve";
  const bool loopback = (ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr) >> 24) == 127;
  freeaddrinfo(found);
  if (!loopback) GTEST_SKIP() << "the host name is not on loopback here";
  FakeUpstream secret(FakeUpstream::Routes({{"/", Rss("<rss><channel><title>secret</title></channel></rss>")}}));
  Bridge bridge({"--port", "0"});
  ASSERT_GT(bridge.port, 0);
  SaverReply r = bridge.Get("http://" + std::string(host) + ":" + std::to_string(secret.Port()) + "/");
  EXPECT_EQ(r.status, 403) << r.body;
  EXPECT_EQ(secret.Connections(), 0);
}

int Connect(int port, bool blocking) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return fd;
}

bool ClosedWithin(int fd, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
  }
  return false;
}

TEST(BridgeProgram, HostileClientsAreRefusedOrBoundedAndTheBridgeKeepsServing) {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
  setrlimit(RLIMIT_NOFILE, &files);
  Bridge bridge({"--port", "0"});
  ASSERT_GT(bridge.port, 0);
  const std::string directory = "http://www.tarrowind.example/rssdir/category.php";

  // Slow headers: half a request, then silence, is dropped; others are served meanwhile.
  const int slow = Connect(bridge.port, true);
  const std::string half = "GET " + directory + " HTTP/1.0\r\nHost: www.ta";
  ASSERT_EQ(::send(slow, half.data(), half.size(), MSG_NOSIGNAL), static_cast<ssize_t>(half.size()));
  EXPECT_EQ(bridge.Get(directory).status, 200);
  EXPECT_TRUE(ClosedWithin(slow, 20000));
  ::close(slow);

  // A 1 MB request line is refused without being read whole.
  SaverReply longLine = testing_bridge::RawRequest(bridge.port, "GET http://a.example/" + std::string(1 << 20, 'a') +
                                                                    " HTTP/1.0\r\n\r\n");
  EXPECT_TRUE(longLine.closed);
  EXPECT_TRUE(longLine.status == 0 || longLine.status == 414 || longLine.status == 431) << longLine.status;

  // Methods other than GET.
  for (const char* method : {"POST", "PUT", "DELETE", "CONNECT", "HEAD"}) {
    SaverReply r = testing_bridge::RawRequest(
        bridge.port, std::string(method) + " http://a.example/ HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_TRUE(r.status == 405 || r.status == 400) << method << " " << r.status;
  }

  // A thousand idle connections: bounded, and the saver is still answered.
  std::vector<int> idle;
  for (int i = 0; i < 1000; ++i) idle.push_back(Connect(bridge.port, false));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  SaverReply during = bridge.Get(directory);
  EXPECT_EQ(during.status, 200);
  EXPECT_LT(during.elapsedMs, kSaverTimeOutMs);
  const long threads = bridge.process.Threads(), peakKb = bridge.process.PeakKb();
  std::printf("bridge under 1000 idle connections: %ld threads, %ld kB peak\n", threads, peakKb);
  EXPECT_LT(threads, 32);
  for (int fd : idle) ::close(fd);
  EXPECT_EQ(bridge.Get(directory).status, 200);
  EXPECT_TRUE(bridge.process.Running());
}

// A client that trickles its request a byte at a time is never silent for
// long, so only a bound on the whole arrival frees its connection.
TEST(BridgeProgram, ATricklingClientIsCutOffWhenItsRequestTakesTooLong) {
  Bridge bridge({"--port", "0"});
  ASSERT_GT(bridge.port, 0);
  const auto start = std::chrono::steady_clock::now();
  const int fd = Connect(bridge.port, true);
  const std::string line = "GET http://www.tarrowind.example/rssdir/category.php HTTP/1.0\r\nX-Slow: ";
  ASSERT_EQ(::send(fd, line.data(), line.size(), MSG_NOSIGNAL), static_cast<ssize_t>(line.size()));
  bool closed = false;
  for (int i = 0; i < 60 && !closed; ++i) {  // half a second a byte, at most thirty seconds
    ::send(fd, "a", 1, MSG_NOSIGNAL);
    closed = ClosedWithin(fd, 500);
  }
  ::close(fd);
  const auto took = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  EXPECT_TRUE(closed) << "still open after " << took.count() << " s";
  EXPECT_LT(took.count(), 20);
  EXPECT_EQ(bridge.Get("http://www.tarrowind.example/rssdir/category.php").status, 200);
}

// A test that dies midway (a crash, a sanitizer's abort, a kill) runs no
// destructor: the bridge it started must end with it all the same.
TEST(BridgeProgram, TheBridgeEndsWithATestThatDies) {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-dying-XXXXXX").string();
  ASSERT_TRUE(mkdtemp(pattern.data()));
  const std::string folder = pattern;
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t watcher = ::fork();
  ASSERT_GE(watcher, 0);
  if (watcher == 0) {
    // Orphans come to this process rather than to init, so their end is seen here.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t test = ::fork();
    if (test == 0) {
      ::setenv("TMPDIR", folder.c_str(), 1);  // where the bridge's output goes, removed below
      BridgeProcess bridge(BridgeProcess::Launch{{"--port", "0"}, {}});
      const pid_t pid = bridge.WaitListening(kStartMs) > 0 ? bridge.Pid() : 0;
      if (::write(channel[1], &pid, sizeof pid) != sizeof pid) ::_exit(1);
      ::pause();
      ::_exit(0);
    }
    pid_t bridgePid = 0;
    if (test < 0 || ::read(channel[0], &bridgePid, sizeof bridgePid) != sizeof bridgePid || bridgePid <= 0) ::_exit(2);
    ::kill(test, SIGKILL);
    ::waitpid(test, nullptr, 0);
    for (int i = 0; i < 1000; ++i) {  // ten seconds
      if (::waitpid(bridgePid, nullptr, WNOHANG) == bridgePid) ::_exit(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(bridgePid, SIGKILL);
    ::waitpid(bridgePid, nullptr, 0);
    ::_exit(3);
  }
  ::close(channel[0]);
  ::close(channel[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(watcher, &status, 0), watcher);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 2) << "the bridge did not start";
  EXPECT_NE(WEXITSTATUS(status), 3) << "the bridge outlived the test that started it";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BridgeProgram, SocketActivationStartsOnTheFirstRequestAndExitsWhenIdle) {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-cachedir-XXXXXX").string();
  ASSERT_TRUE(mkdtemp(pattern.data()));
  const std::string cacheDir = pattern;
  auto feeds = std::make_unique<FakeUpstream>(FakeUpstream::Routes(
      {{"/f", Rss("<rss><channel><title>Activated</title><link>l</link><item><title>A</title></item></channel></rss>")}}));
  const std::string feed = feeds->Url("/f");
  auto activate = [&](int& port) {
    const int fd = testing_bridge::ListenOnLoopback(port);
    auto p = std::make_unique<BridgeProcess>(BridgeProcess::Launch{
        {"--allow-loopback-upstream"}, {{"BRISVANE_BRIDGE_IDLE_EXIT", "2"}, {"CACHE_DIRECTORY", cacheDir}}, fd, true});
    ::close(fd);
    return p;
  };

  int port = 0;
  std::unique_ptr<BridgeProcess> first = activate(port);
  ASSERT_TRUE(first->Started());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Nothing but the activator runs until a client comes.
  EXPECT_EQ(first->Stdout().find("listening"), std::string::npos);
  SaverReply r = SaverGet(port, feed);
  EXPECT_EQ(r.status, 200) << r.body << first->Stderr();
  EXPECT_EQ(CutNewsReply(r.body).NameNews, "Activated");
  EXPECT_NE(first->Stdout().find("(socket activation)"), std::string::npos);
  EXPECT_EQ(first->Wait(30000), 0) << first->Stderr();  // idle for two seconds: gone

  // Started again with the upstream gone: the last good reply comes from the cache folder.
  feeds.reset();
  std::unique_ptr<BridgeProcess> second = activate(port);
  SaverReply again = SaverGet(port, feed);
  EXPECT_EQ(again.status, 200) << again.body;
  EXPECT_EQ(CutNewsReply(again.body).NameNews, "Activated");
  EXPECT_EQ(second->Wait(30000), 0);
  std::error_code ec;
  std::filesystem::remove_all(cacheDir, ec);
}

}  // namespace

namespace {

// A reply's first bytes from a connection made from one local address to another.
std::string FirstBytes(const char* from, const char* to, int port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{}, remote{};
  local.sin_family = remote.sin_family = AF_INET;
  inet_pton(AF_INET, from, &local.sin_addr);
  inet_pton(AF_INET, to, &remote.sin_addr);
  remote.sin_port = htons(static_cast<uint16_t>(port));
  std::string got;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return got;
}

}  // namespace

// In a network namespace of its own, where 192.0.2.10 sits on the loopback
// device and nothing leaves the machine: a socket handed over on all addresses
// still answers only peers on loopback.
TEST(BridgeProgram, ClientsThatAreNotOnLoopbackAreRefused) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNET) != 0) ::_exit(77);
    if (std::system("ip link set lo up && ip addr add 192.0.2.10/32 dev lo") != 0) ::_exit(77);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    socklen_t len = sizeof any;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&any), &len) != 0)
      ::_exit(3);
    const int port = ntohs(any.sin_port);
    int code = 0;
    {
      // Out of this block before leaving, so the bridge is stopped and reaped.
      BridgeProcess bridge(BridgeProcess::Launch{{}, {}, fd});
      const std::string request = testing_bridge::SaverRequestText("http://www.tarrowind.example/rssdir/category.php");
      if (bridge.WaitListening(kStartMs) != port) {
        code = 4;
      } else {
        if (!FirstBytes("192.0.2.10", "192.0.2.10", port, request).empty()) code |= 1;
        if (!FirstBytes("127.0.0.1", "127.0.0.1", port, request).starts_with("HTTP/1.0 200")) code |= 2;
      }
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private network namespace here";
  EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "a peer off loopback was answered";
  EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "a peer on loopback was not answered";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
