// The weather and news feeds and the refresh thread WeatherHTTP. The thread
// only loops, handing RefreshTick to the GUI thread; the fetches run there,
// through the form's HTTP client, and write the gadgets' guarded properties.
// The form hands in everything the routines touch: nothing here knows the scene.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "components/GadgetValue.h"
#include "components/Wgr.h"
#include "components/Wgw.h"
#include "components/Wss.h"
#include "framework/TThread.h"
#include "online/FeedText.h"
#include "online/THttpClient.h"

namespace online {

extern const char* const kWeatherHost;  // the weather feed's host
constexpr int kFeedTimeOut = 5000;      // ms, every wait of a feed request
constexpr int kRefreshMinutes = 30;
// Between two steps, ended at once by a stop. Each step is a round trip to the
// GUI thread: once a millisecond, those cost more than twice all the rest of
// the saver; once a second, a new minute is still seen within a second.
constexpr int kStepPauseMs = 1000;

// What the feed routines read and write; all owned by the form.
struct TFeedTargets {
  const components::TWss* Settings = nullptr;
  THttpClient* Http = nullptr;
  components::TWGW* Weather = nullptr;
  components::TWGR* News = nullptr;
  components::GadgetValue<std::string>* NewsLink = nullptr;
};

// "http://<host>/forecastrss?p=<WeatherCode>&u=<TDegree>", the values raw.
std::string WeatherURL(const components::TWss& settings);
// Time-out, in-memory body, report level and, when UseProxy is on, the proxy
// (a Port that is no number raises EConvertError).
void ConfigureFeedClient(const components::TWss& settings, THttpClient& http);

// Socket failures are caught inside: the client is disconnected and aborted
// and the outputs keep their values. Anything else is raised.
void UpdateWeather(const TFeedTargets& targets);
// configureClient: the weather fetch did not run in this step, so the client
// has not been given the time-out and the proxy yet.
void UpdateNews(const TFeedTargets& targets, bool configureClient);
// One fetch of the refresh step: weather when ShowWeather is on, then news when
// ShowNews is on; a stop requested during the weather fetch skips the news.
void FetchFeeds(const TFeedTargets& targets, const std::function<bool()>& stopRequested = {});

class WeatherHTTP final : public framework::TThread {
 public:
  explicit WeatherHTTP(const TFeedTargets& targets, bool CreateSuspended = false);
  ~WeatherHTTP() override;

  // The minute of the hour seen by the previous step (GUI thread only).
  int LastMinute = 0;
  // One step of the schedule, on the GUI thread: fetch when the gadget's
  // MinuteCount is 0, then count a change of the clock's minute.
  void RefreshTick();

 protected:
  void Execute() override;
  // A stop request also ends a request in progress at once.
  void TerminatedSet() override;

 private:
  int CurrentMinute() const;

  TFeedTargets FTargets;
  // Test hook (BRISVANE_REFRESH_MINUTE_MS): a schedule minute of that many ms.
  int FMinuteMs = 0;
  int FPauseMs = kStepPauseMs;
  std::chrono::steady_clock::time_point FCreated;
};

}  // namespace online
