#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "platform/RegFile.h"
#include "support/TempConfigHome.h"
#include "support/Files.h"

using platform::RegDocument;
using platform::Registry;
using platform::RegistryError;

namespace {

const std::string kKey = "SOFTWARE\\Tarrowind Software\\Brisvane Screensaver";
const std::string kSection = "[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]";

using testing_support::ReadText;
using testing_support::WriteText;

class RegistryTest : public ::testing::Test {
 protected:
  TempConfigHome home_;
};

}  // namespace

TEST(RegistryPath, FollowsXdgThenHomeThenPasswordDatabase) {
  TempConfigHome guard;  // restores XDG_CONFIG_HOME afterwards
  const char* oldHome = getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";

  setenv("XDG_CONFIG_HOME", "/cfg/x", 1);
  EXPECT_EQ(platform::RegistryFilePath(), "/cfg/x/brisvane/HKEY_CURRENT_USER.reg");
  setenv("HOME", "/srv/users/someone", 1);
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  EXPECT_EQ(platform::RegistryFilePath(), "/srv/users/someone/.config/brisvane/HKEY_CURRENT_USER.reg");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  const std::string fallback = platform::RegistryFilePath();
  ASSERT_FALSE(fallback.empty());
  EXPECT_EQ(fallback.front(), '/');
  EXPECT_NE(fallback.find("/.config/brisvane/HKEY_CURRENT_USER.reg"), std::string::npos);

  if (oldHome) setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(RegistryTest, WritesExportSyntaxInOrderAndReadsItBack) {
  Registry reg(platform::KEY_ALL_ACCESS);
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteInteger("Brightness", 200);
  reg.WriteString("RSS_Url", "a \"quoted\" c:\\dir\\");
  reg.WriteInteger("Negative", -1);
  reg.WriteString("Empty", "");
  EXPECT_EQ(ReadText(home_.RegFile()), "REGEDIT4\n\n" + kSection +
                                           "\n\"Brightness\"=dword:000000c8\n"
                                           "\"RSS_Url\"=\"a \\\"quoted\\\" c:\\\\dir\\\\\"\n"
                                           "\"Negative\"=dword:ffffffff\n"
                                           "\"Empty\"=\"\"\n");
  Registry again;
  ASSERT_TRUE(again.OpenKey(kKey, false));
  EXPECT_EQ(again.ReadInteger("Brightness"), 200);
  EXPECT_EQ(again.ReadString("RSS_Url"), "a \"quoted\" c:\\dir\\");
  EXPECT_EQ(again.ReadInteger("Negative"), -1);
  EXPECT_TRUE(again.ValueExists("Empty"));
  EXPECT_EQ(again.GetDataType("Brightness"), platform::RegDataType::DWord);
  EXPECT_EQ(again.GetDataType("RSS_Url"), platform::RegDataType::String);

  // Names compare without regard to case; a rewrite replaces the line in place.
  again.WriteInteger("BRIGHTNESS", 7);
  EXPECT_EQ(again.ReadInteger("brightness"), 7);
  const std::string text = ReadText(home_.RegFile());
  EXPECT_EQ(text.find("\"Brightness\""), std::string::npos);
  EXPECT_LT(text.find("\"BRIGHTNESS\"=dword:00000007"), text.find("\"RSS_Url\""));
}

TEST_F(RegistryTest, OpeningWithoutCreatingFailsForAbsentKeyOrUnreadableFile) {
  Registry reg;
  EXPECT_FALSE(reg.OpenKey(kKey, false));
  EXPECT_FALSE(std::filesystem::exists(home_.RegFile())) << "a failed open must not create the file";

  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Other", true));
  reg.CloseKey();
  EXPECT_FALSE(reg.OpenKey(kKey, false));
  EXPECT_TRUE(reg.OpenKey("software\\other", false));
  EXPECT_FALSE(reg.OpenKey("SOFTWARE", false)) << "relative to the open key";
  EXPECT_TRUE(reg.OpenKey("\\SOFTWARE", false)) << "a parent of an existing key exists";

  // A file that cannot be read: neither opened nor overwritten.
  std::filesystem::remove(home_.RegFile());
  std::filesystem::create_directories(home_.RegFile());
  Registry blocked;
  EXPECT_FALSE(blocked.OpenKey(kKey, false));
  EXPECT_FALSE(blocked.OpenKey(kKey, true));
  EXPECT_TRUE(std::filesystem::is_directory(home_.RegFile()));
}

TEST_F(RegistryTest, ReadsFailLikeTheRealRegistry) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteString("Text", "20001");
  reg.WriteInteger("Number", 5);
  try {
    reg.ReadInteger("Missing");
    FAIL() << "integer read of a missing value must raise";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'Missing'");
  }
  try {
    reg.ReadInteger("Text");
    FAIL() << "integer read of a text value must raise";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Text'");
  }
  EXPECT_THROW(reg.ReadString("Number"), RegistryError);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_FALSE(reg.ValueExists("Missing"));

  Registry closed;
  EXPECT_THROW(closed.ReadInteger("Number"), RegistryError);
  EXPECT_THROW(closed.WriteInteger("Number", 1), RegistryError);

  // Read-only access neither creates keys nor writes values.
  Registry readOnly(platform::KEY_READ);
  EXPECT_FALSE(readOnly.OpenKey("SOFTWARE\\New", true));
  ASSERT_TRUE(readOnly.OpenKey(kKey, false));
  EXPECT_EQ(readOnly.ReadInteger("Number"), 5);
  EXPECT_THROW(readOnly.WriteInteger("Number", 6), RegistryError);
  EXPECT_EQ(readOnly.ReadInteger("Number"), 5);
}

