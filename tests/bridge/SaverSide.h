// The saver's side of the bridge's tests, with the saver's own code: its
// settings written through the registry layer, one refresh step run by the
// feed check tool, and single replies read by the feed routines' own cuts;
// and the dialog's reading of the feed directory, with the same cutting.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "online/FeedText.h"

namespace testing_bridge {

// The settings the tool reads, the proxy being the bridge (UseProxy 1, Proxy
// 127.0.0.1). They go to the XDG_CONFIG_HOME of the test, which must be private.
struct SaverSettings {
  int bridgePort = 0;
  int ShowWeather = 1;
  int ShowNews = 1;
  std::string WeatherCode = "20001";
  std::string TDegree = "f";
  std::string RSS_Url = "http://news.example.test/world.rss";
};
void WriteSaverSettings(const SaverSettings& settings);

// One run of brisvane-feedcheck: what the gadgets and F2 hold after the step.
struct FeedCheckRun {
  int exitCode = -1;  // -1: it did not end in time
  long elapsedMs = 0;
  std::string output, errors;
  // The value of a Name= line, or "(no line)".
  std::string Value(const std::string& name) const;
  // "TodayCode TodayNow TomorrowCode TomorrowLow TomorrowHi", as Weather below.
  std::string Weather() const;
};
FeedCheckRun RunFeedCheck();
// Settings written, then one run.
FeedCheckRun RunFeedCheck(const SaverSettings& settings);

// The five weather values a reply gives the gadget, blank-separated.
std::string Weather(const online::TWeatherReply& reply);
// The ticker line of these titles: the separator before each and after the last.
std::string TickerLine(std::initializer_list<std::string> titles);

// A feed directory reply cut as the configuration dialog cuts it: nothing
// unless the text from the first "<" to the next blank is the root name; then
// for each item its name and its value, each searched from the item's start
// and cut verbatim into one and the same segment in turn, so a missing field
// repeats the text cut last.
using DirectoryEntries = std::vector<std::pair<std::string, std::string>>;
std::optional<DirectoryEntries> CutDirectory(const std::string& body, const std::string& root,
                                             const std::string& nameTag, const std::string& valueTag);

}  // namespace testing_bridge
