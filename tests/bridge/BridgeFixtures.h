// What the program tests share: the bridge on a port of its own, replies in
// the upstreams' shapes, the news feeds in every form with what the saver must
// show of each, and a proxy that plays every hostile upstream.
#pragma once

#include <atomic>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BridgeProcess.h"
#include "FakeUpstream.h"
#include "SaverClient.h"
#include "TestCa.h"

namespace testing_bridge {

constexpr int kStartMs = 30000;
// The saver gives up after five seconds without data.
constexpr long kSaverTimeOutMs = 5000;

struct Bridge {
  explicit Bridge(std::vector<std::string> args, std::map<std::string, std::string> env = {});
  SaverReply Get(const std::string& url) { return SaverGet(port, url); }
  // The bridge's own line for a request it answered: "STATUS MS target", or empty.
  std::string Logged(const std::string& target) const;
  BridgeProcess process;
  int port = 0;
};

// --port 0 --allow-loopback-upstream and these.
std::vector<std::string> Args(std::initializer_list<std::string> extra);
std::string Json(const std::string& body);
std::string Rss(const std::string& body, const std::string& type = "application/rss+xml");

// A feed in every form the bridge reads, each at a path of a plain-http fake;
// "/moved" redirects to secureFeedUrl, which serves SecureFeed().
std::map<std::string, std::string> NewsRoutes(const std::string& secureFeedUrl);
std::string SecureFeed();
struct NewsCase {
  const char* path;
  std::string nameNews;
  std::string line;  // the ticker line
  std::string link;
};
std::vector<NewsCase> NewsCases();
// At "/page": no feed, passed on as it is.
extern const char* const kNotAFeedPage;

// The feeds of NewsRoutes on a plain-http fake, the redirect's target on a TLS
// fake, and a bridge that trusts the test CA.
struct NewsFeeds {
  NewsFeeds();
  // Why not, or empty when all started.
  std::string Failure() const;
  TestCa ca;
  FakeUpstream https, http;
  Bridge bridge;
};

// A user's http proxy on loopback that plays the hostile upstreams by path,
// whatever the host: "/silent" never answers, "/endless" and "/huge" send
// without end or 50 MB, "/loop" redirects to itself, "/file", "/local" and
// "/localhost" redirect to file:// and to a fake on loopback, "/dense" is a
// feed of one item ("first") and then a million empty elements, just under
// the bridge's upstream cap; anything else is a small good feed.
class HostileProxy {
 public:
  HostileProxy();
  std::string Url() const { return FProxy->Url(""); }
  const FakeUpstream& Proxy() const { return *FProxy; }
  const FakeUpstream& Secret() const { return *FSecret; }
  long EndlessBytes() const { return FEndlessBytes.load(); }

 private:
  std::atomic<long> FEndlessBytes{0};  // before the proxy: its threads count here until it is gone
  std::unique_ptr<FakeUpstream> FSecret, FProxy;
};

}  // namespace testing_bridge
