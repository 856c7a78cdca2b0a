#include "shell/HostedRun.h"

#include <gtest/gtest.h>

#include "shell/ModeSelection.h"

using shell::FindHostedRun;
using shell::ParseWindowId;

TEST(HostedRun, WindowIdsAsTheHostsWriteThem) {
  const struct {
    const char* text;
    unsigned long id;
  } cases[] = {
      {"0x600008", 0x600008}, {"0X400EE5", 0x400EE5}, {"0x1e00003", 0x1e00003}, {"6291464", 6291464},
      {" 0x600008", 0x600008}, {"0x1FFFFFFF", 0x1FFFFFFF},
      // Not a window: garbage, signs, trailing text, nothing, beyond X's 29 bits.
      {"", 0}, {"0x", 0}, {"window", 0}, {"-5", 0}, {"+5", 0}, {"12abc", 0}, {"0x600008 ", 0}, {"0x20000000", 0},
      {"99999999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseWindowId(c.text), c.id) << '"' << c.text << '"';
}

TEST(HostedRun, TheWindowComesFromTheOptionOrTheHostsVariable) {
  const struct {
    std::vector<std::string> args;
    const char* variable;
    bool hosted, preview;
    unsigned long window;
  } cases[] = {
      // XScreenSaver and mate: --root and the variable.
      {{"--root"}, "0x600008", true, false, 0x600008},
      {{"-root"}, "0x600008", true, false, 0x600008},
      {{}, "6291464", true, false, 6291464},
      // The settings preview names the window too, and the option wins.
      {{"--root", "--window-id", "0x400EE5"}, "0x400EE5", true, true, 0x400EE5},
      {{"-window-id", "4198117"}, "0x600008", true, true, 4198117},
      {{"--window-id", "0x400EE5", "--root"}, nullptr, true, true, 0x400EE5},
      // A host's run that names no usable window is still hosted: it must not open a screen of its own.
      {{"--window-id"}, nullptr, true, true, 0},
      {{"--root"}, "garbage", true, false, 0},
      // By hand: --root alone, or the Windows options, run the saver's own window.
      {{"--root"}, nullptr, false, false, 0},
      {{"/s"}, nullptr, false, false, 0},
      {{"/s"}, "", false, false, 0},
      {{"---window-id", "5"}, nullptr, false, false, 0},
  };
  for (const auto& c : cases) {
    const auto run = FindHostedRun(c.args, c.variable);
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    EXPECT_EQ(run.hosted, c.hosted) << line;
    EXPECT_EQ(run.preview, c.preview) << line;
    EXPECT_EQ(run.window, c.window) << line;
  }
}

TEST(HostedRun, TheHostsOptionsSelectRunMode) {
  for (const char* arg : {"--root", "-root", "--window-id", "-window-id"})
    EXPECT_EQ(shell::SelectMode(arg), shell::SaverMode::Run) << arg;
}
