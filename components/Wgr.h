// TWGR: the news ticker of the bottom strip. A still sprite (the ticker
// panel) with the channel's title above and the line of item titles creeping
// right to left through a clipped window.
#pragma once

#include <atomic>
#include <string>

#include "components/GadgetValue.h"
#include "components/Wim.h"
#include "platform/DrawingContext.h"

namespace components {

class TWGR : public TWIM {
 public:
  explicit TWGR(TComponent* AOwner);
  std::string ClassName() const override { return "TWGR"; }

  std::string GetRssLine() const { return FRssLine.Get(); }
  void SetRssLine(const std::string& v) { FRssLine.Set(v); }
  std::string GetNameNews() const { return FNameNews.Get(); }
  void SetNameNews(const std::string& v) { FNameNews.Set(v); }
  // Pixels the line has moved left since it last entered at the right edge.
  // A new RssLine continues from it.
  int GetScrollOffset() const { return ScrollOffset.load(std::memory_order_relaxed); }

  // Title and line of one frame, over the panel; on the frame thread.
  void DrawRssNews();
  void ShowRssTitle(int x, int y);
  // Moves the line two pixels left (back to the right edge once its end has
  // passed the window) and draws it clipped to the window lx .. lx + width.
  void CreepingLine(const std::string& text, int lx, int ty, int width);

  static platform::HFONT MyCreateFont(const std::string& face, int height, platform::HDC dc, int weight);

 private:
  GadgetValue<std::string> FRssLine{"*** Not Available Now ***"};
  GadgetValue<std::string> FNameNews{""};
  // Written by the frame thread only; atomic so tests may look at it any time.
  std::atomic<int> ScrollOffset{0};
};

}  // namespace components
