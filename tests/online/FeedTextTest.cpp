// The feeds' text work from memory: cutting, clean-up and whole replies.
#include "online/FeedText.h"

#include <gtest/gtest.h>

#include "FeedFixtures.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "framework/TApplication.h"

using namespace online;

namespace {

using testing_online::kSep;
std::string Fixture(const std::string& name) { return testing_online::FeedFixture(name); }

}  // namespace

TEST(ParseBetween, CutsOrAnswersFinAndLeavesTheSegment) {
  struct Case {
    const char *text, *begin, *end, *segment, *rest;
  } cases[] = {
      {"abc", "BEGIN", "b", "a", "c"},
      {"abc", "x", "b", "untouched", "FIN"},
      {"abc", "a", "x", "untouched", "FIN"},
      {"<t></t>rest", "<t>", "</t>", "", "rest"},           // adjacent markers
      {"x<t>one</t><t>two</t>", "<t>", "</t>", "one", "<t>two</t>"},  // first occurrence
      {"<t>value</t>", "<t>", "</t>", "value", ""},           // nothing after the end marker
      {"</t><t>v</t>", "<t>", "</t>", "v", ""},               // the end is searched after the begin
      {"BEGIN:x;", "BEGIN", ";", "BEGIN:x", ""},              // BEGIN is the start, not a marker
      {"<T>v</T>", "<t>", "</t>", "untouched", "FIN"},        // case matters
  };
  for (const auto& c : cases) {
    std::string segment = "untouched";
    EXPECT_EQ(ParseBetween(c.text, c.begin, c.end, segment), c.rest) << c.text << " / " << c.begin;
    EXPECT_EQ(segment, c.segment) << c.text << " / " << c.begin;
  }
}

TEST(ParseEntity, SplitsAtTheNextAmpersandAndSemicolon) {
  std::string before = "b", name = "n", rest;
  EXPECT_TRUE(ParseEntity("x &amp; y; z", before, name, rest));
  EXPECT_EQ(before, "x ");
  EXPECT_EQ(name, "amp");
  EXPECT_EQ(rest, " y; z");
  before = "b", name = "n";
  EXPECT_FALSE(ParseEntity("a & b", before, name, rest));
  EXPECT_EQ(rest, "a & b");
  EXPECT_EQ(before + name, "bn");
  EXPECT_FALSE(ParseEntity("a; b &", before, name, rest));
  EXPECT_EQ(rest, "a; b &");
  // The text may be one of the outputs.
  std::string text = "1&lt;2";
  EXPECT_TRUE(ParseEntity(text, before, name, text));
  EXPECT_EQ(before + "|" + name + "|" + text, "1|lt|2");
}

TEST(DecodeEntities, KnownUnknownAndPlainAmpersands) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"&quot;&amp;&#039;&apos;&lt;&gt;&#36;&#39;&#038;", "\"&''<>$'&"},
      {"&amp;lt;", "&lt;"},                       // a replacement is not scanned again
      {"a&nbsp;b &eacute; &#8217; &AMP;", "ab   "},  // unknown names vanish, ampersand to semicolon
      {"fish & chips", "fish & chips"},            // no semicolon after it
      {"AT&T; up", "AT up"},                      // a name is a name
      {"Tom & Jerry; the film", "Tom & Jerry; the film"},  // blanks are no entity name
      {"R&D &lt;3; &", "R&D <3; &"},
      {"a&;b", "a&;b"},
      {std::string("t\tl\nc\r\n\x01\x1f end\n\0", 15), "t l c" + std::string(4, ' ') + " end  "},
      {"caf\xc3\xa9 \x80\xff", "caf\xc3\xa9 \x80\xff"},  // bytes above 127 stay
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeEntities(c.in), c.out) << c.in;
}

