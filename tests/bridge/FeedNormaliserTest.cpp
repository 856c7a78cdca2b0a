#include <gtest/gtest.h>
#include <iconv.h>

#include <chrono>

#include "SaverSide.h"
#include "bridge/FeedNormaliser.h"

namespace {

using bridge::FeedNormaliser;
using online::CutNewsReply;
using testing_bridge::TickerLine;

struct FeedCase {
  const char* name;
  std::string body;
  std::string charset;
  std::string channel;             // NameNews, one decoding pass
  std::vector<std::string> titles; // the ticker line, in order
  std::string link = "";           // NewsLink when given
};

std::string Rss2(const std::string& declaration, const std::string& items) {
  return declaration + "<rss version=\"2.0\"><channel><title>World</title><link>http://example.com/</link>" + items +
         "</channel></rss>";
}

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::vector<FeedCase> Cases() {
  return {
      {"rss2", Rss2(kDecl, "<item><title>A</title></item><item><title>B</title><link>http://e/b</link></item>"), "",
       "World", {"A", "B"}, "http://example.com/"},
      {"rss1",
       kDecl + "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
               "<channel rdf:about=\"http://r/\"><title>RDF news</title><link>http://r/</link>"
               "<items><rdf:Seq><rdf:li resource=\"http://r/1\"/></rdf:Seq></items></channel>"
               "<item rdf:about=\"http://r/1\"><title>First</title><link>http://r/1</link></item>"
               "<item rdf:about=\"http://r/2\"><title>Second</title><link>http://r/2</link></item></rdf:RDF>",
       "", "RDF news", {"First", "Second"}, "http://r/"},
      {"atom",
       kDecl + "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title type=\"text\">Atom &amp; Eve</title>"
               "<link rel=\"self\" href=\"http://a/feed\"/><link href=\"http://a/\" rel=\"alternate\"/>"
               "<entry><title type=\"html\">&lt;b&gt;Bold&lt;/b&gt; move</title><link href=\"http://a/1\"/></entry>"
               "<entry><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">X<i>HT</i>ML</div></title>"
               "</entry><entry><title>1 &lt; 2</title></entry></feed>",
       "", "Atom & Eve", {"Bold move", "XHTML", "1 < 2"}, "http://a/"},
      {"cdata and markup in titles",
       Rss2(kDecl, "<item><title><![CDATA[Tom & Jerry <b>live</b>]]></title></item>"
                   "<item><title>Fish &amp;amp; Chips</title></item>"
                   "<item><title><![CDATA[a < b and c > d]]></title></item>"),
       "", "World", {"Tom & Jerry live", "Fish & Chips", "a < b and c > d"}},
      {"ampersand before a later semicolon",
       Rss2(kDecl, "<item><title>AT&amp;T; profits; up</title></item><item><title>He said \"hi\" &amp; it's</title></item>"),
       "", "World", {"AT&T; profits; up", "He said \"hi\" & it's"}},
      {"white space inside titles",
       Rss2(kDecl, "<item><title>\n  Line\tone\r\n  two  </title></item>"), "", "World", {"Line one two"}},
      {"byte order mark", "\xEF\xBB\xBF" + Rss2(kDecl, "<item><title>Caf\xC3\xA9</title></item>"), "", "World",
       {"Caf\xC3\xA9"}},
      {"latin-1 read as windows-1252",
       Rss2("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<item><title>\x93" "Caf\xE9\x94</title></item>"), "",
       "World", {"\xE2\x80\x9C" "Caf\xC3\xA9\xE2\x80\x9D"}},
      {"windows-1252", Rss2("<?xml version='1.0' encoding='windows-1252'?>", "<item><title>5 \x80</title></item>"), "",
       "World", {"5 \xE2\x82\xAC"}},
      {"gb2312", Rss2("<?xml version=\"1.0\" encoding=\"gb2312\"?>", "<item><title>\xD6\xD0\xCE\xC4</title></item>"),
       "", "World", {"\xE4\xB8\xAD\xE6\x96\x87"}},
      {"http charset without a declaration", Rss2("", "<item><title>Gr\xFC\xDF" "e</title></item>"), "ISO-8859-1",
       "World", {"Gr\xC3\xBC\xC3\x9F" "e"}},
      {"an encoding nobody knows", Rss2("<?xml version=\"1.0\" encoding=\"x-nonsense\"?>", "<item><title>d\xE9j\xE0</title></item>"),
       "", "World", {"d\xC3\xA9j\xC3\xA0"}},
      {"undeclared and not utf-8", Rss2("", "<item><title>na\xEFve</title></item>"), "", "World", {"na\xC3\xAFve"}},
      {"extension titles are not the item's",
       Rss2(kDecl, "<item xmlns:media=\"http://search.yahoo.com/mrss/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                   "<dc:title>dc</dc:title><media:title>media</media:title><title>real</title></item>"),
       "", "World", {"real"}},
      {"items without a title",
       Rss2(kDecl, "<item><description>&lt;p&gt;Only a &lt;i&gt;description&lt;/i&gt;&lt;/p&gt;</description></item>"
                   "<item><link>http://x/</link></item><item><title>T</title></item>"),
       "", "World", {"Only a description", "T"}},
      {"channel without a title", kDecl + "<rss><channel><link>http://h/</link><item><title>I</title></item></channel></rss>",
       "", "feeds.example", {"I"}},
      {"undeclared html entities",
       Rss2(kDecl, "<item><title>a&nbsp;b&mdash;c</title></item>"), "", "World", {"a b\xE2\x80\x94" "c"}},
      {"link with a query", kDecl + "<rss><channel><title>Q</title><link>http://q/?a=1&amp;b=2</link></channel></rss>",
       "", "Q", {}, "http://q/?a=1&b=2"},
  };
}

TEST(FeedNormaliser, TheTickerReadsExactlyTheTitlesInOrder) {
  for (const FeedCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    std::optional<std::string> out = FeedNormaliser::Normalise(c.body, c.charset, "feeds.example");
    ASSERT_TRUE(out);
    EXPECT_TRUE(bridge::IsValidUtf8(*out));
    const online::TNewsReply v = CutNewsReply(*out);
    EXPECT_TRUE(v.Usable);
    EXPECT_EQ(v.NameNews, c.channel);
    std::string expected = "  ***  ";
    for (const std::string& t : c.titles) expected += t + "  ***  ";
    EXPECT_EQ(v.RssLine, expected);
    if (!c.link.empty()) {
      EXPECT_EQ(v.Link, c.link);
    }
  }
}

TEST(FeedNormaliser, Utf16WithAByteOrderMark) {
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss><channel><title>W</title>"
                           "<item><title>\xC3\xA9t\xC3\xA9</title></item></channel></rss>";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3) {  // the two-byte é only
      utf16 += '\xE9';
      utf16 += '\0';
      ++i;
      continue;
    }
    utf16 += static_cast<char>(c);
    utf16 += '\0';
  }
  std::optional<std::string> out = FeedNormaliser::Normalise(utf16, "", "h");
  ASSERT_TRUE(out);
  EXPECT_EQ(CutNewsReply(*out).RssLine, TickerLine({"\xC3\xA9t\xC3\xA9"}));
}

