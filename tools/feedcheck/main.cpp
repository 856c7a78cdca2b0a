// brisvane-feedcheck
// Reads the settings as the saver does, runs one refresh step as the first one
// would (the weather when ShowWeather is on, then the news when ShowNews is
// on) and prints what the gadgets and F2 then hold, one Name=value line each,
// raw bytes. A step that ends on an error other than a socket failure adds
// "error: " and the error's text as the last line and exits 1.
#include <cstdio>
#include <exception>
#include <string>

#include "components/GadgetValue.h"
#include "components/Wgr.h"
#include "components/Wgw.h"
#include "components/Wss.h"
#include "framework/TApplication.h"
#include "online/THttpClient.h"
#include "online/Unit2thread1.h"

namespace {

void Print(const char* name, const std::string& value) {
  std::fputs(name, stdout);
  std::fputc('=', stdout);
  std::fwrite(value.data(), 1, value.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fprintf(stderr, "usage: %s\n(no arguments: the saver's own settings are read)\n", argv[0]);
    return 2;
  }
  framework::TApplication app;
  app.Initialize();
  framework::TForm* form = nullptr;
  app.CreateForm(&form);
  auto* wss = new components::TWss(form);
  auto* http = new online::THttpClient(form);
  auto* wgw = new components::TWGW(form);
  auto* wgr = new components::TWGR(form);
  components::GadgetValue<std::string> newsLink{""};

  std::string error;
  bool failed = false;
  try {
    wss->SetBrandName("Tarrowind Software");
    wss->SetSSName("Brisvane Screensaver");
    wss->SetRegistry();
    online::FetchFeeds({wss, http, wgw, wgr, &newsLink});
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  }

  Print("TodayCode", std::to_string(wgw->GetTodayCode()));
  Print("TodayNow", wgw->GetTodayNow());
  Print("TomorrowCode", std::to_string(wgw->GetTomorrowCode()));
  Print("TomorrowLow", wgw->GetTomorrowLow());
  Print("TomorrowHi", wgw->GetTomorrowHi());
  Print("NameNews", wgr->GetNameNews());
  Print("RssLine", wgr->GetRssLine());
  Print("NewsLink", newsLink.Get());
  if (failed) {
    std::fputs("error: ", stdout);
    std::fwrite(error.data(), 1, error.size(), stdout);
    std::fputc('\n', stdout);
  }
  return std::fflush(stdout) == 0 && !failed ? 0 : 1;
}
