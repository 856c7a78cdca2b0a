// The RSS News page against real peers on loopback: the local feed server,
// reached through the proxy setting as a user would route it, and peers that
// refuse or never answer.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "DialogFixture.h"
#include "LoopbackPeers.h"
#include "online/THttpClient.h"

namespace {

using testing_online::TempDir;
using testing_support::Choose;
using testing_support::CurrentText;
using testing_support::DialogKey;
using testing_support::FeedServer;
using testing_support::Items;
using testing_support::SilentPeer;
using Strings = std::vector<std::string>;

const std::string kFeedUrl = "http://news.example.test/world.rss";
const std::string kCategoryRequest = "GET http://www.tarrowind.example/rssdir/category.php HTTP/1.0";
const std::string kWorldFeed =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
    "<title><![CDATA[World News &amp; Analysis]]></title><link>http://wire.example.test/</link>"
    "<item><title>Talks resume</title></item></channel></rss>\n";
const std::string kDirectory = R"({"categories": [
  {"id": "1", "name": "World", "feeds": [
    {"title": "Example Wire", "url": "http://news.example.test/wire.rss"},
    {"title": "Arts &amp; Culture", "url": "http://news.example.test/arts.rss"}]},
  {"id": "22", "name": "Science & Tech", "feeds": []}]})";

struct NewsPageTest : testing_support::DialogFixture {
  TempDir files;
  std::unique_ptr<FeedServer> server;

  // The feed server with the world feed and the directory, plus routes of files
  // given as path and content (a route wins over the directory's own paths).
  void Serve(const std::vector<std::pair<std::string, std::string>>& routes = {}) {
    Strings args{"--feed", "/world.rss=" + files.Write("world.rss", kWorldFeed), "--directory",
                 files.Write("directory.json", kDirectory)};
    int n = 0;
    for (const auto& [path, content] : routes)
      args.insert(args.end(), {"--feed", path + "=" + files.Write("route" + std::to_string(n++), content)});
    server = std::make_unique<FeedServer>(args);
    ASSERT_GT(server->Port(), 0) << server->Stderr();
  }
  // A key that routes every request through the feed server.
  DialogKey Proxied() const {
    DialogKey key;
    key.rssUrl = kFeedUrl;
    key.useProxy = 1;
    key.proxy = "127.0.0.1";
    key.port = std::to_string(server->Port());
    return key;
  }
  void OpenOnNews(const DialogKey& key) {
    Open(key);
    ShowPage(kNewsPage);
  }
  std::string Pending() const { return form->PendingRSS_Url.value_or("(none)"); }
};

TEST_F(NewsPageTest, FirstShowingShowsTheFeedsTitleAndTheCategories) {
  Serve();
  OpenOnNews(Proxied());
  EXPECT_EQ(form->StaticText3->text().toStdString(), "World News & Analysis") << "cleaned, then decoded";
  EXPECT_EQ(Items(form->ComboBox1Category), (Strings{"User Defined", "World", "Science & Tech"}));
  EXPECT_EQ(form->ComboBox1Category->currentIndex(), 0);
  EXPECT_EQ(form->ListBox1IdCategory.Items(), (Strings{"0", "1", "22"}));
  EXPECT_EQ(form->ComboBox2TitleNews->count(), 0);
  EXPECT_EQ(form->UrlNews->text().toStdString(), kFeedUrl);
  EXPECT_FALSE(form->NewsTabFirstShow);
  EXPECT_EQ(server->Requests(), (Strings{"GET " + kFeedUrl + " HTTP/1.0", kCategoryRequest}));
  EXPECT_TRUE(boxes.shown.empty());

  // Showing the page again only puts the pending address back.
  form->UrlNews->setText("http://elsewhere.example/");
  form->PendingRSS_Url = kFeedUrl;
  ShowPage(0);
  ShowPage(kNewsPage);
  EXPECT_EQ(form->UrlNews->text().toStdString(), kFeedUrl);
  EXPECT_EQ(server->Requests().size(), 2u) << "the directory is loaded once per dialog";
}

