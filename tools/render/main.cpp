// brisvane-render [--frames N] [--png DIR] [--at 1,2,100] [--trace] [--fetch]
//                 [--clock "YYYY-MM-DD HH:MM:SS"] [--set Name=value ...]
// Builds the real lake scene (settings read from the saver's own file) on the
// headless display and draws N frames one after another, each as the engine's
// tick makes it (restore, clear, the scene's frame, flip), without a window,
// an audio device, a request or a clock to wait on. Writes chosen frames as
// PNG and, with --trace, every sprite draw of every frame in drawing order.
// With --fetch the refresh thread's first step runs before the first frame,
// so the weather and news gadgets show what the configured feeds serve.
// --clock fixes the local time of the first frame (later frames are one
// engine interval apart); --set gives a gadget value before the first frame.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <vector>

#include "components/WSprite.h"
#include "framework/TApplication.h"
#include "platform/DisplayDriver.h"
#include "platform/HeadlessGui.h"
#include "platform/LocalClock.h"
#include "platform/Sound.h"
#include "platform/Timer.h"
#include "scene/Unit1.h"

namespace {

struct Options {
  int frames = 1;
  std::string pngDir;
  std::set<int> at;
  bool trace = false;
  bool fetch = false;
  bool fixedClock = false;
  platform::LocalTime clock;
  std::vector<std::pair<std::string, std::string>> sets;  // in the order given
};

bool ParseCount(const char* text, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || end == text || *end || v < 1 || v > 100000000) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseList(const char* text, std::set<int>& out) {
  std::string item;
  for (const char* p = text;; ++p) {
    if (*p == ',' || *p == '\0') {
      int v = 0;
      if (!ParseCount(item.c_str(), v)) return false;
      out.insert(v);
      item.clear();
      if (*p == '\0') return true;
    } else {
      item += *p;
    }
  }
}

bool ParseCode(const std::string& text, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno || end == text.c_str() || *end || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

// The gadget values --set may give, as the feeds would store them.
struct GadgetProperty {
  const char* name;
  bool code;  // an integer condition code, else a text
  std::function<void(scene::TForm1&, const std::string&)> set;
};

const GadgetProperty kGadgetProperties[] = {
    {"TodayCode", true, [](scene::TForm1& f, const std::string& v) { int c = 0; ParseCode(v, c); f.WGW1->SetTodayCode(c); }},
    {"TomorrowCode", true, [](scene::TForm1& f, const std::string& v) { int c = 0; ParseCode(v, c); f.WGW1->SetTomorrowCode(c); }},
    {"TodayNow", false, [](scene::TForm1& f, const std::string& v) { f.WGW1->SetTodayNow(v); }},
    {"TomorrowLow", false, [](scene::TForm1& f, const std::string& v) { f.WGW1->SetTomorrowLow(v); }},
    {"TomorrowHi", false, [](scene::TForm1& f, const std::string& v) { f.WGW1->SetTomorrowHi(v); }},
    {"RssLine", false, [](scene::TForm1& f, const std::string& v) { f.WGR1->SetRssLine(v); }},
    {"NameNews", false, [](scene::TForm1& f, const std::string& v) { f.WGR1->SetNameNews(v); }},
};

const GadgetProperty* FindGadgetProperty(const std::string& name) {
  for (const GadgetProperty& p : kGadgetProperties)
    if (name == p.name) return &p;
  return nullptr;
}

// "Name=value" with a known name (and a number for a code).
bool ParseSet(const char* text, Options& o) {
  const std::string item = text;
  const std::size_t eq = item.find('=');
  if (eq == std::string::npos) return false;
  std::string name = item.substr(0, eq), value = item.substr(eq + 1);
  const GadgetProperty* p = FindGadgetProperty(name);
  int code = 0;
  if (!p || (p->code && !ParseCode(value, code))) return false;
  o.sets.emplace_back(std::move(name), std::move(value));
  return true;
}

struct Option {
  const char* name;
  const char* value;  // null: a flag
  std::function<bool(Options&, const char*)> apply;
};

const Option kOptions[] = {
    {"--frames", "N", [](Options& o, const char* v) { return ParseCount(v, o.frames); }},
    {"--png", "DIR", [](Options& o, const char* v) { return (o.pngDir = v), !o.pngDir.empty(); }},
    {"--at", "LIST", [](Options& o, const char* v) { return ParseList(v, o.at); }},
    {"--trace", nullptr, [](Options& o, const char*) { return o.trace = true; }},
    {"--fetch", nullptr, [](Options& o, const char*) { return o.fetch = true; }},
    {"--clock", "\"YYYY-MM-DD HH:MM:SS\"",
     [](Options& o, const char* v) { return o.fixedClock = platform::ParseLocalTime(v, o.clock); }},
    {"--set", "Name=value", [](Options& o, const char* v) { return ParseSet(v, o); }},
};

// Lets the refresh thread hand its first step over and runs it here, as the
// saver's message loop would. Bounded: each wait of a request has its time-out.
bool RunFirstRefreshStep(framework::TApplication& app, scene::TForm1& form) {
  online::WeatherHTTP* refresh = form.RefreshThread();
  if (!refresh) return false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (form.WGW1->MinuteCount == 0 && !refresh->GetFinished()) {
    if (std::chrono::steady_clock::now() > end) return false;
    app.ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return form.WGW1->MinuteCount != 0;
}

int Usage() {
  std::fprintf(stderr, "usage: brisvane-render");
  for (const Option& o : kOptions) std::fprintf(stderr, o.value ? " [%s %s]" : " [%s]", o.name, o.value);
  std::fprintf(stderr, "\n");
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const Option* found = nullptr;
    for (const Option& o : kOptions)
      if (std::string(argv[i]) == o.name) found = &o;
    if (!found) return false;
    const char* value = nullptr;
    if (found->value) {
      if (i + 1 >= argc) return false;
      value = argv[++i];
    }
    if (!found->apply(options, value)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  if (!options.pngDir.empty() && mkdir(options.pngDir.c_str(), 0777) != 0 && errno != EEXIST) {
    std::perror(options.pngDir.c_str());
    return 1;
  }

  // Headless all through: no window, no audio, no mixer, and the engine's own
  // timer never ticks; the frames below are the only ones drawn.
  auto display = std::make_shared<platform::HeadlessDisplayDriver>();
  platform::SetGui(std::make_shared<platform::HeadlessGui>());
  platform::SetDisplayDriver(display);
  platform::SetSoundOutputEnabled(false);
  platform::SetTimersDormant(true);

  std::atomic<int> frame{0};
  // The first frame (and the building of the scene) at the given time, each
  // later one an engine interval after the one before.
  std::atomic<int> interval{40};
  if (options.fixedClock)
    platform::SetLocalClock([&frame, &interval, start = options.clock] {
      const int drawn = frame.load() > 1 ? frame.load() - 1 : 0;
      return platform::AddMilliseconds(start, static_cast<long long>(drawn) * interval.load());
    });
  if (options.trace)
    components::TWSprite::SetDrawObserver([&frame](const components::TWSprite& s, int number) {
      if (number < 0)
        std::printf("%d %s - %d %d\n", frame.load(), s.Name.c_str(), s.GetShowX(), s.GetShowY());
      else
        std::printf("%d %s %d %d %d\n", frame.load(), s.Name.c_str(), number, s.GetShowX(), s.GetShowY());
    });

  int status = 0;
  {
    framework::TApplication app;
    app.Initialize();
    app.CreateForm(&scene::Form1);
    interval.store(scene::Form1->Wss1->GetInterval());
    if (options.fetch && !RunFirstRefreshStep(app, *scene::Form1)) {
      std::fprintf(stderr, "brisvane-render: the refresh step did not complete\n");
      status = 1;
    }
    for (const auto& [name, value] : options.sets) FindGadgetProperty(name)->set(*scene::Form1, value);
    for (frame = 1; status == 0 && frame <= options.frames; ++frame) {
      scene::Form1->Wss1->Tick();
      const bool wanted = options.at.empty() ? frame == options.frames : options.at.count(frame) > 0;
      if (options.pngDir.empty() || !wanted) continue;
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%04d.png", frame.load());
      if (!display->WritePng(options.pngDir + name)) {
        std::fprintf(stderr, "brisvane-render: cannot write %s%s\n", options.pngDir.c_str(), name);
        status = 1;
        break;
      }
    }
    components::TWSprite::SetDrawObserver(nullptr);
    scene::Form1->EndSaver();
  }
  std::fflush(stdout);
  platform::SetLocalClock(nullptr);
  platform::SetDisplayDriver(nullptr);
  platform::SetGui(nullptr);
  return status;
}
