#include "bridge/NewsAddress.h"

#include <string_view>

namespace bridge {

namespace {

struct Topic {
  std::string_view letter;
  std::string_view section;  // empty: top stories
};

constexpr Topic kTopics[] = {
    {"h", ""},           {"w", "WORLD"},         {"n", "NATION"},   {"b", "BUSINESS"},
    {"t", "TECHNOLOGY"}, {"tc", "TECHNOLOGY"},   {"e", "ENTERTAINMENT"}, {"s", "SPORTS"},
    {"snc", "SCIENCE"},  {"m", "HEALTH"},
};

struct Edition {
  std::string_view ned;
  std::string_view query;
};

constexpr Edition kEditions[] = {
    {"us", "hl=en-US&gl=US&ceid=US:en"}, {"uk", "hl=en-GB&gl=GB&ceid=GB:en"},
    {"ca", "hl=en-CA&gl=CA&ceid=CA:en"}, {"au", "hl=en-AU&gl=AU&ceid=AU:en"},
    {"in", "hl=en-IN&gl=IN&ceid=IN:en"}, {"en_ie", "hl=en-IE&gl=IE&ceid=IE:en"},
    {"nz", "hl=en-NZ&gl=NZ&ceid=NZ:en"}, {"de", "hl=de&gl=DE&ceid=DE:de"},
    {"fr", "hl=fr&gl=FR&ceid=FR:fr"},    {"es", "hl=es&gl=ES&ceid=ES:es"},
    {"it", "hl=it&gl=IT&ceid=IT:it"},    {"nl_nl", "hl=nl&gl=NL&ceid=NL:nl"},
    {"pt-BR_br", "hl=pt-BR&gl=BR&ceid=BR:pt-419"}, {"jp", "hl=ja&gl=JP&ceid=JP:ja"},
};

bool IsNewsPortal(const std::string& host) { return host == "news.google.com"; }

}  // namespace

std::optional<std::string> CurrentFeedAddress(const Url& url) {
  if (!IsNewsPortal(url.host)) return std::nullopt;
  if (url.path != "/news" && url.path != "/news/" && url.path != "/news/feeds") return std::nullopt;
  const std::string output = QueryValue(url.query, "output");
  if (output != "rss" && output != "atom") return std::nullopt;

  std::string_view edition = kEditions[0].query;
  const std::string ned = QueryValue(url.query, "ned");
  for (const Edition& e : kEditions)
    if (e.ned == ned) edition = e.query;

  const std::string q = QueryValue(url.query, "q");
  if (!q.empty()) return "https://news.google.com/rss/search?q=" + q + "&" + std::string(edition);

  std::string_view section;
  const std::string topic = QueryValue(url.query, "topic");
  for (const Topic& t : kTopics)
    if (t.letter == topic) section = t.section;
  if (section.empty()) return "https://news.google.com/rss?" + std::string(edition);
  return "https://news.google.com/rss/headlines/section/topic/" + std::string(section) + "?" + std::string(edition);
}

}  // namespace bridge