TEST(FeedNormaliser, NonFeedsAreLeftAlone) {
  const std::string cases[] = {
      "",
      "<html><head><title>Moved</title></head><body>x</body></html>",
      "<!DOCTYPE html><html><body><p>Not found</p>",
      "{\"items\":[]}",
      kDecl + "<opml version=\"1.0\"><head><title>list</title></head></opml>",
      kDecl + "<rss version=\"2.0\"></rss>",  // no channel
      "plain text",
  };
  for (const std::string& body : cases) EXPECT_FALSE(FeedNormaliser::Read(body)) << body;
}

TEST(FeedNormaliser, ReplyIsTheSaversPlainForm) {
  const std::string out = *FeedNormaliser::Normalise(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>F</title><entry><title>E</title></entry></feed>", "", "h");
  EXPECT_TRUE(out.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">"));
  EXPECT_NE(out.find("<item>\n<title>E</title>"), std::string::npos);
  EXPECT_EQ(out.find("<![CDATA["), std::string::npos);  // nothing needs it here
}

TEST(FeedNormaliser, EntriesAndTitlesAreBounded) {
  std::string items;
  for (int i = 0; i < 150; ++i) items += "<item><title>" + std::string(1000, 'x') + "</title></item>";
  std::optional<bridge::FeedContent> feed = FeedNormaliser::Read(Rss2(kDecl, items));
  ASSERT_TRUE(feed);
  EXPECT_EQ(feed->entries.size(), FeedNormaliser::kMaxEntries);
  EXPECT_EQ(feed->entries[0].title.size(), FeedNormaliser::kMaxTitleBytes);
  // A cut never splits a character.
  EXPECT_EQ(bridge::CutUtf8("ab\xC3\xA9", 3), "ab");
  EXPECT_EQ(bridge::CutUtf8("ab\xE2\x82\xAC" "c", 5), "ab\xE2\x82\xAC");
}

