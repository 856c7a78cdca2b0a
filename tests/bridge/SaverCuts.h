// The saver's own reading of replies, cut for cut: the weather gadget's five
// values and the ticker's title, line and link, as the saver's feed routines
// take them out of a reply by fixed markers. The bridge's replies are judged
// by what these give.
#pragma once

#include <ostream>
#include <string>

namespace testing_bridge {

// The rest after the end marker, or "FIN" when a marker is missing
// (segment untouched then). Begin marker "BEGIN" is the text's start.
std::string ParseBetween(const std::string& text, const std::string& begin, const std::string& end,
                         std::string& segment);
std::string CleanFeedText(std::string text);
std::string DecodeEntities(const std::string& text);

struct WeatherValues {
  int todayCode = 48;
  std::string todayNow = "NA";
  int tomorrowCode = 48;
  std::string tomorrowLow = "NA";
  std::string tomorrowHi = "NA";
  bool operator==(const WeatherValues&) const = default;
};
WeatherValues ReadWeather(const std::string& body);
// For test failure messages.
void PrintTo(const WeatherValues& v, std::ostream* out);

struct NewsValues {
  bool usable = false;
  std::string nameNews;
  std::string rssLine = "*** Not Available Now ***";
  std::string newsLink;
};
NewsValues ReadNews(const std::string& body);

// Titles joined as the ticker line shows them: the separator, then each title
// followed by the separator.
std::string TickerLine(std::initializer_list<std::string> titles);

}  // namespace testing_bridge
