// The saver as a user starts it, under a private Xvfb of its own mode: the
// time from starting the program to the lake on the screen (its sky rows equal
// the background picture), and the peak resident memory a few seconds later.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "support/PrivateX.h"
#include "support/TempConfigHome.h"
// Last: Xlib's macros clash with the headers above.
#include "support/XPixels.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRow = 40;  // a sky row no sprite reaches

std::vector<std::uint32_t> SkyRow() {
  auto bytes = platform::FindResource("WIM1");
  auto picture = bytes ? platform::DecodePicture(*bytes) : std::nullopt;
  std::vector<std::uint32_t> row;
  if (!picture) return row;
  for (int x = 0; x < 1023; ++x) row.push_back(picture->pixels[kRow * 1024 + x] & 0xFFFFFF);
  return row;
}

long PeakKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value = 0;
  while (status >> key)
    if (key == "VmHWM:" && status >> value) return value;
  return 0;
}

void BM_StartToLake(benchmark::State& state) {
  testing_support::PrivateXvfb x({"1024x768"});
  TempConfigHome home;
  Display* d = XOpenDisplay(x.Display().c_str());
  if (!d) return state.SkipWithError("no X server");
  const auto sky = SkyRow();
  double peakMb = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    auto saver = testing_support::Process::Start({BRISVANE_EXE, "/s"}, {"DISPLAY=" + x.Display(),
                                                                        "XDG_CONFIG_HOME=" + home.Dir()});
    bool shown = false;
    while (!shown && Clock::now() - start < std::chrono::seconds(10)) {
      shown = testing_support::Grab(d, DefaultRootWindow(d), 0, kRow, 1023, 1) == sky;
      if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!shown) state.SkipWithError("the lake never appeared");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    peakMb = static_cast<double>(PeakKb(saver.pid)) / 1024;
  }
  state.counters["peak_MB"] = peakMb;
  XCloseDisplay(d);
}
BENCHMARK(BM_StartToLake)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