TEST_F(NewsPageTest, ChoosingCategoriesAndFeeds) {
  Serve();
  OpenOnNews(Proxied());
  Choose(form->ComboBox1Category, 1);
  EXPECT_EQ(server->Requests().back(), "GET http://www.tarrowind.example/rssdir/rsslist.php?category_id=1 HTTP/1.0");
  // Directory titles are shown as listed: no entity is decoded.
  EXPECT_EQ(Items(form->ComboBox2TitleNews), (Strings{"Example Wire", "Arts &amp; Culture"}));
  EXPECT_EQ(form->ListBox1NewsUrl.Items(),
            (Strings{"http://news.example.test/wire.rss", "http://news.example.test/arts.rss"}));
  EXPECT_EQ(form->ComboBox2TitleNews->currentIndex(), 0);
  EXPECT_EQ(form->StaticText3->text().toStdString(), "Example Wire");
  EXPECT_EQ(form->UrlNews->text().toStdString(), "http://news.example.test/wire.rss");
  EXPECT_EQ(Pending(), "http://news.example.test/wire.rss");

  Choose(form->ComboBox2TitleNews, 1);
  EXPECT_EQ(form->StaticText3->text().toStdString(), "Arts &amp; Culture");
  EXPECT_EQ(Pending(), "http://news.example.test/arts.rss");

  // A category without feeds: empty lists and title, the address stays.
  Choose(form->ComboBox1Category, 2);
  EXPECT_EQ(form->ComboBox2TitleNews->count(), 0);
  EXPECT_EQ(form->ListBox1NewsUrl.Count(), 0u);
  EXPECT_EQ(form->StaticText3->text().toStdString(), "");
  EXPECT_EQ(Pending(), "http://news.example.test/arts.rss");

  // "User Defined" is the typed address: no request.
  Choose(form->ComboBox1Category, 1);
  form->UrlNews->selectAll();
  QTest::keyClicks(form->UrlNews, "http://typed.example/feed.xml");
  EXPECT_EQ(Pending(), "http://typed.example/feed.xml");
  const size_t requests = server->Requests().size();
  Choose(form->ComboBox1Category, 0);
  EXPECT_EQ(server->Requests().size(), requests);
  EXPECT_EQ(form->ComboBox2TitleNews->count(), 0);
  EXPECT_EQ(Pending(), "http://typed.example/feed.xml");

  // Typed after a feed was chosen: the typed text is saved.
  Choose(form->ComboBox1Category, 1);
  form->UrlNews->selectAll();
  QTest::keyClicks(form->UrlNews, "http://typed.example/second.xml");
  ClickOK();
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(Stored("RSS_Url"), "http://typed.example/second.xml");
  EXPECT_TRUE(boxes.shown.empty());
}

