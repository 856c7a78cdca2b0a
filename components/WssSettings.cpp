// The engine's settings record. Placeholder until the registry stand-in lands:
// nothing is persisted yet, the defaults are used for every run.
#include "components/Wss.h"

namespace components {

const char* const kDefaultRssUrl = "http://news.google.com/news?ned=us&topic=w&output=rss";

bool TWss::ReadRKey(const std::string&, int&) { return false; }
bool TWss::WriteRKey(const std::string&, int) { return false; }
bool TWss::ReadAKey(const std::string&, std::string&) { return false; }
bool TWss::WriteAKey(const std::string&, const std::string&) { return false; }

std::string TWss::KeyPath() const { return "SOFTWARE\\" + FBrandName + "\\" + FSSName; }

void TWss::SetRegistry() {
  FBrightness = 256;
  FSoundVolume = 200;
  FTDegree = "f";
  FWeatherCode = "20001";
  FRSS_Url = kDefaultRssUrl;
  FShowTime = FShowWeather = FShowNews = FShowBlack = FUseProxy = 0;
  FProxy.clear();
  FPort.clear();
}

}  // namespace components
