#include "bridge/FeedDirectory.h"

#include <array>

namespace bridge {

namespace {

constexpr DirectoryFeed kWorld[] = {
    {"BBC News - World", "http://feeds.bbci.co.uk/news/world/rss.xml"},
    {"The New York Times - World", "http://rss.nytimes.com/services/xml/rss/nyt/World.xml"},
    {"The Guardian - World news", "http://www.theguardian.com/world/rss"},
    {"NPR - World", "http://feeds.npr.org/1004/rss.xml"},
    {"Al Jazeera - All news", "http://www.aljazeera.com/xml/rss/all.xml"},
    {"Google News - World", "http://news.google.com/news?ned=us&topic=w&output=rss"},
};

constexpr DirectoryFeed kBusiness[] = {
    {"BBC News - Business", "http://feeds.bbci.co.uk/news/business/rss.xml"},
    {"The New York Times - Business", "http://rss.nytimes.com/services/xml/rss/nyt/Business.xml"},
    {"The Guardian - Business", "http://www.theguardian.com/business/rss"},
    {"NPR - Business", "http://feeds.npr.org/1006/rss.xml"},
    {"CNBC - Top News", "http://www.cnbc.com/id/100003114/device/rss/rss.html"},
    {"Google News - Business", "http://news.google.com/news?ned=us&topic=b&output=rss"},
};

constexpr DirectoryFeed kTechnology[] = {
    {"BBC News - Technology", "http://feeds.bbci.co.uk/news/technology/rss.xml"},
    {"The New York Times - Technology", "http://rss.nytimes.com/services/xml/rss/nyt/Technology.xml"},
    {"The Guardian - Technology", "http://www.theguardian.com/technology/rss"},
    {"Ars Technica", "http://feeds.arstechnica.com/arstechnica/index"},
    {"The Verge", "http://www.theverge.com/rss/index.xml"},
    {"Google News - Technology", "http://news.google.com/news?ned=us&topic=tc&output=rss"},
};

constexpr DirectoryFeed kScience[] = {
    {"BBC News - Science and Environment", "http://feeds.bbci.co.uk/news/science_and_environment/rss.xml"},
    {"The New York Times - Science", "http://rss.nytimes.com/services/xml/rss/nyt/Science.xml"},
    {"The Guardian - Science", "http://www.theguardian.com/science/rss"},
    {"NPR - Science", "http://feeds.npr.org/1007/rss.xml"},
    {"ScienceDaily - Top News", "http://www.sciencedaily.com/rss/top.xml"},
    {"Google News - Science", "http://news.google.com/news?ned=us&topic=snc&output=rss"},
};

constexpr DirectoryFeed kSports[] = {
    {"BBC Sport", "http://feeds.bbci.co.uk/sport/rss.xml"},
    {"The New York Times - Sports", "http://rss.nytimes.com/services/xml/rss/nyt/Sports.xml"},
    {"The Guardian - Sport", "http://www.theguardian.com/sport/rss"},
    {"ESPN - Top Headlines", "http://www.espn.com/espn/rss/news"},
    {"Google News - Sports", "http://news.google.com/news?ned=us&topic=s&output=rss"},
};

constexpr DirectoryFeed kEntertainment[] = {
    {"BBC News - Entertainment and Arts", "http://feeds.bbci.co.uk/news/entertainment_and_arts/rss.xml"},
    {"The New York Times - Arts", "http://rss.nytimes.com/services/xml/rss/nyt/Arts.xml"},
    {"The Guardian - Culture", "http://www.theguardian.com/culture/rss"},
    {"NPR - Arts", "http://feeds.npr.org/1008/rss.xml"},
    {"Google News - Entertainment", "http://news.google.com/news?ned=us&topic=e&output=rss"},
};

constexpr DirectoryFeed kHealth[] = {
    {"BBC News - Health", "http://feeds.bbci.co.uk/news/health/rss.xml"},
    {"The New York Times - Health", "http://rss.nytimes.com/services/xml/rss/nyt/Health.xml"},
    {"The Guardian - Health", "http://www.theguardian.com/society/health/rss"},
    {"NPR - Health", "http://feeds.npr.org/1128/rss.xml"},
    {"Google News - Health", "http://news.google.com/news?ned=us&topic=m&output=rss"},
};

constexpr std::array<DirectoryCategory, 7> kCategories = {{
    {"1", "World", kWorld},
    {"2", "Business", kBusiness},
    {"3", "Technology", kTechnology},
    {"4", "Science", kScience},
    {"5", "Sports", kSports},
    {"6", "Entertainment", kEntertainment},
    {"7", "Health", kHealth},
}};

}  // namespace

std::span<const DirectoryCategory> FeedDirectory::Categories() { return kCategories; }

std::string FeedDirectory::CategoryReply() {
  std::string out = "<categories version=\"1.0\">\n";
  for (const DirectoryCategory& c : kCategories)
    out += "<item><category>" + std::string(c.name) + "</category><id>" + std::string(c.id) + "</id></item>\n";
  out += "</categories>\n";
  return out;
}

std::string FeedDirectory::FeedListReply(std::string_view categoryId) {
  const DirectoryCategory* found = nullptr;
  for (const DirectoryCategory& c : kCategories)
    if (c.id == categoryId) found = &c;
  std::string out = "<rsslist version=\"1.0\">\n";
  if (found)
    for (const DirectoryFeed& f : found->feeds)
      out += "<item><title>" + std::string(f.title) + "</title><url>" + std::string(f.url) + "</url></item>\n";
  out += "</rsslist>\n";
  return out;
}

}  // namespace bridge
