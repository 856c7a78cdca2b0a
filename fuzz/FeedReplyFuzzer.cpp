// Whole weather and news replies, cut as the fetches cut them.
#include "framework/TApplication.h"
#include "fuzz/FeedCheck.h"
#include "online/FeedText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body = FuzzText(data, size);

  try {
    const online::TWeatherReply w = online::CutWeatherReply(body);
    // "NA", or an attribute value cut from the body: it ends at a double quote.
    for (const std::string* t : {&w.TodayNow, &w.TomorrowLow, &w.TomorrowHi})
      FuzzRequire(*t == "NA" || (t->find('"') == std::string::npos && body.find(*t) != std::string::npos));
  } catch (const framework::EConvertError&) {
    // A code that is no number: the refresh cycle ends, nothing else happens.
  }

  const online::TNewsReply n = online::CutNewsReply(body);
  if (!n.Usable) {
    FuzzRequire(n.RssLine == online::kNewsNotAvailable && n.NameNews.empty() && !n.HasLink);
    return 0;
  }
  FuzzRequire(NoControlBytes(n.RssLine) && NoControlBytes(n.NameNews));
  FuzzRequire(n.NameNews.size() <= body.size() && n.Link.size() <= body.size());
  FuzzRequire(n.HasLink || n.Link.empty());
  return 0;
}
