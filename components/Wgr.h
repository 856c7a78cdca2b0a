// TWGR: the news ticker of the bottom strip. A still sprite (the ticker
// panel) with the channel's title above and the line of item titles creeping
// right to left through a clipped window.
#pragma once

#include <string>

#include "components/GadgetValue.h"
#include "components/Wim.h"

namespace components {

class TWGR : public TWIM {
 public:
  explicit TWGR(TComponent* AOwner);
  std::string ClassName() const override { return "TWGR"; }

  std::string GetRssLine() const { return FRssLine.Get(); }
  void SetRssLine(const std::string& v) { FRssLine.Set(v); }
  std::string GetNameNews() const { return FNameNews.Get(); }
  void SetNameNews(const std::string& v) { FNameNews.Set(v); }

 private:
  GadgetValue<std::string> FRssLine{"*** Not Available Now ***"};
  GadgetValue<std::string> FNameNews{""};
};

}  // namespace components
