#include "online/Unit2thread1.h"

#include <cstdlib>

#include "platform/LocalClock.h"

namespace online {

const char* const kWeatherHost = "weather.yahooapis.com";

namespace {

// Runs a fetch; a socket failure keeps the outputs and leaves the client ready.
template <class Fetch>
void GuardedFetch(THttpClient& http, Fetch fetch) {
  try {
    fetch();
  } catch (const ESockError&) {
    http.Disconnect();
    http.Abort();
  }
}

int MinuteHook() {
  const char* text = std::getenv("BRISVANE_REFRESH_MINUTE_MS");
  if (!text || !*text) return 0;
  char* end = nullptr;
  const long ms = std::strtol(text, &end, 10);
  return (*end == '\0' && ms > 0 && ms <= 60000) ? static_cast<int>(ms) : 0;
}

}  // namespace

std::string WeatherURL(const components::TWss& settings) {
  return std::string("http://") + kWeatherHost + "/forecastrss?p=" + settings.GetWeatherCode() +
         "&u=" + settings.GetTDegree();
}

void ConfigureFeedClient(const components::TWss& settings, THttpClient& http) {
  http.SetTimeOut(kFeedTimeOut);
  http.SetInputFileMode(false);
  http.SetOutputFileMode(false);
  http.SetReportLevel(2);
  if (settings.GetUseProxy() != 0) {
    http.SetProxy(settings.GetProxy());
    http.SetProxyPort(framework::StrToInt(settings.GetPort()));
  }
}

void UpdateWeather(const TFeedTargets& t) {
  ConfigureFeedClient(*t.Settings, *t.Http);
  const std::string url = WeatherURL(*t.Settings);
  GuardedFetch(*t.Http, [&] {
    t.Http->Get(url);
    const TWeatherReply reply = CutWeatherReply(t.Http->GetBody());
    t.Weather->SetTodayCode(reply.TodayCode);
    t.Weather->SetTomorrowCode(reply.TomorrowCode);
    t.Weather->SetTodayNow(reply.TodayNow);
    t.Weather->SetTomorrowLow(reply.TomorrowLow);
    t.Weather->SetTomorrowHi(reply.TomorrowHi);
  });
}

void UpdateNews(const TFeedTargets& t, bool configureClient) {
  if (configureClient) ConfigureFeedClient(*t.Settings, *t.Http);
  const std::string url = t.Settings->GetRSS_Url();
  GuardedFetch(*t.Http, [&] {
    t.Http->Get(url);
    const TNewsReply reply = CutNewsReply(t.Http->GetBody());
    if (reply.Usable) {
      if (reply.HasLink) t.NewsLink->Set(reply.Link);
      t.News->SetNameNews(reply.NameNews);
    }
    t.News->SetRssLine(reply.RssLine);
  });
}

void FetchFeeds(const TFeedTargets& t, const std::function<bool()>& stopRequested) {
  const bool weather = t.Settings->GetShowWeather() != 0;
  if (weather) UpdateWeather(t);
  if (stopRequested && stopRequested()) return;
  if (t.Settings->GetShowNews() != 0) UpdateNews(t, !weather);
}

WeatherHTTP::WeatherHTTP(const TFeedTargets& targets, bool CreateSuspended)
    : TThread(CreateSuspended), FTargets(targets), FMinuteMs(MinuteHook()), FCreated(std::chrono::steady_clock::now()) {
  // A shortened minute still sees every change of it.
  if (FMinuteMs > 0 && FMinuteMs / 4 < FPauseMs) FPauseMs = FMinuteMs / 4 > 0 ? FMinuteMs / 4 : 1;
  if (!CreateSuspended) Start();
}

WeatherHTTP::~WeatherHTTP() { StopAndWait(); }

void WeatherHTTP::Execute() {
  while (!Terminated()) {
    Synchronize([this] { RefreshTick(); });
    Pause(FPauseMs);
  }
}

void WeatherHTTP::TerminatedSet() {
  if (FTargets.Http) FTargets.Http->Abort();
}

int WeatherHTTP::CurrentMinute() const {
  if (FMinuteMs > 0) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - FCreated);
    return static_cast<int>((ms.count() / FMinuteMs) % 60);
  }
  return platform::LocalNow().minute;
}

void WeatherHTTP::RefreshTick() {
  components::TWGW& gadget = *FTargets.Weather;
  if (gadget.MinuteCount == 0) {
    FetchFeeds(FTargets, [this] { return Terminated(); });
    gadget.MinuteCount = 1;
  }
  const int m = CurrentMinute();
  if (m != LastMinute) ++gadget.MinuteCount;
  if (gadget.MinuteCount > kRefreshMinutes) gadget.MinuteCount = 0;
  LastMinute = m;
}

}  // namespace online