TEST(FeedNormaliser, HostileDocumentsStayCheapAndLocal) {
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">";
  char prev = 'a';
  for (char e = 'b'; e <= 'k'; ++e, ++prev) {
    laughs += std::string("<!ENTITY ") + e + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + prev + ";";
    laughs += "\">";
  }
  laughs += "]><rss><channel><title>&k;</title><item><title>&k;</title></item></channel></rss>";
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
      "<rss><channel><title>t&x;</title><item><title>i&x;</title></item></channel></rss>";
  std::string deep = kDecl + "<rss><channel><title>d</title><item><title>";
  for (int i = 0; i < 5000; ++i) deep += "<b>";
  deep += "deep</title></item></channel></rss>";

  for (const std::string* body : std::initializer_list<const std::string*>{&laughs, &external, &deep}) {
    const auto start = std::chrono::steady_clock::now();
    std::optional<std::string> out = FeedNormaliser::Normalise(*body, "", "h");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    if (out) {
      EXPECT_LT(out->size(), 20000u);
      EXPECT_EQ(out->find("root:"), std::string::npos);
    }
  }
}

std::string Repeated(const std::string& unit, int times, bool numbered = false) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    if (!numbered) {
      out += unit;
      continue;
    }
    const size_t at = unit.find('#');
    out += unit.substr(0, at) + std::to_string(i) + unit.substr(at + 1);
  }
  return out;
}

