// What make install and make deb lay out: the files the screensaver hosts and
// the desktops' menus look for, where they look, valid for the tools that read them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "support/Files.h"
#include "support/PrivateX.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Process;
namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string TempFolder(const std::string& name) {
  const std::string dir = ::testing::TempDir() + "brisvane-install-" + std::to_string(getpid()) + "-" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

int RunTool(const std::vector<std::string>& args, const std::vector<std::string>& env = {}, const std::string& out = {}) {
  Process p = Process::Start(args, env, {}, out, out);
  return p.WaitExit(300s) ? p.ExitCode() : -1;
}

// Files and links below root, as paths relative to it.
std::set<std::string> Listing(const std::string& root) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_symlink() || e.is_regular_file()) files.insert(e.path().lexically_relative(root).string());
  return files;
}

std::set<std::string> Layout(const std::string& prefix) {
  return {prefix + "/bin/brisvane",
          prefix + "/bin/brisvane-bridge",
          prefix + "/lib/systemd/user/brisvane-bridge.service",
          prefix + "/lib/systemd/user/brisvane-bridge.socket",
          "usr/libexec/xscreensaver/brisvane",
          prefix + "/share/applications/brisvane-settings.desktop",
          prefix + "/share/applications/screensavers/brisvane.desktop",
          prefix + "/share/doc/brisvane/changelog.gz",
          prefix + "/share/doc/brisvane/copyright",
          prefix + "/share/man/man1/brisvane-bridge.1.gz",
          prefix + "/share/man/man6/brisvane.6.gz",
          prefix + "/share/xscreensaver/config/brisvane.xml"};
}

std::string Install(const std::string& name, const std::string& prefix) {
  const std::string dest = TempFolder(name);
  EXPECT_EQ(RunTool({"/usr/bin/cmake", "--install", Env("BRISVANE_BINARY_DIR"), "--prefix", prefix}, {"DESTDIR=" + dest},
                dest + ".log"),
            0)
      << testing_support::ReadText(dest + ".log");
  return dest;
}

TEST(Install, TheHostsFindTheProgramInTheirFolderWhateverThePrefix) {
  const std::string dest = Install("local", "/usr/local");
  EXPECT_EQ(Listing(dest), Layout("usr/local"));
  // The hosts run programs from /usr/libexec/xscreensaver only: a link to where it went.
  const fs::path link = dest + "/usr/libexec/xscreensaver/brisvane";
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "../../local/bin/brisvane");
  EXPECT_TRUE(fs::exists(link)) << "the link leads nowhere";

  // The settings entry is valid as it stands. The screensaver entry too, but
  // for one rule the hosts' convention breaks on purpose: a reserved category
  // would need OnlyShowIn, and that would hide it from all hosts but one.
  const struct {
    const char* entry;
    const char* allowed;
  } entries[] = {{"/share/applications/brisvane-settings.desktop", nullptr},
                 {"/share/applications/screensavers/brisvane.desktop", "is a reserved category, so a \"OnlyShowIn\""}};
  for (const auto& e : entries) {
    const std::string log = dest + ".validate";
    RunTool({"/usr/bin/desktop-file-validate", dest + "/usr/local" + e.entry}, {}, log);
    std::istringstream lines(testing_support::ReadText(log));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("error:") != std::string::npos) {
        EXPECT_TRUE(e.allowed && line.find(e.allowed) != std::string::npos) << line;
      }
    }
  }
  const std::string entry = testing_support::ReadText(dest + "/usr/local/share/applications/screensavers/brisvane.desktop");
  EXPECT_NE(entry.find("\nExec=/usr/libexec/xscreensaver/brisvane --root\n"), std::string::npos);
  EXPECT_NE(entry.find("\nCategories=Screensaver;\n"), std::string::npos);
  EXPECT_EQ(entry.find("OnlyShowIn"), std::string::npos);
  EXPECT_NE(testing_support::ReadText(dest + "/usr/local/share/applications/brisvane-settings.desktop")
                .find("\nExec=brisvane /c\n"),
            std::string::npos);
}

TEST(Install, TheSettingsDescriptionFollowsTheHostsFormat) {
  const std::string schema = Env("BRISVANE_SOURCE_DIR") + "/tests/hosting/data/screensaver-config.xsd";
  const std::string ours = Env("BRISVANE_SOURCE_DIR") + "/packaging/brisvane.xml";
  const std::string log = TempFolder("xml") + "/xmllint.log";
  auto valid = [&](const std::string& file) {
    return RunTool({"/usr/bin/xmllint", "--noout", "--schema", schema, file}, {}, log) == 0;
  };
  EXPECT_TRUE(valid(ours)) << testing_support::ReadText(log);
  const std::string text = testing_support::ReadText(ours);
  EXPECT_NE(text.find("<screensaver name=\"brisvane\""), std::string::npos) << "named after the program";
  EXPECT_NE(text.find("<command arg=\"--root\"/>"), std::string::npos);
  EXPECT_NE(text.find("brisvane /c"), std::string::npos) << "the description says where the settings are";
  // The schema is as wide as the host's own descriptions and no wider.
  int hostsOwn = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/usr/share/xscreensaver/config", ec))
    if (e.path().extension() == ".xml" && ++hostsOwn <= 40) {
      EXPECT_TRUE(valid(e.path())) << e.path();
    }
  const std::string broken = fs::path(log).parent_path().string() + "/broken.xml";
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"<command arg=\"--root\"/>", "<command arg=\"root\"/>"},
           {" _label=\"Brisvane Lake\"", ""},
           {"<_description>", "<description>"}}) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    testing_support::WriteText(broken, changed);
    EXPECT_FALSE(valid(broken)) << "accepted with " << to;
  }
}

TEST(Install, TheDebianPackageHoldsTheSameLayoutUnderUsrAndPassesLintian) {
  const std::string out = TempFolder("deb");
  ASSERT_EQ(RunTool({"/usr/bin/cpack", "-G", "DEB", "--config", Env("BRISVANE_BINARY_DIR") + "/CPackConfig.cmake", "-B", out},
                {}, out + "/cpack.log"),
            0)
      << testing_support::ReadText(out + "/cpack.log");
  std::string deb;
  for (const auto& e : fs::directory_iterator(out))
    if (e.path().extension() == ".deb") deb = e.path().string();
  ASSERT_FALSE(deb.empty());

  ASSERT_EQ(RunTool({"/bin/sh", "-c", "dpkg-deb -x \"$0\" \"$1\"", deb, out + "/unpacked"}), 0);
  EXPECT_EQ(Listing(out + "/unpacked"), Layout("usr")) << "the package differs from make install for /usr";
  EXPECT_EQ(fs::read_symlink(fs::path(out) / "unpacked" / "usr" / "libexec" / "xscreensaver" / "brisvane"), "../../bin/brisvane");

  ASSERT_EQ(RunTool({"/bin/sh", "-c", "dpkg-deb -f \"$0\" Recommends Depends", deb}, {}, out + "/fields"), 0);
  const std::string fields = testing_support::ReadText(out + "/fields");
  EXPECT_NE(fields.find("Recommends: xscreensaver | mate-screensaver | xfce4-screensaver"), std::string::npos) << fields;
  EXPECT_NE(fields.find("libsdl2"), std::string::npos) << "dependencies come from the shared libraries: " << fields;

  // Errors fail; warnings and notes are shown in the log only.
  const int lintian = RunTool({"/bin/sh", "-c", "lintian --fail-on error \"$0\"", deb}, {}, out + "/lintian.log");
  EXPECT_EQ(lintian, 0) << testing_support::ReadText(out + "/lintian.log");
}

}  // namespace