TEST_F(RegistryTest, EmptyPathElementIsAKeyOfItsOwn) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\\\Brisvane Screensaver", true));
  reg.WriteInteger("Brightness", 1);
  EXPECT_NE(ReadText(home_.RegFile()).find("[HKEY_CURRENT_USER\\SOFTWARE\\\\Brisvane Screensaver]\n"),
            std::string::npos);
  Registry other;
  EXPECT_FALSE(other.OpenKey("SOFTWARE\\Brisvane Screensaver", false));
  ASSERT_TRUE(other.OpenKey("SOFTWARE\\Brand\\", true));
  other.WriteInteger("Brightness", 2);
  Registry check;
  ASSERT_TRUE(check.OpenKey("SOFTWARE\\\\Brisvane Screensaver", false));
  EXPECT_EQ(check.ReadInteger("Brightness"), 1);
  ASSERT_TRUE(check.OpenKey("\\SOFTWARE\\Brand\\", false));
  EXPECT_EQ(check.ReadInteger("Brightness"), 2);
}

TEST_F(RegistryTest, KeepsLinesItDoesNotUnderstand) {
  const std::string original =
      "REGEDIT4\r\n"
      "\r\n"
      "; written by hand\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\n"
      "\"Brightness\"=dword:00000001\n"
      "\n" +
      kSection +
      "\n"
      "\"Blob\"=hex:01,02,03,\\\n"
      "  04,05\n"
      "\"Odd\"=hex(7):41,00,00,00\n"
      "this line means nothing\n"
      "\"Brightness\"=dword:00000080\n"
      "\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Elsewhere]\n"
      "\"Kept\"=\"yes\"\n";
  WriteText(home_.RegFile(), original);
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  EXPECT_EQ(reg.ReadInteger("Brightness"), 128) << "the other root's value must not be taken";
  EXPECT_EQ(reg.GetDataType("Blob"), platform::RegDataType::Other);
  EXPECT_THROW(reg.ReadString("Odd"), RegistryError);
  reg.WriteInteger("ShowTime", 1);

  const std::string text = ReadText(home_.RegFile());
  // Every original line survives, in order, with the new value at the end of its key.
  const std::string expected =
      original.substr(0, original.find("\n[HKEY_CURRENT_USER\\SOFTWARE\\Elsewhere]")) + "\"ShowTime\"=dword:00000001\n" +
      original.substr(original.find("\n[HKEY_CURRENT_USER\\SOFTWARE\\Elsewhere]"));
  EXPECT_EQ(text, expected);

  // Rewriting the continued binary value replaces all of its lines.
  reg.WriteString("Blob", "now text");
  const std::string after = ReadText(home_.RegFile());
  EXPECT_EQ(after.find("04,05"), std::string::npos);
  EXPECT_NE(after.find("\"Blob\"=\"now text\"\n\"Odd\""), std::string::npos);
}

