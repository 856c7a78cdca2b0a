#include "components/Wel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/Files.h"
#include "support/TempConfigHome.h"

namespace {

using components::TWEL;
using testing_support::ReadText;

TEST(WelFileName, CutsAtTheFirstDotOfTheWholePath) {
  const struct {
    const char* program;
    const char* log;
  } cases[] = {
      {"C:\\Savers\\Brisvane.scr", "C:\\Savers\\Brisvane.log"},
      {"C:\\my.tools\\Brisvane.scr", "C:\\my.log"},
      {"/opt/saver/brisvane", ".log"},
      {"/opt/saver/brisvane.bin.old", "/opt/saver/brisvane.log"},
      {"saver/.local/bin/brisvane", "saver/.log"},
      {"", ".log"},
  };
  for (const auto& c : cases) EXPECT_EQ(TWEL::LogFileNameFor(c.program), c.log) << c.program;
}

struct WelTest : ::testing::Test {
  TempConfigHome dir;  // a private folder, removed afterwards
  std::string file = dir.Dir() + "/saver.log";
};

TEST_F(WelTest, NamedLinesAreRightAlignedIn256AndTrimmed) {
  TWEL log(nullptr, file);
  ASSERT_TRUE(log.IsOpen());
  log.WriteToLog("Start", " ok ");
  const std::string line = ReadText(file);  // on disk as soon as the call returns
  ASSERT_EQ(line.size(), 261u);
  EXPECT_EQ(line, std::string(251, ' ') + "Start: ok\n");

  const std::string longName = std::string(250, 'a') + std::string(50, 'b');
  log.WriteToLog("\t" + longName + "\r", "\x01text\x1f");
  log.WriteToLog("");
  log.WriteToLog("plain  text ");
  EXPECT_EQ(ReadText(file), line + std::string(250, 'a') + std::string(6, 'b') + ": text\n" + "\n" + "plain  text \n");
}

TEST_F(WelTest, AppendsAcrossInstancesAndCreatesTheFileForEverybody) {
  const mode_t old = umask(0);
  {
    TWEL first(nullptr, file);
    first.WriteToLog("one");
  }
  umask(old);
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
  {
    TWEL second(nullptr, file);
    second.WriteToLog("two");
  }
  EXPECT_EQ(ReadText(file), "one\ntwo\n");
}

TEST_F(WelTest, AFileThatCannotBeOpenedDropsWritesSilently) {
  for (const std::string& path : {dir.Dir() + "/no/such/folder/saver.log", dir.Dir()}) {
    TWEL log(nullptr, path);
    EXPECT_FALSE(log.IsOpen()) << path;
    log.WriteToLog("lost");
    log.WriteToLog("name", "lost");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Dir() + "/no"));
}

}  // namespace
