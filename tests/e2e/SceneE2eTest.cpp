// The lake as a user sees it: the real program in run mode under a private Xvfb
// of exactly the saver's mode, so screen pixels are frame pixels.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/PictureDecoder.h"
#include "platform/Resources.h"
#include "platform/SessionBus.h"
// Last: it brings Xlib, whose macros clash with the headers above.
#include "e2e/E2eSupport.h"

namespace {

using namespace e2e;

// Rows no sprite ever reaches: the sky above the trees and the birds' paths.
// The last column stays black: a sprite is copied one pixel short of the edge.
constexpr int kSkyRows = 100;
constexpr int kSkyColumns = 1023;

std::vector<std::uint32_t> BackgroundSky() {
  auto bytes = platform::FindResource("WIM1");
  auto picture = bytes ? platform::DecodePicture(*bytes) : std::nullopt;
  if (!picture || picture->width != 1024) return {};
  std::vector<std::uint32_t> sky;
  for (int y = 0; y < kSkyRows; ++y)
    for (int x = 0; x < kSkyColumns; ++x) sky.push_back(picture->pixels[static_cast<std::size_t>(y) * 1024 + x] & 0xFFFFFF);
  return sky;
}

// Waits until the screen's sky is the background picture's; the time it took, or -1.
double SecondsUntilTheLakeShows(Display* d, std::chrono::milliseconds limit) {
  const auto sky = BackgroundSky();
  const auto start = Clock::now();
  while (Clock::now() - start < limit) {
    if (Grab(d, DefaultRootWindow(d), 0, 0, kSkyColumns, kSkyRows) == sky)
      return std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(20ms);
  }
  return -1;
}

// The selection a session bus started for the display by the bus library owns.
Atom AutolaunchedBus(Display* d) {
  std::string machine;
  for (const char* file : {"/var/lib/dbus/machine-id", "/etc/machine-id"})
    if (std::ifstream(file) >> machine) break;
  const passwd* user = getpwuid(getuid());
  const std::string name = "_DBUS_SESSION_BUS_SELECTION_" + std::string(user ? user->pw_name : "") + "_" + machine;
  return XInternAtom(d, name.c_str(), False);
}

TEST(RunMode, ShowsTheLakeAtLowCostAndEndsOnEscape) {
  ASSERT_EQ(BackgroundSky().size(), static_cast<std::size_t>(kSkyColumns) * kSkyRows);
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, SaverEnvironment());
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  // Well inside a second on a quiet machine (the start benchmark measures it in
  // Release); the margin is for a loaded one under sanitizers.
  const double shown = SecondsUntilTheLakeShows(d, 5s);
  ASSERT_GE(shown, 0) << "the lake never appeared";
  EXPECT_LT(shown, 2.0) << "the lake took " << shown << " s to appear";
  if (platform::SessionBusMissing(std::getenv("DBUS_SESSION_BUS_ADDRESS"), std::getenv("XDG_RUNTIME_DIR"))) {
    EXPECT_EQ(XGetSelectionOwner(d, AutolaunchedBus(d)), static_cast<Window>(None))
        << "the session has no bus, and the saver must not start one";
  }
  // The water moves: two grabs of the strip a few frames apart differ.
  const auto water1 = Grab(d, DefaultRootWindow(d), 0, 600, 1024, 90);
  std::this_thread::sleep_for(200ms);
  EXPECT_NE(water1, Grab(d, DefaultRootWindow(d), 0, 600, 1024, 90)) << "the water stands still";
  XCloseDisplay(d);
  const double cpuBefore = saver.CpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(saver.CpuSeconds() - cpuBefore, 0.8) << "the saver should not need a whole core for 25 frames a second";
  Xdotool("key Escape");
  ASSERT_TRUE(saver.WaitExit(1s)) << "Escape did not end the saver within a second";
  EXPECT_EQ(saver.ExitCode(), 0);
}

TEST(RunMode, AMouseMovementEndsIt) {
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, SaverEnvironment());
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  ASSERT_GE(SecondsUntilTheLakeShows(d, 5s), 0);
  XCloseDisplay(d);
  // The first position is only recorded; a move of more than 5 pixels from it ends the saver.
  Xdotool("mousemove 200 200");
  bool ended = false;
  for (int attempt = 0; attempt < 5 && !ended; ++attempt) {
    Xdotool("mousemove " + std::to_string(300 + attempt * 40) + " 300");
    ended = saver.WaitExit(2s);
  }
  ASSERT_TRUE(ended) << "moving the mouse did not end the saver";
  EXPECT_EQ(saver.ExitCode(), 0);
}

TEST(RunMode, LeavesASettingsFileItFoundUntouched) {
  const std::string home = TempPath("found-settings");
  ASSERT_EQ(std::system(("rm -rf '" + home + "' && mkdir -p '" + home + "/brisvane'").c_str()), 0);
  const std::string file = home + "/brisvane/HKEY_CURRENT_USER.reg";
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\r\n"
      "\"Brightness\"=dword:00000100\r\n\"SoundVolume\"=dword:00000000\r\n\"TDegree\"=\"c\"\r\n"
      "\"WeatherCode\"=\"UKXX0085\"\r\n\"RSS_Url\"=\"http://news.example/rss\"\r\n\"ShowTime\"=dword:00000001\r\n"
      "\"ShowWeather\"=dword:00000000\r\n\"ShowNews\"=dword:00000000\r\n\"ShowBlack\"=dword:00000001\r\n"
      "\"UseProxy\"=dword:00000000\r\n\"Proxy\"=\"\"\r\n\"Port\"=\"\"\r\n; a comment the saver must keep\r\n";
  std::ofstream(file, std::ios::binary) << text;
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  Process saver = Process::Start({BRISVANE_EXE, "/s"}, {"XDG_CONFIG_HOME=" + home, "LSAN_OPTIONS=detect_leaks=0"});
  Display* d = XOpenDisplay(gDisplay.c_str());
  ASSERT_NE(d, nullptr);
  ASSERT_GE(SecondsUntilTheLakeShows(d, 5s), 0);
  XCloseDisplay(d);
  Xdotool("key Escape");
  ASSERT_TRUE(saver.WaitExit(2s));
  EXPECT_EQ(ReadText(file), text);
  struct stat after {};
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
}

}  // namespace
