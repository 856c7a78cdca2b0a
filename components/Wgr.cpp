#include "components/Wgr.h"

#include "components/GadgetText.h"

namespace components {

namespace {
constexpr platform::COLORREF kWhite = 0xFFFFFF;
constexpr platform::COLORREF kTitleGrey = 0x999999;
constexpr int kWindowWidth = 545;
constexpr int kStep = 2;
}  // namespace

TWGR::TWGR(TComponent* AOwner) : TWIM(AOwner) {}

platform::HFONT TWGR::MyCreateFont(const std::string& face, int height, platform::HDC dc, int weight) {
  return CreateGadgetFont(face, height, dc, weight);
}

void TWGR::DrawRssNews() {
  const int x = FShowX, y = FShowY;
  ShowRssTitle(x + 90, y + 7);
  CreepingLine(FRssLine.Get(), x + 15, y + 30, kWindowWidth);
}

void TWGR::ShowRssTitle(int x, int y) {
  GadgetText text(Engine());
  if (!text) return;
  platform::HDC dc = text.Context();
  text.Adopt(MyCreateFont("Arial", 16, dc, platform::FW_BOLD));
  dc->SetBkMode(platform::TRANSPARENT);
  dc->SetTextColor(kTitleGrey);
  dc->TextOut(x, y, FNameNews.Get());
}

void TWGR::CreepingLine(const std::string& line, int lx, int ty, int width) {
  const platform::RECT clip{lx, ty - 20, lx + width, ty + 20};
  GadgetText text(Engine());
  if (!text) return;  // the line stands still while it cannot be drawn
  platform::HDC dc = text.Context();
  text.Adopt(MyCreateFont("Arial", 16, dc, platform::FW_BOLD));
  const long long tw = text.Width(line);
  int offset = ScrollOffset.load(std::memory_order_relaxed) + kStep;
  if (offset > tw + width) offset = 0;
  ScrollOffset.store(offset, std::memory_order_relaxed);
  dc->SetBkMode(platform::TRANSPARENT);
  dc->SetTextColor(kWhite);
  dc->ExtTextOut(lx + width - offset, ty, platform::ETO_CLIPPED, &clip, line);
}

}  // namespace components