TEST_F(RegistryTest, TextWithLineBreaksStaysOnOneLine) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteString("Multi", "one\r\ntwo\"");
  reg.WriteInteger("After", 3);
  EXPECT_EQ(reg.ReadString("Multi"), "one\r\ntwo\"");
  EXPECT_EQ(reg.ReadInteger("After"), 3);
  EXPECT_NE(ReadText(home_.RegFile()).find("\"Multi\"=hex(1):6f,6e,65,0d,0a,74,77,6f,22,00\n"), std::string::npos);
  EXPECT_THROW(reg.WriteInteger("Bad\nName", 1), RegistryError);
}

TEST_F(RegistryTest, DeleteKeyRemovesTheKeyAndItsSubkeysOnly) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteInteger("Brightness", 128);
  ASSERT_TRUE(reg.OpenKey("\\" + kKey + "\\Sub", true));
  reg.WriteInteger("Inner", 1);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Tarrowind Software\\Other", true));
  reg.WriteInteger("Kept", 2);
  reg.CloseKey();
  EXPECT_TRUE(reg.DeleteKey(kKey));
  EXPECT_FALSE(reg.KeyExists(kKey));
  EXPECT_FALSE(reg.KeyExists(kKey + "\\Sub"));
  EXPECT_FALSE(reg.DeleteKey(kKey));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Tarrowind Software\\Other", false));
  EXPECT_EQ(reg.ReadInteger("Kept"), 2);
}

TEST(RegDocumentParse, DamagedInputNeverCrashesAndNeverMisattributes) {
  const std::string good = "REGEDIT4\n\n" + kSection +
                           "\n\"Brightness\"=dword:00000080\n\"RSS_Url\"=\"http://x/\"\n\"ShowTime\"=dword:00000001\n";
  // Every truncation: a value is either read correctly, or missing, or mistyped.
  for (std::size_t cut = 0; cut <= good.size(); ++cut) {
    RegDocument doc = RegDocument::Parse(good.substr(0, cut));
    auto b = doc.Find(kKey, "Brightness");
    if (b && b->type == platform::RegValue::Type::DWord) {
      EXPECT_EQ(b->dword & ~0xffu, 0u) << cut;
    }
    auto url = doc.Find(kKey, "RSS_Url");
    if (url && url->type == platform::RegValue::Type::String) {
      EXPECT_EQ(url->text, "http://x/") << cut;
    }
    auto t = doc.Find(kKey, "ShowTime");
    if (t && t->type == platform::RegValue::Type::DWord) {
      EXPECT_LE(t->dword, 1u) << cut;
    }
    EXPECT_EQ(doc.Serialize(), cut == 0 ? "" : (good.substr(0, cut) + (good[cut - 1] == '\n' ? "" : "\n")));
  }
  // A damaged key header ends the key: what follows belongs to no key.
  RegDocument broken = RegDocument::Parse(kSection + "\n\"A\"=dword:1\n[HKEY_CURRENT_USER\\SOFT\n\"B\"=dword:2\n");
  EXPECT_TRUE(broken.Find(kKey, "A"));
  EXPECT_FALSE(broken.Find(kKey, "B"));

  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    std::string junk;
    const int length = static_cast<int>(random() % 400);
    for (int i = 0; i < length; ++i) {
      const char alphabet[] = "\"\\[]=@:,;\n\r\t dwordhex(1)HKEY_CURRENT_USER\0\xff\x80";
      junk += (random() % 3 == 0) ? static_cast<char>(random() & 0xff) : alphabet[random() % (sizeof alphabet - 1)];
    }
    RegDocument doc = RegDocument::Parse(kSection + "\n" + junk);
    doc.SetDWord(kKey, "Brightness", 77);
    RegDocument reparsed = RegDocument::Parse(doc.Serialize());
    auto b = reparsed.Find(kKey, "Brightness");
    ASSERT_TRUE(b) << round;
    EXPECT_EQ(b->type, platform::RegValue::Type::DWord) << round;
    EXPECT_EQ(b->dword, 77u) << round;
  }
}

