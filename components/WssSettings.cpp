// The engine's settings record: one registry key of the current user.
#include "components/Wss.h"

#include "platform/Registry.h"

namespace components {

const char* const kDefaultRssUrl = "http://news.google.com/news?ned=us&topic=w&output=rss";

std::string TWss::KeyPath() const {
  std::string path = "SOFTWARE\\";
  path.append(FBrandName).append(1, '\\').append(FSSName);
  return path;
}

// Each operation opens and closes its own accessor: the dialog may change the
// key between any two calls. A missing or mistyped value raises RegistryError
// from the reads, as the accessor does.
bool TWss::ReadRKey(const std::string& name, int& value) {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), false)) return false;
  value = registry.ReadInteger(name);
  return true;
}

bool TWss::ReadAKey(const std::string& name, std::string& text) {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), false)) return false;
  text = registry.ReadString(name);
  return true;
}

// False also when the key opened but the value could not be stored (a full
// disk, say): that is not a success, and the engine must not raise.
bool TWss::WriteRKey(const std::string& name, int value) {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), true)) return false;
  try {
    registry.WriteInteger(name, value);
  } catch (const platform::RegistryError&) {
    return false;
  }
  return true;
}

bool TWss::WriteAKey(const std::string& name, const std::string& text) {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), true)) return false;
  try {
    registry.WriteString(name, text);
  } catch (const platform::RegistryError&) {
    return false;
  }
  return true;
}

void TWss::SetRegistry() {
  int brightness = kDefaultBrightness;
  bool exists = false;
  try {
    exists = ReadRKey("Brightness", brightness);
  } catch (const platform::RegistryError&) {
    // The key opened but Brightness is missing or not an integer: keep its
    // default and load the rest rather than end the start-up.
    exists = true;
    brightness = kDefaultBrightness;
  }

  if (exists) {
    FBrightness = brightness;
    auto readInteger = [this](const char* name, int& field, int fallback) {
      try {
        if (!ReadRKey(name, field)) field = fallback;
      } catch (const platform::RegistryError&) {
        field = fallback;
      }
    };
    auto readText = [this](const char* name, std::string& field, const char* fallback) {
      try {
        if (!ReadAKey(name, field)) field = fallback;
      } catch (const platform::RegistryError&) {
        field = fallback;
      }
    };
    readInteger("SoundVolume", FSoundVolume, kDefaultSoundVolume);
    readText("TDegree", FTDegree, kDefaultTDegree);
    readText("WeatherCode", FWeatherCode, kDefaultWeatherCode);
    readText("RSS_Url", FRSS_Url, kDefaultRssUrl);
    readInteger("ShowTime", FShowTime, 0);
    readInteger("ShowWeather", FShowWeather, 0);
    readInteger("ShowNews", FShowNews, 0);
    readInteger("ShowBlack", FShowBlack, 0);
    readInteger("UseProxy", FUseProxy, 0);
    readText("Proxy", FProxy, "");
    readText("Port", FPort, "");
    return;
  }

  FBrightness = kDefaultBrightness;
  FSoundVolume = kDefaultSoundVolume;
  FTDegree = std::string(kDefaultTDegree);  // not a literal assign: GCC 12 warns falsely (-Wrestrict)
  FWeatherCode = kDefaultWeatherCode;
  FRSS_Url = kDefaultRssUrl;
  FShowTime = FShowWeather = FShowNews = FShowBlack = FUseProxy = 0;
  FProxy.clear();
  FPort.clear();
  // First run: the complete set, in the table's order. A key that cannot be
  // created leaves the defaults in memory only; the next run tries again.
  WriteRKey("Brightness", FBrightness);
  WriteRKey("SoundVolume", FSoundVolume);
  WriteAKey("TDegree", FTDegree);
  WriteAKey("WeatherCode", FWeatherCode);
  WriteAKey("RSS_Url", FRSS_Url);
  WriteRKey("ShowTime", FShowTime);
  WriteRKey("ShowWeather", FShowWeather);
  WriteRKey("ShowNews", FShowNews);
  WriteRKey("ShowBlack", FShowBlack);
  WriteRKey("UseProxy", FUseProxy);
  WriteAKey("Proxy", FProxy);
  WriteAKey("Port", FPort);
}

}  // namespace components
