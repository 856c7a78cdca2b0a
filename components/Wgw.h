// TWGW: the weather gadget of the bottom strip. A still sprite (the weather
// panel) with today's and tomorrow's condition icon and temperatures drawn
// over it from the icon strip WeatherPicVCL.
#pragma once

#include <atomic>
#include <string>

#include "components/GadgetValue.h"
#include "components/Wim.h"
#include "components/Wmv.h"
#include "platform/DrawingContext.h"

namespace components {

class TWGW : public TWIM {
 public:
  explicit TWGW(TComponent* AOwner);
  std::string ClassName() const override { return "TWGW"; }

  // 0..47 condition codes, 48 not available.
  int GetTodayCode() const { return FTodayCode.Get(); }
  void SetTodayCode(int v) { FTodayCode.Set(v); }
  int GetTomorrowCode() const { return FTomorrowCode.Get(); }
  void SetTomorrowCode(int v) { FTomorrowCode.Set(v); }
  std::string GetTodayNow() const { return FTodayNow.Get(); }
  void SetTodayNow(const std::string& v) { FTodayNow.Set(v); }
  std::string GetTomorrowHi() const { return FTomorrowHi.Get(); }
  void SetTomorrowHi(const std::string& v) { FTomorrowHi.Set(v); }
  std::string GetTomorrowLow() const { return FTomorrowLow.Get(); }
  void SetTomorrowLow(const std::string& v) { FTomorrowLow.Set(v); }
  TWMV* GetWeatherPicVCL() const { return FWeatherPicVCL.load(); }
  void SetWeatherPicVCL(TWMV* strip) { FWeatherPicVCL.store(strip); }

  // Icons and temperatures of one frame, over the panel; on the frame thread.
  // A code above 47 is stored back as 48 (not available).
  void DrawGadgetWeather();

  static platform::HFONT MyCreateFont(const std::string& face, int height, platform::HDC dc, int weight);

  // The refresh schedule's counter (GUI thread only); the gadget never reads it.
  int MinuteCount = 0;

 private:
  void DrawIcon(TWMV* strip, int x, int y, GadgetValue<int>& code);

  std::atomic<TWMV*> FWeatherPicVCL{nullptr};
  GadgetValue<int> FTodayCode{48};
  GadgetValue<int> FTomorrowCode{48};
  GadgetValue<std::string> FTodayNow{"NA"};
  GadgetValue<std::string> FTomorrowHi{"NA"};
  GadgetValue<std::string> FTomorrowLow{"NA"};
};

}  // namespace components
