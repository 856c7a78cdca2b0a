// The configuration dialog's RSS News page against the real bridge, its proxy
// setting pointing there: the page's own loading and choices, offscreen. Every
// feed the directory lists, once chosen, reaches the ticker through the bridge;
// the user's proxies on loopback stand in for the publishers (plain http) and
// for the news portal (TLS with the test CA).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <cctype>
#include <memory>
#include <set>

#include "BridgeFixtures.h"
#include "SaverSide.h"
#include "TestCa.h"
#include "components/Wss.h"
#include "config/DialogFixture.h"
#include "online/FeedText.h"
#include "online/THttpClient.h"

namespace {

using testing_bridge::Bridge;
using testing_bridge::FakeUpstream;
using testing_bridge::Rss;
using testing_bridge::TickerLine;
using testing_support::Choose;
using testing_support::Items;
using Strings = std::vector<std::string>;

const std::string kPortalTitle = "Google News &amp; ";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '&' ? std::string("&amp;") : std::string(1, c);
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Text(const QLabel* label) { return label->text().toStdString(); }

struct DialogThroughBridge : testing_support::DialogFixture {
  testing_bridge::TestCa ca;
  // Any http address: a feed named after the address it was asked for.
  FakeUpstream publishers{[](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
    c.Send(Rss("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + Escaped(r.target) +
               "</title><link>http://publisher.example/</link><item><title>Item</title></item></channel></rss>"));
  }};
  // The portal's current addresses, behind CONNECT: a feed named after the path.
  FakeUpstream portal{[](const FakeUpstream::Request& r, FakeUpstream::Connection& c) {
                        c.Send(Rss("<rss version=\"2.0\"><channel><title>" + kPortalTitle +
                                   r.target.substr(0, r.target.find('?')) +
                                   "</title><link>https://news.google.com/</link>"
                                   "<item><title>Headline</title></item></channel></rss>"));
                      },
                      &ca.Leaf(), true};
  std::unique_ptr<Bridge> bridge;

  void SetUp() override {
    ASSERT_TRUE(ca.Ok()) << ca.Error();
    ASSERT_TRUE(publishers.Ok() && portal.Ok());
    bridge = std::make_unique<Bridge>(std::vector<std::string>{"--port", "0", "--ca-file", ca.CaFile()},
                                      std::map<std::string, std::string>{{"http_proxy", publishers.Url("")},
                                                                         {"https_proxy", portal.Url("")}});
    ASSERT_GT(bridge->port, 0) << bridge->process.Stderr();
  }

  // The dialog on the saver's default feed, "Use HTTP Proxy" on the bridge,
  // with the RSS News page shown once (which loads the directory).
  void OpenOnNews() {
    testing_support::DialogKey key;
    key.rssUrl = components::kDefaultRssUrl;
    key.useProxy = 1;
    key.proxy = "127.0.0.1";
    key.port = std::to_string(bridge->port);
    Open(key);
    ShowPage(kNewsPage);
  }

