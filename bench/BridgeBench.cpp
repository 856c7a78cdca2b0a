// brisvane-bridge as the saver meets it: one proxy-form request per
// connection, timed from connect to close. From its cache, and through it to
// a fake upstream on loopback (plain and https), beside the same fetch made
// straight to that upstream; and the bridge's peak memory while upstreams
// send endless and oversized bodies.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/BridgeProcess.h"
#include "bridge/FakeUpstream.h"
#include "bridge/SaverClient.h"
#include "bridge/TestCa.h"
#include "bridge/WeatherSamples.h"

namespace {

using testing_bridge::BridgeProcess;
using testing_bridge::FakeUpstream;
using testing_bridge::SaverGet;

std::string Feed(int items) {
  std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Bench</title>"
                     "<link>http://bench.example/</link>";
  for (int i = 0; i < items; ++i)
    body += "<item><title>Headline number " + std::to_string(i) +
            " &amp; a little more text</title><link>http://bench.example/" + std::to_string(i) +
            "</link><description>&lt;p&gt;A paragraph of description.&lt;/p&gt;</description></item>";
  return body + "</channel></rss>";
}

std::string Rss(const std::string& body) {
  return FakeUpstream::Reply("200 OK", "Content-Type: application/rss+xml\r\n", body);
}

struct World {
  World()
      : secure(FakeUpstream::Routes({{"/feed", Rss(Feed(30))}}), &ca.Leaf()),
        feeds(FakeUpstream::Routes({{"/feed", Rss(Feed(30))},
                                    {"/moved", FakeUpstream::Reply("301 Moved Permanently",
                                                                   "Location: " + secure.Url("/feed") + "\r\n", "")},
                                    {"/v1/forecast", FakeUpstream::Reply("200 OK", "Content-Type: application/json\r\n",
                                                                         testing_bridge::OpenMeteoSample(3, 1, 41.5))}})),
        bridge(BridgeProcess::Launch{{"--port", "0", "--allow-loopback-upstream", "--open-meteo-url", feeds.Url(""),
                                      "--ca-file", ca.CaFile()}, {}}) {
    port = bridge.WaitListening(30000);
  }
  testing_bridge::TestCa ca;
  FakeUpstream secure;
  FakeUpstream feeds;
  BridgeProcess bridge;
  int port = 0;
};

World& TheWorld() {
  static World world;
  return world;
}

void Check(benchmark::State& state, const testing_bridge::SaverReply& r) {
  if (r.status != 200) state.SkipWithError(("status " + std::to_string(r.status)).c_str());
}

void BM_WeatherFromCache(benchmark::State& state) {
  World& w = TheWorld();
  const std::string url = "http://weather.yahooapis.com/forecastrss?p=20001&u=f";
  Check(state, SaverGet(w.port, url));
  for (auto _ : state) Check(state, SaverGet(w.port, url));
}
BENCHMARK(BM_WeatherFromCache)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FeedFromCache(benchmark::State& state) {
  World& w = TheWorld();
  const std::string url = w.feeds.Url("/feed?cached");
  Check(state, SaverGet(w.port, url));
  for (auto _ : state) Check(state, SaverGet(w.port, url));
}
BENCHMARK(BM_FeedFromCache)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Every request a new address: a fetch and a rewrite each time.
void BM_FeedFromUpstream(benchmark::State& state) {
  World& w = TheWorld();
  static long serial = 0;
  for (auto _ : state) Check(state, SaverGet(w.port, w.feeds.Url("/feed?n=" + std::to_string(++serial))));
}
BENCHMARK(BM_FeedFromUpstream)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The saver's http address answered with a redirect to https, as most sites do now.
void BM_FeedFromUpstreamThroughHttpsRedirect(benchmark::State& state) {
  World& w = TheWorld();
  static long serial = 0;
  for (auto _ : state) Check(state, SaverGet(w.port, w.feeds.Url("/moved?n=" + std::to_string(++serial))));
}
BENCHMARK(BM_FeedFromUpstreamThroughHttpsRedirect)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A reply straight from the fake, without the bridge: the loopback floor.
void BM_StraightFromUpstream(benchmark::State& state, const char* target) {
  World& w = TheWorld();
  const std::string request = std::string("GET ") + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  for (auto _ : state) Check(state, testing_bridge::RawRequest(w.feeds.Port(), request));
}
BENCHMARK_CAPTURE(BM_StraightFromUpstream, Feed, "/feed")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_StraightFromUpstream, Weather, "/v1/forecast?latitude=38.9&longitude=-77.0")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_WeatherFromUpstream(benchmark::State& state) {
  World& w = TheWorld();
  // Codes that are all in the table; each is a new cache key.
  static const char* const kCodes[] = {"57401", "79601", "02301", "19001", "01720", "30101", "60101", "92301",
                                       "49221", "01001", "91301", "85224", "29801", "44301", "35007", "32762",
                                       "94501", "78516", "88310", "94706", "31701", "12201", "97321", "35950"};
  static size_t next = 0;
  for (auto _ : state) {
    if (next >= 2 * std::size(kCodes)) {
      state.SkipWithError("out of uncached codes");
      break;
    }
    const std::string unit = (next / std::size(kCodes)) % 2 ? "c" : "f";
    const std::string code = kCodes[next++ % std::size(kCodes)];
    Check(state, SaverGet(w.port, "http://weather.yahooapis.com/forecastrss?p=" + code + "&u=" + unit));
  }
}
BENCHMARK(BM_WeatherFromUpstream)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(8);

