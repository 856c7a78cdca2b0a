#include "components/Wgw.h"

#include "components/GadgetText.h"

namespace components {

namespace {
constexpr platform::COLORREF kWhite = 0xFFFFFF;
constexpr int kNotAvailable = 48;
const char* const kDegree = "\xB0";  // the code page's degree sign
}  // namespace

TWGW::TWGW(TComponent* AOwner) : TWIM(AOwner) {}

platform::HFONT TWGW::MyCreateFont(const std::string& face, int height, platform::HDC dc, int weight) {
  return CreateGadgetFont(face, height, dc, weight);
}

void TWGW::DrawIcon(TWMV* strip, int x, int y, GadgetValue<int>& code) {
  strip->SetShowX(x);
  strip->SetShowY(y);
  // Checked and stored back in one locked step, so a new code set meanwhile stands.
  strip->SetNumberFrame(code.Amend([](int c) { return c > 47 ? kNotAvailable : c; }));
  strip->DrawMovie();
}

void TWGW::DrawGadgetWeather() {
  const int x = FShowX, y = FShowY;
  TWss* e = Engine();
  TWMV* strip = FWeatherPicVCL.load();
  if (!strip) return;
  DrawIcon(strip, x + 94, y + 8, FTodayCode);
  DrawIcon(strip, x + 206, y + 8, FTomorrowCode);

  GadgetText text(e);
  if (!text) return;
  platform::HDC dc = text.Context();
  const std::string today = FTodayNow.Get() + kDegree;
  text.Adopt(MyCreateFont("Arial", 20, dc, platform::FW_BOLD));
  dc->SetBkMode(platform::TRANSPARENT);
  dc->SetTextColor(kWhite);
  dc->TextOut(x + 153, y + 29, today);
  const std::string tomorrow = FTomorrowLow.Get() + "..." + FTomorrowHi.Get() + kDegree;
  dc->TextOut(x + 265, y + 29, tomorrow);
}

}  // namespace components
