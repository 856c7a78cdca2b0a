// brisvane-render from outside: the trace's form and the frames it writes,
// compared with committed pictures of the scene (scripts/update-golden.sh
// redraws them when the art changes).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/Files.h"
#include "support/Png.h"
#include "support/TempConfigHome.h"

namespace {

std::string Tool() { return std::string(std::getenv("BRISVANE_BINARY_DIR")) + "/tools/render/brisvane-render"; }
std::string Golden(const std::string& name) {
  return std::string(std::getenv("BRISVANE_SOURCE_DIR")) + "/tests/scene/golden/" + name;
}

// Runs the tool over the given settings (the golden ones unless said), in
// the given locale; its standard output and exit code.
struct ToolRun {
  std::string out;
  int code = -1;
};
ToolRun Render(const TempConfigHome& home, const std::string& args, const std::string& reg = "",
               const std::string& locale = "") {
  testing_support::WriteText(home.RegFile(),
                             reg.empty() ? testing_support::ReadText(Golden("HKEY_CURRENT_USER.reg")) : reg);
  ToolRun r;
  const std::string env = locale.empty() ? "" : "env LC_ALL=" + locale + " ";
  FILE* p = popen((env + Tool() + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// The golden settings with the gadget switches changed.
std::string GadgetSettings(int time, int weather, int news, int black) {
  std::string reg = testing_support::ReadText(Golden("HKEY_CURRENT_USER.reg"));
  const std::pair<const char*, int> switches[] = {
      {"\"ShowTime\"", time}, {"\"ShowWeather\"", weather}, {"\"ShowNews\"", news}, {"\"ShowBlack\"", black}};
  for (const auto& [name, on] : switches) {
    const std::size_t at = reg.find(std::string(name) + "=dword:");
    EXPECT_NE(at, std::string::npos) << name;
    if (at != std::string::npos) reg.replace(reg.find("dword:", at) + 6, 8, on ? "00000001" : "00000000");
  }
  return reg;
}

TEST(RenderTool, TracesEveryDrawOfEveryFrameInDrawingOrder) {
  TempConfigHome home;
  const ToolRun r = Render(home, "--frames 2 --trace");
  ASSERT_EQ(r.code, 0);
  std::istringstream lines(r.out);
  std::vector<std::string> names;
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string frame, name, number, x, y, extra;
    ASSERT_TRUE(static_cast<bool>(fields >> frame >> name >> number >> x >> y)) << line;
    EXPECT_FALSE(fields >> extra) << line;
    EXPECT_EQ(frame, count < 11 ? "1" : "2");
    EXPECT_EQ(line, frame + " " + name + " " + number + " " + x + " " + y) << "single blanks only";
    if (count < 11) names.push_back(name);
    const bool still = name == "WIM1" || name.rfind("WIM2", 0) == 0;
    EXPECT_EQ(number == "-", still) << line;
    ++count;
  }
  EXPECT_EQ(count, 22);
  EXPECT_EQ(names, (std::vector<std::string>{"WIM1", "WMV1", "BirdStripSmall", "BirdStripSmall", "WIM2tree",
                                              "BirdStrip2", "WMV3SGsmall", "WIM2tree_n1", "WMV2btfl", "WMV2btfl",
                                              "WMV2btfl"}));
  // Path A's first step, worked by hand: (353, 368), heading 272.
  EXPECT_NE(r.out.find("1 WMV3SGsmall 90 353 368\n"), std::string::npos);
}

TEST(RenderTool, RefusesUnknownOptionsAndBadCounts) {
  TempConfigHome home;
  for (const char* args : {"--bogus", "--frames 0", "--frames x", "--at 1,,2", "--png"})
    EXPECT_EQ(Render(home, args).code, 2) << args;
}

TEST(RenderTool, FramesMatchTheCommittedPictures) {
  TempConfigHome home;
  const std::string dir = home.Dir() + "/frames";
  const ToolRun r = Render(home, "--frames 1216 --png " + dir + " --at 1,2,100,1216");
  ASSERT_EQ(r.code, 0);
  int written = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) written += entry.is_regular_file();
  EXPECT_EQ(written, 4);
  for (const char* name : {"frame-0001.png", "frame-0002.png", "frame-0100.png", "frame-1216.png"}) {
    testing_support::PngPixels shown, golden;
    ASSERT_TRUE(testing_support::ReadPng(dir + "/" + name, shown)) << name;
    ASSERT_TRUE(testing_support::ReadPng(Golden(name), golden)) << name;
    ASSERT_EQ(shown.width, 1024);
    ASSERT_EQ(shown.height, 768);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < shown.pixels.size() && i < golden.pixels.size(); ++i)
      differ += shown.pixels[i] != golden.pixels[i];
    EXPECT_EQ(differ, 0u) << name << " differs from the committed picture";
  }
}

TEST(RenderTool, TracesTheGadgetsAfterTheLake) {
  TempConfigHome home;
  const ToolRun r = Render(home, "--frames 1 --trace --set TodayCode=32 --set TomorrowCode=3200",
                           GadgetSettings(1, 1, 1, 0));
  ASSERT_EQ(r.code, 0);
  // Panel, clock, weather panel, its two icons (today's, then tomorrow's), ticker.
  const std::string tail =
      "1 WIM2GadgetPanel - 0 698\n1 WGC1 - 907 698\n1 WGW1 - 571 698\n1 WMV3Weather 32 665 706\n"
      "1 WMV3Weather 48 777 706\n1 WGR1 - 0 698\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  // Without the clock the weather moves right, the news with it.
  const ToolRun moved = Render(home, "--frames 1 --trace", GadgetSettings(0, 1, 1, 0));
  ASSERT_EQ(moved.code, 0);
  EXPECT_NE(moved.out.find("1 WGW1 - 688 698\n1 WMV3Weather 48 782 706\n1 WMV3Weather 48 894 706\n1 WGR1 - 117 698\n"),
            std::string::npos);
}

TEST(RenderTool, RefusesBadClocksAndGadgetValues) {
  TempConfigHome home;
  for (const char* args : {"--clock \"2026-13-01 00:00:00\"", "--clock 21:05", "--clock", "--set Bogus=1",
                           "--set TodayCode=x", "--set TodayCode=99999999999", "--set TodayNow", "--set"})
    EXPECT_EQ(Render(home, args).code, 2) << args;
  EXPECT_EQ(Render(home, "--set TodayNow= --set RssLine=a=b --clock \"2026-12-08 21:05:07\"").code, 0);
}

TEST(RenderTool, GadgetFramesMatchTheCommittedPictures) {
  std::istringstream cases(testing_support::ReadText(Golden("gadgets.txt")));
  int checked = 0;
  for (std::string line; std::getline(cases, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string f; std::getline(parts, f, '|');) {
      f.erase(0, f.find_first_not_of(' '));
      f.erase(f.find_last_not_of(' ') + 1);
      fields.push_back(f);
    }
    ASSERT_EQ(fields.size(), 4u) << line;
    SCOPED_TRACE(fields[0]);
    int time, weather, news, black;
    ASSERT_EQ(std::sscanf(fields[2].c_str(), "%d %d %d %d", &time, &weather, &news, &black), 4);
    TempConfigHome home;
    const std::string dir = home.Dir() + "/frames";
    const ToolRun r = Render(home, fields[3] + " --png " + dir, GadgetSettings(time, weather, news, black), fields[1]);
    ASSERT_EQ(r.code, 0);
    std::string written;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) written = entry.path().string();
    testing_support::PngPixels shown, golden;
    ASSERT_TRUE(testing_support::ReadPng(written, shown));
    ASSERT_TRUE(testing_support::ReadPng(Golden(fields[0] + ".png"), golden));
    ASSERT_EQ(golden.width, 1024);
    ASSERT_EQ(golden.height, 78);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < golden.pixels.size(); ++i) differ += shown.pixels[690 * 1024 + i] != golden.pixels[i];
    EXPECT_EQ(differ, 0u) << "the gadget strip differs from the committed picture";
    ++checked;
  }
  EXPECT_EQ(checked, 3);
}

}  // namespace