// A feed of one item and then a million empty elements, just under the
// bridge's 4 MiB upstream cap.
std::string DenseFeed() {
  std::string body = "<rss><channel><title>Dense</title><link>l</link><item><title>first</title></item>";
  for (int i = 0; i < 1000000; ++i) body += "<a/>";
  return body + "</channel></rss>";
}

// Peak resident memory of a fresh bridge while several clients at once ask for
// what hostile upstreams send: an endless body and a 50 MB body, or dense feeds.
void PeakMemory(benchmark::State& state, const std::vector<std::string>& paths) {
  static const std::string dense = Rss(DenseFeed());
  FakeUpstream hostile([](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
    if (r.target.starts_with("/dense")) {
      c.Send(dense);
      return;
    }
    const std::string chunk(65536, 'x');
    if (r.target.starts_with("/huge")) c.Send("HTTP/1.1 200 OK\r\nContent-Length: 52428800\r\n\r\n");
    else c.Send("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n<rss><channel><title>");
    for (int i = 0; i < 800 && c.Send(chunk); ++i) {
    }
  });
  for (auto _ : state) {
    BridgeProcess bridge(BridgeProcess::Launch{{"--port", "0", "--allow-loopback-upstream"}, {}});
    const int port = bridge.WaitListening(30000);
    const long before = bridge.PeakKb();
    std::atomic<int> unanswered{0};
    std::vector<std::thread> clients;
    for (size_t i = 0; i < paths.size(); ++i)
      clients.emplace_back([&, i] {
        if (SaverGet(port, hostile.Url(paths[i] + "?" + std::to_string(i))).status == 0) ++unanswered;
      });
    for (auto& t : clients) t.join();
    if (unanswered > 0) state.SkipWithError("a client got no reply");
    state.counters["start_kB"] = static_cast<double>(before);
    state.counters["peak_kB"] = static_cast<double>(bridge.PeakKb());
  }
}

void BM_PeakMemoryUnderHostileUpstreams(benchmark::State& state) {
  PeakMemory(state, {"/endless", "/huge", "/endless", "/huge", "/endless", "/huge", "/endless", "/huge"});
}
BENCHMARK(BM_PeakMemoryUnderHostileUpstreams)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// One dense feed, and four at once (as many as the bridge fetches together).
void BM_PeakMemoryUnderDenseFeeds(benchmark::State& state) {
  PeakMemory(state, std::vector<std::string>(static_cast<size_t>(state.range(0)), "/dense"));
}
BENCHMARK(BM_PeakMemoryUnderDenseFeeds)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