  // The feed at an address as the saver reads it through the bridge.
  online::TNewsReply SaverReads(const std::string& url) {
    online::THttpClient client(nullptr);
    client.SetTimeOut(5000);
    client.SetProxy("127.0.0.1");
    client.SetProxyPort(bridge->port);
    client.Get(url);
    return online::CutNewsReply(client.GetBody());
  }
};

TEST_F(DialogThroughBridge, TheDirectoryLoadsAndEveryListedFeedReachesTheTicker) {
  OpenOnNews();
  // The current feed (the retired default, fetched in today's form), cleaned and decoded.
  EXPECT_EQ(Text(form->StaticText3), "Google News & /rss/headlines/section/topic/WORLD");
  const Strings categories = Items(form->ComboBox1Category);
  EXPECT_EQ(categories, (Strings{"User Defined", "World", "Business", "Technology", "Science", "Sports",
                                 "Entertainment", "Health"}));
  const Strings ids = form->ListBox1IdCategory.Items();
  ASSERT_EQ(ids.size(), categories.size());
  EXPECT_EQ(ids[0], "0");
  // Any other "0" would stand for the typed address; the identifier goes into a query as it is.
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
  for (size_t i = 1; i < ids.size(); ++i)
    for (char c : ids[i]) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << ids[i];

  int fetched = 0;
  std::set<std::string> urls;
  for (int i = 1; i < static_cast<int>(categories.size()); ++i) {
    SCOPED_TRACE(categories[i]);
    Choose(form->ComboBox1Category, i);
    const Strings titles = Items(form->ComboBox2TitleNews);
    const Strings listed = form->ListBox1NewsUrl.Items();
    ASSERT_EQ(titles.size(), listed.size());
    EXPECT_GE(titles.size(), 3u);  // several publishers
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), titles.size());
    // The first feed is taken at once, as the page shows it.
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(Text(form->StaticText3), titles[0]);
    EXPECT_EQ(form->UrlNews->text().toStdString(), listed[0]);
    for (int j = 0; j < static_cast<int>(titles.size()); ++j) {
      SCOPED_TRACE(titles[j]);
      Choose(form->ComboBox2TitleNews, j);
      const std::string url = form->PendingRSS_Url.value_or("(none)");
      EXPECT_EQ(url, listed[j]);
      // Shown verbatim: no entity, markup or CDATA the page would show raw.
      EXPECT_EQ(titles[j].find_first_of("&<>"), std::string::npos);
      EXPECT_TRUE(url.starts_with("http://")) << url;  // the saver cannot ask for https
      EXPECT_EQ(url.find_first_of(" <>\"\t"), std::string::npos) << url;
      EXPECT_TRUE(urls.insert(url).second) << url;

      // Asked for upstream as listed; the portal's retired ones in today's
      // form, on the category's own topic.
      const online::TNewsReply reply = SaverReads(url);
      EXPECT_TRUE(reply.Usable);
      if (url.starts_with("http://news.google.com/")) {
        EXPECT_EQ(reply.NameNews, "Google News & /rss/headlines/section/topic/" + Upper(categories[i]));
        EXPECT_EQ(reply.RssLine, TickerLine({"Headline"}));
      } else {
        EXPECT_EQ(reply.NameNews, url);
        EXPECT_EQ(reply.RssLine, TickerLine({"Item"}));
      }
      ++fetched;
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
  // The directory itself comes from the bridge; each address, the current
  // feed's included, is one upstream request.
  urls.insert(components::kDefaultRssUrl);
  EXPECT_EQ(publishers.Connections() + portal.Connections(), static_cast<int>(urls.size()));
  EXPECT_GT(fetched, 20);
  for (const FakeUpstream::Request& r : portal.Requests()) {
    EXPECT_TRUE(r.connect.starts_with("CONNECT news.google.com:443 ")) << r.connect;
    EXPECT_TRUE(r.target.ends_with("?hl=en-US&gl=US&ceid=US:en")) << r.target;
  }

  // A category the directory no longer has (as after an update while the page
  // was open): a valid list without feeds.
  form->ListBox1IdCategory.Clear();
  form->ListBox1IdCategory.Add("0");
  form->ListBox1IdCategory.Add("99");
  Choose(form->ComboBox1Category, 1);
  EXPECT_TRUE(Items(form->ComboBox2TitleNews).empty());
  EXPECT_EQ(Text(form->StaticText3), "");
}

// The whole road: a feed chosen on the page and saved with OK is what the
// saver's next refresh shows.
TEST_F(DialogThroughBridge, AFeedChosenAndSavedIsWhatTheSaverShows) {
  OpenOnNews();
  Choose(form->ComboBox1Category, 1);
  ASSERT_GE(form->ComboBox2TitleNews->count(), 2);
  Choose(form->ComboBox2TitleNews, 1);
  const std::string url = form->ListBox1NewsUrl.At(1).value_or("(none)");
  ClickOK();
  EXPECT_EQ(Stored("RSS_Url"), url);
  EXPECT_EQ(Stored("Port"), std::to_string(bridge->port));

  const testing_bridge::FeedCheckRun run = testing_bridge::RunFeedCheck();
  EXPECT_EQ(run.Value("NameNews"), url) << run.output << run.errors;
  EXPECT_EQ(run.Value("RssLine"), TickerLine({"Item"}));
  EXPECT_EQ(run.Value("NewsLink"), "http://publisher.example/");
  EXPECT_TRUE(bridge->Logged(url).starts_with("200 ")) << bridge->process.Stderr();
}

}  // namespace
