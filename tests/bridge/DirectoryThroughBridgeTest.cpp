// The feed directory through the real bridge, read as the configuration dialog
// reads it: requests by the dialog's own HTTP client, set up as the dialog sets
// it up, and replies cut as the dialog cuts them. Then every feed it lists,
// once chosen, reaches the ticker: the user's proxies on loopback stand in for
// the publishers (plain http) and for the news portal (TLS with the test CA).
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <set>

#include "BridgeFixtures.h"
#include "SaverSide.h"
#include "TestCa.h"
#include "components/Wss.h"
#include "framework/TApplication.h"
#include "online/FeedText.h"
#include "online/THttpClient.h"

namespace {

using testing_bridge::Bridge;
using testing_bridge::CutDirectory;
using testing_bridge::FakeUpstream;
using testing_bridge::Rss;
using testing_bridge::TickerLine;

const std::string kSite = "http://www.tarrowind.example";
const std::string kPortalPrefix = "Google News &amp; ";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '&' ? std::string("&amp;") : std::string(1, c);
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class DirectoryThroughBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ca.Ok()) << ca.Error();
    ASSERT_TRUE(publishers.Ok() && portal.Ok());
    bridge = std::make_unique<Bridge>(std::vector<std::string>{"--port", "0", "--ca-file", ca.CaFile()},
                                      std::map<std::string, std::string>{{"http_proxy", publishers.Url("")},
                                                                         {"https_proxy", portal.Url("")}});
    ASSERT_GT(bridge->port, 0) << bridge->process.Stderr();
    // As the RSS News page sets up its client, "Use HTTP Proxy" checked.
    client.SetTimeOut(5000);
    client.SetInputFileMode(false);
    client.SetOutputFileMode(false);
    client.SetReportLevel(2);
    client.SetProxy("127.0.0.1");
    client.SetProxyPort(bridge->port);
  }

  const std::string& Get(const std::string& url) {
    client.Get(url);
    return client.GetBody();
  }

  framework::TApplication app;
  online::THttpClient client{nullptr};
  testing_bridge::TestCa ca;
  // Any http address: a feed named after the address it was asked for.
  FakeUpstream publishers{[](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
    c.Send(Rss("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + Escaped(r.target) +
               "</title><link>http://publisher.example/</link><item><title>Item</title></item></channel></rss>"));
  }};
  // The portal's current addresses, behind CONNECT: a feed named after the path.
  FakeUpstream portal{[](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
                        c.Send(Rss("<rss version=\"2.0\"><channel><title>" + kPortalPrefix +
                                   r.target.substr(0, r.target.find('?')) +
                                   "</title><link>https://news.google.com/</link>"
                                   "<item><title>Headline</title></item></channel></rss>"));
                      },
                      &ca.Leaf(), true};
  std::unique_ptr<Bridge> bridge;
};

TEST_F(DirectoryThroughBridge, CategoriesAndFeedsInTheFormsTheDialogReads) {
  // First showing of the page: the current feed's title, cleaned and decoded.
  const std::string current = Get(components::kDefaultRssUrl);
  std::string first, root;
  online::ParseBetween(current, "<?", " ", first);
  online::ParseBetween(current, "<", " ", root);
  EXPECT_TRUE(first == "xml" || root == "rss") << current;
  std::string title;
  online::ParseBetween(current, "<title>", "</title>", title);
  EXPECT_EQ(online::DecodeEntities(online::CleanFeedText(title)), "Google News & /rss/headlines/section/topic/WORLD");

  const auto categories = CutDirectory(Get(kSite + "/rssdir/category.php"), "categories", "category", "id");
  ASSERT_TRUE(categories) << client.GetBody();
  std::vector<std::string> names;
  std::set<std::string> ids, urls;
  for (const auto& [name, id] : *categories) {
    SCOPED_TRACE(name);
    names.push_back(name);
    // "0" is the dialog's own "User Defined"; the identifier goes into a query as it is.
    EXPECT_NE(id, "0");
    EXPECT_FALSE(id.empty());
    for (char c : id) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << id;
    EXPECT_TRUE(ids.insert(id).second) << id;

    const auto feeds = CutDirectory(Get(kSite + "/rssdir/rsslist.php?category_id=" + id), "rsslist", "title", "url");
    ASSERT_TRUE(feeds) << client.GetBody();
    EXPECT_GE(feeds->size(), 3u);  // several publishers
    std::set<std::string> titles;
    for (const auto& [feedTitle, url] : *feeds) {
      // Shown verbatim: no entity, markup or CDATA the dialog would show raw.
      EXPECT_EQ(feedTitle.find_first_of("&<>"), std::string::npos) << feedTitle;
      EXPECT_FALSE(feedTitle.empty());
      EXPECT_TRUE(titles.insert(feedTitle).second) << feedTitle;
      EXPECT_TRUE(url.starts_with("http://")) << url;  // the saver cannot ask for https
      EXPECT_EQ(url.find_first_of(" <>\"\t\r\n"), std::string::npos) << url;
      EXPECT_EQ(url.find("&amp;"), std::string::npos) << url;
      EXPECT_TRUE(urls.insert(url).second) << url;
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"World", "Business", "Technology", "Science", "Sports", "Entertainment",
                                             "Health"}));

  // An identifier the directory does not have: a valid list without feeds.
  const auto none = CutDirectory(Get(kSite + "/rssdir/rsslist.php?category_id=99"), "rsslist", "title", "url");
  ASSERT_TRUE(none) << client.GetBody();
  EXPECT_TRUE(none->empty());
  EXPECT_EQ(publishers.Connections(), 0);  // the directory itself is answered by the bridge
}

// Each listed address, taken as the saver's RSS_Url, is asked for upstream as
// it is listed (the portal's retired ones in today's form, on the category's
// own topic) and its titles reach the ticker.
TEST_F(DirectoryThroughBridge, EveryListedFeedReachesTheTicker) {
  const auto categories = CutDirectory(Get(kSite + "/rssdir/category.php"), "categories", "category", "id");
  ASSERT_TRUE(categories && !categories->empty());
  int fetched = 0;
  for (const auto& [name, id] : *categories) {
    const auto feeds = CutDirectory(Get(kSite + "/rssdir/rsslist.php?category_id=" + id), "rsslist", "title", "url");
    ASSERT_TRUE(feeds);
    for (const auto& [title, url] : *feeds) {
      SCOPED_TRACE(name + ": " + title);
      const online::TNewsReply reply = online::CutNewsReply(Get(url));
      EXPECT_TRUE(reply.Usable) << client.GetBody().substr(0, 300);
      if (url.starts_with("http://news.google.com/")) {
        EXPECT_EQ(reply.NameNews, "Google News & /rss/headlines/section/topic/" + Upper(name));
        EXPECT_EQ(reply.RssLine, TickerLine({"Headline"}));
      } else {
        EXPECT_EQ(reply.NameNews, url);
        EXPECT_EQ(reply.RssLine, TickerLine({"Item"}));
      }
      ++fetched;
    }
  }
  EXPECT_EQ(publishers.Connections() + portal.Connections(), fetched);
  for (const FakeUpstream::Request& r : portal.Requests()) {
    EXPECT_TRUE(r.connect.starts_with("CONNECT news.google.com:443 ")) << r.connect;
    EXPECT_TRUE(r.target.ends_with("?hl=en-US&gl=US&ceid=US:en")) << r.target;
  }
}

}  // namespace
