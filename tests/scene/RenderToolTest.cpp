// brisvane-render from outside: the trace's form and the frames it writes,
// compared with committed pictures of the scene (scripts/update-golden.sh
// redraws them when the art changes).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/Png.h"
#include "support/TempConfigHome.h"

namespace {

std::string Tool() { return std::string(std::getenv("BRISVANE_BINARY_DIR")) + "/tools/render/brisvane-render"; }
std::string Golden(const std::string& name) {
  return std::string(std::getenv("BRISVANE_SOURCE_DIR")) + "/tests/scene/golden/" + name;
}

// Runs the tool over the golden settings; its standard output and exit code.
struct ToolRun {
  std::string out;
  int code = -1;
};
ToolRun Render(const TempConfigHome& home, const std::string& args) {
  testing_support::WriteText(home.RegFile(), testing_support::ReadText(Golden("HKEY_CURRENT_USER.reg")));
  ToolRun r;
  FILE* p = popen((Tool() + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
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

}  // namespace