TEST(CleanFeedText, QuotesAndCdataMarkers) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"<![CDATA[It\xe2\x80\x99s &amp; more]]>", "It's &amp; more"},
      {"It&amp;#39;s", "It's"},
      {"a]]>b<![CDATA[c<![CDATA[", "abc"},
      {"\xe2\x80\x98quoted\xe2\x80\x99", "\xe2\x80\x98quoted'"},  // only the right quote maps
      {"<![CDA<![CDATA[TA[x", "<![CDATA[x"},                       // one pass each
  };
  for (const auto& c : cases) EXPECT_EQ(CleanFeedText(c.in), c.out) << c.in;
}

TEST(WeatherReply, CutsTheConditionAndTheSecondForecast) {
  const TWeatherReply r = CutWeatherReply(Fixture("weather-five-day.xml"));
  EXPECT_EQ(r.TodayCode, 34);
  EXPECT_EQ(r.TodayNow, "71");
  EXPECT_EQ(r.TomorrowCode, 32);
  EXPECT_EQ(r.TomorrowLow, "58");
  EXPECT_EQ(r.TomorrowHi, "80");
}

TEST(WeatherReply, UnusableRepliesAndMissingParts) {
  const std::string decl = "<?xml version=\"1.0\"?>";
  const std::string cond = "<yweather:condition text=\"Snow\" code=\"16\" temp=\"-3\" />";
  const std::string today = "<yweather:forecast low=\"-8\" high=\"0\" code=\"14\" />";
  const std::string tomorrow = "<yweather:forecast low=\"-12\" high=\"-1\" code=\"15\" />";
  struct Case {
    std::string name, body;
    int todayCode;
    const char* now;
    int tomorrowCode;
    const char *low, *high;
  } cases[] = {
      {"html page", Fixture("error-page.html"), 48, "NA", 48, "NA", "NA"},
      {"empty body", "", 48, "NA", 48, "NA", "NA"},
      {"declaration not first word xml", "<?xml-stylesheet x?>" + cond + today + tomorrow, 48, "NA", 48, "NA", "NA"},
      {"all there", decl + cond + today + tomorrow, 16, "-3", 15, "-12", "-1"},
      {"one forecast only", decl + cond + today, 16, "-3", 48, "NA", "NA"},
      {"no forecast", decl + cond, 16, "-3", 48, "NA", "NA"},
      {"no condition", decl + today + tomorrow, 48, "NA", 48, "NA", "NA"},
      {"no temp attribute", decl + "<yweather:condition code=\"16\"/>" + today + tomorrow, 16, "NA", 15, "-12", "-1"},
      {"no low attribute", decl + cond + today + "<yweather:forecast high=\"2\" code=\"5\"/>", 16, "-3", 5, "NA", "2"},
      {"no tomorrow code", decl + cond + today + "<yweather:forecast low=\"1\" high=\"2\"/>", 16, "-3", 48, "1", "2"},
      {"empty texts stay empty", decl + "<yweather:condition code=\"3\" temp=\"\"/>" + today + tomorrow, 3, "", 15,
       "-12", "-1"},
      {"feed's own not-available code", decl + "<yweather:condition code=\"3200\" temp=\"\"/>", 3200, "", 48, "NA",
       "NA"},
  };
  for (const auto& c : cases) {
    const TWeatherReply r = CutWeatherReply(c.body);
    EXPECT_EQ(r.TodayCode, c.todayCode) << c.name;
    EXPECT_EQ(r.TodayNow, c.now) << c.name;
    EXPECT_EQ(r.TomorrowCode, c.tomorrowCode) << c.name;
    EXPECT_EQ(r.TomorrowLow, c.low) << c.name;
    EXPECT_EQ(r.TomorrowHi, c.high) << c.name;
  }
}

TEST(WeatherReply, ACodeThatIsNoNumberRaisesTheConversionError) {
  const std::string decl = "<?xml version=\"1.0\"?>";
  for (const std::string& body :
       {decl + "<yweather:condition code=\"fair\" temp=\"1\"/>",
        decl + "<yweather:condition code=\"\" temp=\"1\"/>",
        decl + "<yweather:condition code=\"1\"/><yweather:forecast code=\"1\"/><yweather:forecast code=\"x2\"/>"})
    EXPECT_THROW(CutWeatherReply(body), framework::EConvertError) << body;
}

