#include "components/Wgc.h"

#include "components/GadgetText.h"
#include "platform/LocalClock.h"
#include "platform/TimeFormat.h"

namespace components {

namespace {
constexpr platform::COLORREF kWhite = 0xFFFFFF;
constexpr platform::COLORREF kGrey = 0x808080;
constexpr int kFieldWidth = 106;
constexpr std::size_t kMaxTimeText = 255;
}  // namespace

TWGC::TWGC(TComponent* AOwner) : TWIM(AOwner) {}

platform::HFONT TWGC::MyCreateFont(const std::string& face, int height, platform::HDC dc, int weight) {
  return CreateGadgetFont(face, height, dc, weight);
}

std::string TWGC::Parse1(const std::string& text, const std::string& begin, const std::string& end,
                         std::string& segment) {
  std::size_t start = 0;
  if (begin != "BEGIN") {
    const std::size_t at = text.find(begin);
    start = at == std::string::npos ? 0 : at + begin.size();
  }
  const std::size_t stop = text.find(end, start);
  if (stop == std::string::npos || end.empty()) {
    segment.clear();
    return text.substr(start);
  }
  segment = text.substr(start, stop - start);
  return text.substr(stop + end.size());
}

void TWGC::DrawGadgetClock() {
  TWss* e = Engine();
  if (!e) return;
  const int x0 = e->GetWidthScreen() - 113;
  const int y0 = e->GetHeightScreen() - 42;
  // One reading serves the text and the blink, so both belong to the same instant.
  const platform::LocalTime now = platform::LocalNow();
  std::string time = platform::FormatShortTime(now);
  if (time.size() > kMaxTimeText) time.resize(kMaxTimeText);
  const std::size_t length = time.size();

  GadgetText text(e);
  if (!text) return;
  platform::HDC dc = text.Context();
  text.Adopt(MyCreateFont("Arial", 22, dc, platform::FW_BOLD));
  dc->SetBkMode(platform::TRANSPARENT);
  dc->SetTextColor(kWhite);

  // Centred once on the whole text, so the parts never move against each other.
  const int off = (kFieldWidth - text.Width(time)) / 2;
  const int x = x0 + off;
  std::string h;
  time = Parse1(time, "BEGIN", ":", h);
  dc->TextOut(x, y0, h);
  int w = text.Width(h);

  ++BlinkCount;
  SecondNow = now.second;
  if (SecondNow != LastSecond) BlinkCount = 0;
  LastSecond = SecondNow;
  const int interval = e->GetInterval();
  if (interval > 0 && BlinkCount < 500 / interval) dc->TextOut(x + w, y0, ":");

  dc->SetTextColor(kWhite);
  h += ":";
  w = text.Width(h);
  if (length > 5) {
    std::string m;
    time = Parse1(time, "BEGIN", " ", m);  // time keeps the designator
    dc->TextOut(x + w, y0, m);
    dc->SetTextColor(kGrey);
    h += m;
    w = text.Width(h);
    dc->TextOut(x + w, y0, " " + time);
  } else {
    dc->TextOut(x + w, y0, time);
  }
}

}  // namespace components
