#include "shell/ModeSelection.h"

#include <gtest/gtest.h>

using shell::SaverMode;
using shell::SelectMode;

TEST(ModeSelection, ShortOrUnknownArgumentsRun) {
  for (const char* arg : {"", "S", "/", "-", "c", "p", "X1", "/X", "//c", "-/p", "1234"})
    EXPECT_EQ(SelectMode(arg), SaverMode::Run) << '"' << arg << '"';
}

TEST(ModeSelection, FirstLetterAfterOneSlashOrMinusDecides) {
  EXPECT_EQ(SelectMode("/s"), SaverMode::Run);
  EXPECT_EQ(SelectMode("-s"), SaverMode::Run);
  EXPECT_EQ(SelectMode("/S"), SaverMode::Run);
  EXPECT_EQ(SelectMode("/s:5"), SaverMode::Run);
  EXPECT_EQ(SelectMode("/c"), SaverMode::Configure);
  EXPECT_EQ(SelectMode("-C"), SaverMode::Configure);
  EXPECT_EQ(SelectMode("/c:1234"), SaverMode::Configure);
  EXPECT_EQ(SelectMode("cx"), SaverMode::Configure);
  EXPECT_EQ(SelectMode("/p"), SaverMode::Preview);
  EXPECT_EQ(SelectMode("-P"), SaverMode::Preview);
  EXPECT_EQ(SelectMode("preview"), SaverMode::Preview);
  EXPECT_EQ(SelectMode("/a"), SaverMode::Password);
  EXPECT_EQ(SelectMode("-a"), SaverMode::Password);
}

TEST(ModeSelection, LengthIsTestedBeforeThePrefixIsDropped) {
  // "/c" is two characters, so the letter decides; "/" alone is run by length.
  EXPECT_EQ(SelectMode("/c"), SaverMode::Configure);
  EXPECT_EQ(SelectMode("/"), SaverMode::Run);
  // A lone prefix followed by nothing selecting: "--" drops one minus, then '-' is no mode.
  EXPECT_EQ(SelectMode("--"), SaverMode::Run);
  EXPECT_EQ(SelectMode("/-c"), SaverMode::Run);
}