// A reply is read only under its own root, the body's first tag followed by a blank.
TEST_F(NewsPageTest, ACategoryListIsReadOnlyUnderItsRoot) {
  const std::string items = "<item><category>World</category><id>1</id></item></categories>";
  const struct {
    const char* what;
    std::string body;
    Strings shown;
  } cases[] = {
      {"attributes", "<categories count=\"1\">" + items, {"User Defined", "World"}},
      {"text in front of the first tag", "\n  <categories count=\"1\">" + items, {"User Defined", "World"}},
      {"an XML declaration in front", "<?xml version=\"1.0\"?>\n<categories count=\"1\">" + items, {"User Defined"}},
      {"no blank after the root", "<categories>" + items, {"User Defined"}},
      {"another root", "<Categories count=\"1\">" + items, {"User Defined"}},
      {"an empty reply", "", {"User Defined"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Serve({{"/rssdir/category.php", c.body}});
    OpenOnNews(Proxied());
    EXPECT_EQ(Items(form->ComboBox1Category), c.shown);
    EXPECT_EQ(form->ListBox1IdCategory.Count(), c.shown.size());
    Restart();
  }

  Serve({{"/rssdir/rsslist.php",
          "<?xml version=\"1.0\"?><rsslist count=\"1\"><item><title>A</title>"
          "<url>http://a.example/</url></item></rsslist>"}});
  OpenOnNews(Proxied());
  Choose(form->ComboBox1Category, 1);
  EXPECT_EQ(form->ComboBox2TitleNews->count(), 0);
  EXPECT_EQ(form->StaticText3->text().toStdString(), "");
  EXPECT_EQ(Pending(), kFeedUrl);
}

// Every value of a reply is cut into one segment in turn, so a missing field
// repeats the value cut before it: the other field of its item, the previous
// item's, or for the first item the root name.
TEST_F(NewsPageTest, AMissingFieldRepeatsTheValueCutBeforeIt) {
  Serve({{"/rssdir/category.php",
          "<categories count=\"3\"><item><id>5</id></item><item><category>Local</category></item>"
          "<item><id>7</id><category>Sport</category></item></categories>"},
         {"/rssdir/rsslist.php",
          "<rsslist count=\"3\"><item><url>http://a.example/a.rss</url></item><item><title>B</title></item>"
          "<item><url>http://c.example/c.rss</url><title>C</title></item></rsslist>"}});
  OpenOnNews(Proxied());
  EXPECT_EQ(Items(form->ComboBox1Category), (Strings{"User Defined", "categories", "Local", "Sport"}));
  EXPECT_EQ(form->ListBox1IdCategory.Items(), (Strings{"0", "5", "Local", "7"}));
  Choose(form->ComboBox1Category, 3);
  EXPECT_EQ(server->Requests().back(), "GET http://www.tarrowind.example/rssdir/rsslist.php?category_id=7 HTTP/1.0");
  EXPECT_EQ(Items(form->ComboBox2TitleNews), (Strings{"rsslist", "B", "C"}));
  EXPECT_EQ(form->ListBox1NewsUrl.Items(), (Strings{"http://a.example/a.rss", "B", "http://c.example/c.rss"}));
  EXPECT_EQ(form->UrlNews->text().toStdString(), "http://a.example/a.rss");
}

// Without the proxy the directory's host, a name that never resolves, cannot
// be reached: the lone "Please wait..." stays, standing for the typed address.
// Checking the proxy box afterwards changes nothing for this dialog.
TEST_F(NewsPageTest, AnUnreachableDirectoryAndAProxyBoxCheckedLate) {
  Serve();
  DialogKey key = Proxied();
  key.useProxy = 0;
  key.rssUrl = "http://127.0.0.1:" + std::to_string(server->Port()) + "/world.rss";
  OpenOnNews(key);
  EXPECT_EQ(form->StaticText3->text().toStdString(), "World News & Analysis");
  EXPECT_EQ(Items(form->ComboBox1Category), (Strings{"Please wait..."}));
  EXPECT_EQ(form->ListBox1IdCategory.Items(), (Strings{"0"}));
  Choose(form->ComboBox1Category, 0);
  EXPECT_EQ(form->ComboBox2TitleNews->count(), 0);
  EXPECT_EQ(Pending(), key.rssUrl);

  form->CheckBox1Proxy->setChecked(true);
  // A category as a reachable directory would have listed it.
  form->ComboBox1Category->addItem("World");
  form->ListBox1IdCategory.Add("1");
  Choose(form->ComboBox1Category, 1);
  EXPECT_EQ(form->HttpClient1->GetProxy(), "");
  EXPECT_EQ(server->Requests().size(), 1u) << "only the feed, never the directory through the proxy";
  EXPECT_EQ(Items(form->ComboBox2TitleNews), (Strings{"Please wait..."}));
  EXPECT_EQ(form->StaticText3->text().toStdString(), "Please wait...");
  EXPECT_EQ(Pending(), key.rssUrl);
  // Its "Please wait..." has no address to take.
  Choose(form->ComboBox2TitleNews, 0);
  EXPECT_EQ(Pending(), key.rssUrl);
  EXPECT_TRUE(boxes.shown.empty());
}

// A current feed that is no RSS, or unreachable: "Not Available", and the
// categories are still asked for.
TEST_F(NewsPageTest, ACurrentFeedThatIsNoRssOrUnreachableIsNotAvailable) {
  Serve({{"/world.rss", "<html><head><title>Moved</title></head></html>"}});
  OpenOnNews(Proxied());
  EXPECT_EQ(form->StaticText3->text().toStdString(), "Not Available");
  EXPECT_EQ(Items(form->ComboBox1Category), (Strings{"User Defined", "World", "Science & Tech"}));
  Restart();

  SilentPeer refusing(false);
  DialogKey key = Proxied();
  key.port = std::to_string(refusing.Port());
  OpenOnNews(key);
  EXPECT_EQ(form->StaticText3->text().toStdString(), "Not Available");
  EXPECT_EQ(Items(form->ComboBox1Category), (Strings{"Please wait..."}));
  EXPECT_FALSE(form->NewsTabFirstShow);
  EXPECT_TRUE(boxes.shown.empty());
}

// Failures that are not the network's: a box, "Please wait..." left in place,
// and the loading tried again at the next showing.
TEST_F(NewsPageTest, AnUnusableAddressOrPortIsReportedAndTriedAgainNextTime) {
  const struct {
    const char* rssUrl;
    unsigned useProxy;
    const char* port;
    const char* box;
  } cases[] = {
      {"http://news.example.test/world.rss", 1, "abc", "'abc' is not a valid integer value."},
      {"http://news.example.test/world.rss", 1, "", "'' is not a valid integer value."},
      {"", 0, "", "Empty URL."},
      {"https://news.example.test/world.rss", 0, "", "HTTP Secure Socket is not supported."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.box);
    DialogKey key;
    key.rssUrl = c.rssUrl;
    key.useProxy = c.useProxy;
    key.proxy = "127.0.0.1";
    key.port = c.port;
    boxes.shown.clear();
    OpenOnNews(key);
    EXPECT_EQ(boxes.shown, (Strings{std::string("Screensaver Configuration|") + c.box}));
    EXPECT_EQ(form->StaticText3->text().toStdString(), "Please wait...");
    EXPECT_EQ(Items(form->ComboBox1Category), (Strings{"Please wait..."}));
    EXPECT_TRUE(form->NewsTabFirstShow);
    EXPECT_EQ(form->HttpClient1->GetProxy(), "") << "a bad port sets no half of the proxy";
    ShowPage(0);
    ShowPage(kNewsPage);
    EXPECT_EQ(boxes.shown.size(), 2u) << "tried again";
    // Choosing the lone entry is the typed address, not a list error.
    Choose(form->ComboBox1Category, 0);
    EXPECT_EQ(boxes.shown.size(), 2u);
    ClickOK();
    EXPECT_EQ(Stored("RSS_Url"), c.rssUrl);
    Restart();
  }
}

// Runs fn on the GUI thread once ms have passed, from inside whatever wait is then running.
void After(int ms, std::function<void()> fn) { QTimer::singleShot(ms, std::move(fn)); }

// A peer that never answers: the dialog keeps painting and taking input, a
// choice that would start a second request is undone, and OK, Cancel or the
// close box end the request and the dialog at once.
TEST_F(NewsPageTest, WhileARequestWaitsTheDialogStaysLiveAndClosesAtOnce) {
  const struct {
    const char* how;
    std::function<void(NewsPageTest&)> close;
  } cases[] = {
      {"Cancel", [](NewsPageTest& t) { t.ClickCancel(); }},
      {"OK", [](NewsPageTest& t) { t.ClickOK(); }},
      {"the close box", [](NewsPageTest& t) { t.form->Window()->close(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    SilentPeer silent(true);
    DialogKey key;
    key.rssUrl = kFeedUrl;
    key.useProxy = 1;
    key.proxy = "127.0.0.1";
    key.port = std::to_string(silent.Port());
    Open(key);

    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
      }
    } counter;
    form->StaticText3->installEventFilter(&counter);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, form->StaticText3, [&] { form->StaticText3->update(); });
    repaint.start(20);

    int refusedIndex = -2, connectionsAtChoice = -1;
    After(150, [&] {
      // As a reachable directory would have listed it.
      form->ComboBox1Category->addItem("World");
      form->ListBox1IdCategory.Add("0");
      form->ListBox1IdCategory.Add("1");
      Choose(form->ComboBox1Category, 1);
      refusedIndex = form->ComboBox1Category->currentIndex();
      // Leaving the page and coming back starts no second loading either.
      ShowPage(0);
      ShowPage(kNewsPage);
      connectionsAtChoice = silent.TakeConnections();
    });
    int paintsBeforeClose = -1;
    QElapsedTimer sinceClose;
    After(400, [&] {
      paintsBeforeClose = counter.paints;
      sinceClose.start();
      c.close(*this);
    });
    QElapsedTimer waited;
    waited.start();
    ShowPage(kNewsPage);  // returns when the loading has ended
    const qint64 closing = sinceClose.isValid() ? sinceClose.elapsed() : -1;
    repaint.stop();

    EXPECT_LT(waited.elapsed(), 4000) << "not ended by the client's own time-out";
    ASSERT_GE(closing, 0) << "the close never came";
    EXPECT_LT(closing, 1000);
    EXPECT_TRUE(form->Closed());
    EXPECT_TRUE(app->Terminated());
    EXPECT_GE(paintsBeforeClose, 5) << "repainted while waiting";
    EXPECT_EQ(refusedIndex, 0) << "the choice was undone";
    EXPECT_EQ(connectionsAtChoice, 1) << "the feed's request only";
    EXPECT_EQ(silent.TakeConnections(), 0) << "nothing requested after the close";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Stored("RSS_Url"), kFeedUrl);
    form->StaticText3->removeEventFilter(&counter);
    Restart();
  }
}

TEST_F(NewsPageTest, TextsBeforeTheFirstShowing) {
  Open({});
  EXPECT_EQ(form->StaticText3->text().toStdString(), "Not Available  ");
  EXPECT_EQ(form->StaticText3->palette().color(QPalette::WindowText), QColor(107, 112, 133));
  testing_support::ExpectWholeNote(form->StaticText4, {70, 260});
  EXPECT_EQ(form->StaticText4->text().toStdString(),
            "NOTE: If you already have the URL of a RSS feed, you can  type it in the \"URL News\" field. Or you "
            "can choose  any Title News from Category. Direct Internet access is required.");
  EXPECT_TRUE(form->NewsTabFirstShow) << "nothing is loaded before the page is shown";
}

// Bytes that are no UTF-8 go out to the request and back to the key unchanged.
TEST_F(NewsPageTest, AnAddressThatIsNoUtf8IsKeptByteForByte) {
  Serve();
  DialogKey key = Proxied();
  key.rssUrl = "http://news.example.test/caf\xE9.rss";
  OpenOnNews(key);
  EXPECT_EQ(Pending(), key.rssUrl);
  ClickOK();
  EXPECT_EQ(Stored("RSS_Url"), key.rssUrl);
}

}  // namespace
