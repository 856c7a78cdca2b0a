#include "SaverSide.h"

#include <chrono>

#include "BridgeProcess.h"
#include "components/Wss.h"

namespace testing_bridge {

namespace {

constexpr int kToolLimitMs = 30000;
constexpr int kMaxItems = 1000;

std::string Joined(std::initializer_list<std::string> values) {
  std::string out;
  for (const std::string& v : values) out += (out.empty() ? "" : " ") + v;
  return out;
}

}  // namespace

void WriteSaverSettings(const SaverSettings& s) {
  components::TWss wss(nullptr);
  wss.SetBrandName("Tarrowind Software");
  wss.SetSSName("Brisvane Screensaver");
  wss.WriteRKey("Brightness", 256);  // the saver reads the rest only when the key has this
  wss.WriteRKey("ShowWeather", s.ShowWeather);
  wss.WriteRKey("ShowNews", s.ShowNews);
  wss.WriteRKey("UseProxy", 1);
  wss.WriteAKey("Proxy", "127.0.0.1");
  wss.WriteAKey("Port", std::to_string(s.bridgePort));
  wss.WriteAKey("WeatherCode", s.WeatherCode);
  wss.WriteAKey("TDegree", s.TDegree);
  wss.WriteAKey("RSS_Url", s.RSS_Url);
}

std::string FeedCheckRun::Value(const std::string& name) const {
  const std::string key = name + "=";
  for (size_t at = 0; at < output.size();) {
    const size_t end = output.find('\n', at);
    const std::string line = output.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.starts_with(key)) return line.substr(key.size());
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return "(no line)";
}

std::string FeedCheckRun::Weather() const {
  return Joined({Value("TodayCode"), Value("TodayNow"), Value("TomorrowCode"), Value("TomorrowLow"),
                 Value("TomorrowHi")});
}

FeedCheckRun RunFeedCheck() {
  const auto start = std::chrono::steady_clock::now();
  BridgeProcess::Launch launch;
  launch.program = BRISVANE_FEEDCHECK_EXE;
  BridgeProcess tool(launch);
  FeedCheckRun run;
  run.exitCode = tool.Wait(kToolLimitMs);
  run.elapsedMs = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  run.output = tool.Stdout();
  run.errors = tool.Stderr();
  return run;
}

FeedCheckRun RunFeedCheck(const SaverSettings& settings) {
  WriteSaverSettings(settings);
  return RunFeedCheck();
}

std::string Weather(const online::TWeatherReply& r) {
  return Joined({std::to_string(r.TodayCode), r.TodayNow, std::to_string(r.TomorrowCode), r.TomorrowLow,
                 r.TomorrowHi});
}

std::string TickerLine(std::initializer_list<std::string> titles) {
  const std::string separator = "  ***  ";
  std::string line = separator;
  for (const std::string& t : titles) line += t + separator;
  return line;
}

std::optional<DirectoryEntries> CutDirectory(const std::string& body, const std::string& root,
                                             const std::string& nameTag, const std::string& valueTag) {
  std::string segment;
  online::ParseBetween(body, "<", " ", segment);
  if (segment != root) return std::nullopt;
  DirectoryEntries entries;
  std::string rest = body, item;
  for (int n = 0; n < kMaxItems; ++n) {
    rest = online::ParseBetween(rest, "<item>", "</item>", item);
    if (rest == "FIN") break;
    online::ParseBetween(item, "<" + nameTag + ">", "</" + nameTag + ">", segment);
    std::string name = segment;
    online::ParseBetween(item, "<" + valueTag + ">", "</" + valueTag + ">", segment);
    entries.emplace_back(std::move(name), segment);
  }
  return entries;
}

}  // namespace testing_bridge
