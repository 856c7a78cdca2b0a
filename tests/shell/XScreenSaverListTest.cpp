#include "shell/XScreenSaverList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/Files.h"

using shell::AddToProgramsList;
using shell::RemoveFromProgramsList;

namespace {

// The shape the settings program writes: other resources around the list,
// one program per line, "\n\" joining them, the last one without the join.
const std::string kWritten =
    "# XScreenSaver Preferences File\n"
    "mode:\t\tone\n"
    "selected:\t2\n"
    "textProgram:\tfortune\t\t\t\t\t\t      \\\n"
    "  -s\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
    "  GL:\t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
    "-\t\t\t\txspirograph --root\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

const std::string kEntry = std::string("  ") + shell::kXScreenSaverEntry + "  \\n";

}  // namespace

TEST(XScreenSaverList, AddsOneLineAtTheEndAndRemovesItAgain) {
  const struct {
    const char* what;
    std::string before, after;
    bool restored;  // removal gives the text back byte for byte (else a join written after a program stays)
  } cases[] = {
      {"a written list",
       kWritten,
       "# XScreenSaver Preferences File\nmode:\t\tone\nselected:\t2\ntextProgram:\tfortune\t\t\t\t\t\t      \\\n  -s\n"
       "programs:\t\t\t\t\t\t\t\t      \\\n\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
       "  GL:\t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n-\t\t\t\txspirograph --root\t\t\t    \\n\\\n" +
           kEntry + "\n\npointerHysteresis:\t10\n",
       true},
      {"a list on the resource's own line", "programs: maze --root\nlock: False\n",
       "programs: maze --root\\n\\\n" + kEntry + "\nlock: False\n", false},
      {"an empty list", "programs:\n", "programs:\\\n" + kEntry + "\n", true},
      {"no list", "mode: random\n", "mode: random\nprograms:\t\\\n" + kEntry + "\n", false},
      {"no file", "", "programs:\t\\\n" + kEntry + "\n", false},
      {"a continued value that looks like the resource",
       "textProgram: x \\\nprograms: not this\n", "textProgram: x \\\nprograms: not this\nprograms:\t\\\n" + kEntry + "\n", false},
  };
  for (const auto& c : cases) {
    const std::string added = AddToProgramsList(c.before);
    EXPECT_EQ(added, c.after) << c.what;
    EXPECT_EQ(AddToProgramsList(added), added) << c.what << ": a second add changes nothing";
    const std::string removed = RemoveFromProgramsList(added);
    if (c.restored) {
      EXPECT_EQ(removed, c.before) << c.what;
    }
    EXPECT_EQ(RemoveFromProgramsList(removed), removed) << c.what;
    EXPECT_EQ(removed.find("brisvane"), std::string::npos) << c.what;
  }
}

TEST(XScreenSaverList, FindsOurLinesHoweverTheyAreWritten) {
  // Disabled, with a visual, unnamed, or by a full path: all ours; another program's argument is not.
  for (const std::string line : {"-  \"Brisvane Lake\"  brisvane --root  \\n\\", "  GL:  brisvane --root \\n\\",
                                 "\t\t\t\tbrisvane -root\t\t\\n\\", "  \"Lake\" /usr/libexec/xscreensaver/brisvane --root \\n\\"}) {
    const std::string text = "programs: \\\n  maze --root \\n\\\n" + line + "\n  xmatrix --root \\n\n";
    EXPECT_EQ(RemoveFromProgramsList(text), "programs: \\\n  maze --root \\n\\\n  xmatrix --root \\n\n") << line;
    EXPECT_EQ(AddToProgramsList(text), text) << line;
  }
  const std::string other = "programs: \\\n  phosphor --program 'brisvane' --root \\n\n";
  EXPECT_EQ(RemoveFromProgramsList(other), other);
  EXPECT_NE(AddToProgramsList(other), other);
}

TEST(XScreenSaverList, TheUsersFileIsReplacedWithABackupAndLinksStayLinks) {
  const std::string home = (std::filesystem::temp_directory_path() / ("brisvane-xss-" + std::to_string(getpid()))).string();
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home + "/dotfiles");
  const std::string target = home + "/dotfiles/xscreensaver";
  std::ofstream(target) << kWritten;
  chmod(target.c_str(), 0600);
  std::filesystem::create_symlink(target, home + "/.xscreensaver");
  const char* oldHome = std::getenv("HOME");
  const std::string saved = oldHome ? oldHome : "";
  setenv("HOME", home.c_str(), 1);

  std::string message;
  ASSERT_TRUE(shell::EditXScreenSaverFile(true, message)) << message;
  EXPECT_TRUE(std::filesystem::is_symlink(home + "/.xscreensaver"));
  EXPECT_EQ(testing_support::ReadText(target), AddToProgramsList(kWritten));
  EXPECT_EQ(testing_support::ReadText(target + ".bak"), kWritten);
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file keeps its mode";
  ASSERT_TRUE(shell::EditXScreenSaverFile(true, message)) << message;
  EXPECT_NE(message.find("already"), std::string::npos) << message;
  ASSERT_TRUE(shell::EditXScreenSaverFile(false, message)) << message;
  EXPECT_EQ(testing_support::ReadText(target), kWritten);
  // Nothing of ours is left in the folder but the backup.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(home + "/dotfiles")) files += entry.is_regular_file();
  EXPECT_EQ(files, 2);

  // A home that cannot be written is reported, and nothing is half-written.
  std::filesystem::remove_all(home);
  setenv("HOME", (home + "/missing").c_str(), 1);
  EXPECT_FALSE(shell::EditXScreenSaverFile(true, message));
  EXPECT_FALSE(std::filesystem::exists(home));
  if (oldHome) setenv("HOME", saved.c_str(), 1);
  else unsetenv("HOME");
}