std::string Converted(const std::string& utf8, const char* encoding) {
  iconv_t cd = iconv_open(encoding, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(utf8.size() * 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  char* to = out.data();
  size_t inLeft = utf8.size(), outLeft = out.size();
  iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// Bodies under the upstream cap that a plain parse would turn into hundreds
// of megabytes of tree or minutes of work: a dense feed is read as far as the
// node budget goes, a tag with thousands of attributes is no feed.
TEST(FeedNormaliser, DenseDocumentsStayBounded) {
  const std::string first = "<item><title>First</title></item>", late = "<item><title>Late</title></item>";
  const std::string crowded = "<rss><channel><title>T</title><item" + Repeated(" b#=''", 100000, true) +
                              "><title>x</title></item></channel></rss>";
  struct Case {
    const char* name;
    std::string body;
    std::string charset;
    std::optional<std::vector<std::string>> titles;  // nothing: not a feed
  };
  const Case cases[] = {
      {"a million empty elements",
       kDecl + "<rss><channel><title>Dense</title>" + first + Repeated("<a/>", 1000000) + late + "</channel></rss>", "",
       std::vector<std::string>{"First"}},
      {"a million entity references",
       "<!DOCTYPE rss [<!ENTITY e \"\">]><rss><channel><title>Refs</title>" + first + "<x>" +
           Repeated("&e;", 1000000) + "</x>" + late + "</channel></rss>",
       "", std::vector<std::string>{"First"}},
      {"two hundred thousand entity declarations",
       "<!DOCTYPE rss [" + Repeated("<!ENTITY e# \"\">", 200000, true) + "]><rss><channel><title>D</title>" + first +
           "</channel></rss>",
       "", std::nullopt},
      {"attribute defaults for every item",
       "<!DOCTYPE rss [" + Repeated("<!ATTLIST item b# CDATA 'x'>", 20000, true) +
           "]><rss><channel><title>Defaults</title>" + Repeated(first, 50) + "</channel></rss>",
       "", std::vector<std::string>(50, "First")},
      {"half a million ampersands without an end",
       "<rss><channel><title>Amp</title>" + first + "<x>" + Repeated("&", 500000) + "</x></channel></rss>", "",
       std::vector<std::string>{"First"}},
      {"a tag of a hundred thousand attributes", crowded, "", std::nullopt},
      {"the same in UTF-16", "\xFF\xFE" + Converted(crowded, "UTF-16LE"), "", std::nullopt},
      {"the same in EBCDIC", Converted(crowded, "IBM037"), "IBM037", std::nullopt},
      {"titles of HTML tags with thousands of attributes",
       "<rss><channel><title>Html</title>" +
           Repeated("<item><title>&lt;a" + Repeated(" b", 5000) + "&gt;text</title></item>", 100) + first +
           "</channel></rss>",
       "", std::vector<std::string>{"First"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LT(c.body.size(), 4u << 20);  // the bridge's upstream cap
    const auto start = std::chrono::steady_clock::now();
    std::optional<bridge::FeedContent> feed = FeedNormaliser::Read(c.body, c.charset);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(feed.has_value(), c.titles.has_value());
    if (!feed || !c.titles) continue;
    std::vector<std::string> titles;
    for (const bridge::FeedEntry& e : feed->entries) titles.push_back(e.title);
    EXPECT_EQ(titles, *c.titles);
  }
  // Up to the limits, a feed is read as before.
  const std::string busy = "<rss><channel><title>Busy</title><item" + Repeated(" b#=''", 200, true) +
                           "><title>Kept</title></item>" + Repeated("<a/>", 1000) + late + "</channel></rss>";
  std::optional<bridge::FeedContent> feed = FeedNormaliser::Read(busy);
  ASSERT_TRUE(feed);
  ASSERT_EQ(feed->entries.size(), 2u);
  EXPECT_EQ(feed->entries[1].title, "Late");
  EXPECT_TRUE(bridge::HasCrowdedTag("<a" + Repeated(" b", 300) + ">", true));
  EXPECT_FALSE(bridge::HasCrowdedTag("<a" + Repeated(" b", 300) + ">", false));
  EXPECT_FALSE(bridge::HasCrowdedTag("<!--" + Repeated("=", 300) + "--><a b='=>'>", false));
}

TEST(FeedEncoding, LabelsAsBrowsersReadThem) {
  const std::pair<std::string, std::string> cases[] = {
      {"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><r/>", "WINDOWS-1252"},
      {"<?xml version=\"1.0\" encoding='US-ASCII' ?><r/>", "WINDOWS-1252"},
      {"<?xml version=\"1.0\" encoding = \"GB2312\"?><r/>", "GB18030"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><r/>", "ISO-8859-2"},
      {"<?xml version=\"1.0\"?><r>\xE9</r>", "WINDOWS-1252"},
      {"<?xml version=\"1.0\"?><r>\xC3\xA9</r>", "UTF-8"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"latin1\"?><r/>", "UTF-8"},
      {std::string("\xFF\xFE<\0r\0/\0>\0", 10), ""},
  };
  for (const auto& [body, encoding] : cases) EXPECT_EQ(bridge::FeedEncoding(body, ""), encoding) << body;
  EXPECT_EQ(bridge::FeedEncoding("<r/>", "koi8-r"), "KOI8-R");
  EXPECT_EQ(bridge::FeedEncoding("<?xml version=\"1.0\" encoding=\"utf-8\"?><r/>", "gbk"), "UTF-8");
}

TEST(FeedNormaliser, TextHelpers) {
  EXPECT_EQ(bridge::CollapseWhitespace("  a \xC2\xA0\t b\n"), "a b");
  EXPECT_EQ(bridge::CollapseWhitespace(bridge::HtmlToText("<p>One</p><p>Two &amp; <script>x()</script>three&eacute;</p>")),
            "One Two & three\xC3\xA9");
  EXPECT_TRUE(bridge::IsValidUtf8("\xE4\xB8\xAD"));
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\xE4\xB8", "\x80"})
    EXPECT_FALSE(bridge::IsValidUtf8(bad)) << bad;
}

}  // namespace