TEST_F(RegistryTest, GarbageFileIsReadAsFarAsPossibleAndKeptOnWrite) {
  std::string garbage = "\x7f" "ELF\x02\x01\x01";
  garbage += std::string("\0\0\0\n", 4);
  garbage += kSection + "\n\"Brightness\"=dword:00000040\n\"Port\"=\"80";  // cut off mid-text
  WriteText(home_.RegFile(), garbage);
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  EXPECT_EQ(reg.ReadInteger("Brightness"), 64);
  EXPECT_THROW(reg.ReadString("Port"), RegistryError) << "a cut-off text is not a text";
  reg.WriteString("Port", "8080");
  EXPECT_EQ(reg.ReadString("Port"), "8080");
  const std::string text = ReadText(home_.RegFile());
  EXPECT_EQ(text.substr(0, 10), "REGEDIT4\n\n");
  EXPECT_NE(text.find(std::string("\x7f" "ELF\x02\x01\x01\0\0\0\n", 11)), std::string::npos);
}

TEST_F(RegistryTest, ReplacesTheFileAtomicallyAndLeavesNoTemporaries) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  struct stat before {};
  ASSERT_EQ(stat(home_.RegFile().c_str(), &before), 0);
  reg.WriteInteger("Brightness", 1);
  struct stat after {};
  ASSERT_EQ(stat(home_.RegFile().c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino) << "written in place instead of replaced";
  EXPECT_EQ(after.st_mode & 0777, 0600u);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(home_.RegFile()).parent_path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "HKEY_CURRENT_USER.reg" || name == "HKEY_CURRENT_USER.reg.lock") << name;
  }
}

// Two processes (the dialog and a running saver, say) write to the same key at
// once, 1,000 times each. Each checks before every write that all of its own
// earlier values are still there: a write made from a stale copy of the file
// would take one back. A third process reads throughout and always finds a
// whole file.
TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWrites = 1000;
  constexpr int kNames = 10;
  {
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, true));
  }
  const std::string file = home_.RegFile();
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      platform::SetRegFileSyncForTesting(false);  // thousands of disk flushes would only cost time
      const std::string prefix = c == 0 ? "Dialog" : "Saver";
      int expected[kNames];
      std::fill(std::begin(expected), std::end(expected), -1);
      int status = 0;
      try {
        for (int i = 0; i < kWrites && status == 0; ++i) {
          RegDocument doc = RegDocument::Parse(platform::ReadRegFile(file).value_or(""));
          for (int k = 0; k < kNames && status == 0; ++k) {
            if (expected[k] < 0) continue;
            auto v = doc.Find(kKey, prefix + std::to_string(k));
            if (!v) status = 10;
            else if (k % 2 && (v->type != platform::RegValue::Type::DWord || int(v->dword) != expected[k])) status = 11;
            else if (!(k % 2) && (v->type != platform::RegValue::Type::String || v->text != std::to_string(expected[k])))
              status = 12;
          }
          Registry reg;
          if (!reg.OpenKey(kKey, true)) status = 2;
          const int k = i % kNames;
          if (k % 2) reg.WriteInteger(prefix + std::to_string(k), i);
          else reg.WriteString(prefix + std::to_string(k), std::to_string(i));
          expected[k] = i;
        }
      } catch (...) {
        status = 3;
      }
      _exit(status);
    }
  }
  int reads = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(100);
  int running = 2;
  int statuses[2] = {-1, -1};
  while (running > 0 && std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadText(file);
    ASSERT_EQ(text.rfind("REGEDIT4\n\n" + kSection + "\n", 0), 0u) << text;
    ASSERT_EQ(text.back(), '\n');
    EXPECT_EQ(RegDocument::Parse(text).UnknownLineCount(), 0u) << text;
    ++reads;
    for (int c = 0; c < 2; ++c) {
      int status = 0;
      if (statuses[c] == -1 && waitpid(children[c], &status, WNOHANG) == children[c]) {
        statuses[c] = WIFEXITED(status) ? WEXITSTATUS(status) : 100;
        --running;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (int c = 0; c < 2; ++c) {
    if (statuses[c] == -1) {
      kill(children[c], SIGKILL);
      waitpid(children[c], nullptr, 0);
    }
    EXPECT_EQ(statuses[c], 0) << "writer " << c << " (10-12: a value of its own was lost)";
  }
  EXPECT_GT(reads, 1);
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  for (const char* prefix : {"Dialog", "Saver"}) {
    for (int k = 0; k < kNames; ++k) {
      const std::string name = prefix + std::to_string(k);
      const int last = kWrites - kNames + k;
      if (k % 2) EXPECT_EQ(reg.ReadInteger(name), last) << name;
      else EXPECT_EQ(reg.ReadString(name), std::to_string(last)) << name;
    }
  }
}
