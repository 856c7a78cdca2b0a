#include "SaverCuts.h"

#include <cstdlib>

namespace testing_bridge {

namespace {

const std::string kSeparator = "  ***  ";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::string ParseBetween(const std::string& text, const std::string& begin, const std::string& end,
                         std::string& segment) {
  size_t start = 0;
  if (begin != "BEGIN") {
    const size_t at = text.find(begin);
    if (at == std::string::npos) return "FIN";
    start = at + begin.size();
  }
  const size_t stop = text.find(end, start);
  if (stop == std::string::npos) return "FIN";
  segment = text.substr(start, stop - start);
  return text.substr(stop + end.size());
}

std::string CleanFeedText(std::string text) {
  ReplaceAll(text, "\xE2\x80\x99", "'");
  ReplaceAll(text, "&amp;#39;", "'");
  ReplaceAll(text, "<![CDATA[", "");
  ReplaceAll(text, "]]>", "");
  return text;
}

std::string DecodeEntities(const std::string& text) {
  static const std::pair<const char*, const char*> kTable[] = {
      {"quot", "\""}, {"amp", "&"}, {"#039", "'"}, {"apos", "'"}, {"lt", "<"},
      {"gt", ">"},    {"#36", "$"}, {"#39", "'"},  {"#038", "&"}};
  std::string out, rest = text;
  for (;;) {
    const size_t amp = rest.find('&');
    const size_t semi = amp == std::string::npos ? amp : rest.find(';', amp);
    if (semi == std::string::npos) {
      out += rest;
      break;
    }
    out += rest.substr(0, amp);
    const std::string name = rest.substr(amp + 1, semi - amp - 1);
    for (const auto& [n, r] : kTable)
      if (name == n) out += r;
    rest = rest.substr(semi + 1);
  }
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return out;
}

WeatherValues ReadWeather(const std::string& reply) {
  WeatherValues v;
  std::string s, c, t, lo, hi, body = reply;
  ParseBetween(body, "<?", " ", s);
  if (s != "xml") return v;
  body = ParseBetween(body, "<yweather:condition", "/>", c);
  ParseBetween(c, "code=\"", "\"", s);
  v.todayCode = std::atoi(s.c_str());
  ParseBetween(c, "temp=\"", "\"", t);
  body = ParseBetween(body, "<yweather:forecast", "/>", c);
  body = ParseBetween(body, "<yweather:forecast", "/>", c);
  ParseBetween(c, "code=\"", "\"", s);
  v.tomorrowCode = std::atoi(s.c_str());
  ParseBetween(c, "low=\"", "\"", lo);
  ParseBetween(c, "high=\"", "\"", hi);
  v.todayNow = t;
  v.tomorrowLow = lo;
  v.tomorrowHi = hi;
  return v;
}

void PrintTo(const WeatherValues& v, std::ostream* out) {
  *out << "{today " << v.todayCode << " " << v.todayNow << ", tomorrow " << v.tomorrowCode << " " << v.tomorrowLow
       << ".." << v.tomorrowHi << "}";
}

NewsValues ReadNews(const std::string& reply) {
  NewsValues v;
  std::string s1, s2, title, item, t, line;
  ParseBetween(reply, "<?", " ", s1);
  ParseBetween(reply, "<", " ", s2);
  if (s1 != "xml" && s2 != "rss") return v;
  v.usable = true;
  std::string rest = ParseBetween(reply, "<title>", "</title>", title);
  rest = ParseBetween(rest, "<link>", "</link>", v.newsLink);
  v.newsLink = CleanFeedText(v.newsLink);
  v.nameNews = DecodeEntities(CleanFeedText(title));
  line = kSeparator;
  for (;;) {
    rest = ParseBetween(rest, "<item>", "</item>", item);
    if (rest == "FIN") break;
    ParseBetween(item, "<title>", "</title>", t);
    line += t + kSeparator;
  }
  v.rssLine = DecodeEntities(DecodeEntities(CleanFeedText(line)));
  return v;
}

std::string TickerLine(std::initializer_list<std::string> titles) {
  std::string line = kSeparator;
  for (const std::string& t : titles) line += t + kSeparator;
  return line;
}

}  // namespace testing_bridge