TEST(NewsReply, PublishersFeeds) {
  struct Case {
    const char* file;
    bool usable, hasLink;
    std::string name, link, line;
  } cases[] = {
      {"news-wire-rss2.xml", true, true, "World News & Analysis | Example Wire", "http://www.example-wire.test/world/",
       kSep + "Leaders meet for \"crucial\" climate talks" + kSep + "Trade & tariffs top summit agenda" + kSep +
           "Markets rally as inflation eases; oil slips" + kSep},
      {"newspaper-cdata.xml", true, true, "The Daily Example - Business",
       "http://www.daily-example.test/business?src=rss&amp;x=1",
       kSep + "Profits & losses: the week in review" + kSep + "Why the bank's rate call matters" + kSep +
           "Small firms say <10% got relief" + kSep + "It's a deal" + kSep},
      {"portal-no-declaration.xml", true, true, "Portal Headlines", "http://portal.example.test/",
       kSep + "First line and  second" + kSep + "Caf\xe9 t newss  2024 " + kSep},
      {"journal-rdf.xml", true, true, "Example Journal", "http://journal.example.test/", kSep},
      {"error-page.html", false, false, "", "", "*** Not Available Now ***"},
  };
  for (const auto& c : cases) {
    const TNewsReply r = CutNewsReply(Fixture(c.file));
    EXPECT_EQ(r.Usable, c.usable) << c.file;
    EXPECT_EQ(r.HasLink, c.hasLink) << c.file;
    EXPECT_EQ(r.NameNews, c.name) << c.file;
    EXPECT_EQ(r.Link, c.link) << c.file;
    EXPECT_EQ(r.RssLine, c.line) << c.file;
  }
}

TEST(NewsReply, ItemsSeparatorsAndTheChecks) {
  auto feed = [](int items) {
    std::string s = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>W</title><link>L</link>";
    for (int i = 0; i < items; ++i) s += "<item><title>T" + std::to_string(i) + "</title></item>";
    return s + "</channel></rss>";
  };
  EXPECT_EQ(CutNewsReply(feed(0)).RssLine, kSep);
  EXPECT_EQ(CutNewsReply(feed(1)).RssLine, kSep + "T0" + kSep);
  EXPECT_EQ(CutNewsReply(feed(3)).RssLine, kSep + "T0" + kSep + "T1" + kSep + "T2" + kSep);
  EXPECT_EQ(CutNewsReply(feed(3)).NameNews, "W");

  struct Check {
    std::string body;
    bool usable;
  } checks[] = {
      {"<rss version=\"2.0\"><channel><title>W</title></channel></rss>", true},
      {"<rss><channel><title>W</title></channel></rss>", false},  // rss needs attributes without a declaration
      {"<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title></feed>", true},
      {"<html lang=\"en\"><title>rss</title></html>", false},
      {"", false},
  };
  for (const auto& c : checks) EXPECT_EQ(CutNewsReply(c.body).Usable, c.usable) << c.body;

  // Without a link the items are still read; the link stays unknown.
  const TNewsReply noLink = CutNewsReply("<rss version=\"2\"><title>W</title><item><title>A</title></item></rss>");
  EXPECT_FALSE(noLink.HasLink);
  EXPECT_EQ(noLink.RssLine, kSep + "A" + kSep);
  // Entities: the title decoded once, the line twice.
  const TNewsReply escaped =
      CutNewsReply("<rss version=\"2\"><title>1 &amp;lt; 2</title><link>L</link><item><title>1 &amp;lt; 2</title></item></rss>");
  EXPECT_EQ(escaped.NameNews, "1 &lt; 2");
  EXPECT_EQ(escaped.RssLine, kSep + "1 < 2" + kSep);
}
