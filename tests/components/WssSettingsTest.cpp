#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "components/Wss.h"
#include "platform/Registry.h"
#include "support/HeadlessEnvironment.h"
#include "support/TempConfigHome.h"
#include "support/Files.h"

using components::TWss;
using testing_support::HeadlessEnvironment;

namespace {

const std::string kSection = "[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]";
const std::string kKey = "SOFTWARE\\Tarrowind Software\\Brisvane Screensaver";

const std::string kFirstRun = "REGEDIT4\n\n" + kSection +
                              "\n"
                              "\"Brightness\"=dword:00000100\n"
                              "\"SoundVolume\"=dword:000000c8\n"
                              "\"TDegree\"=\"f\"\n"
                              "\"WeatherCode\"=\"20001\"\n"
                              "\"RSS_Url\"=\"http://news.google.com/news?ned=us&topic=w&output=rss\"\n"
                              "\"ShowTime\"=dword:00000000\n"
                              "\"ShowWeather\"=dword:00000000\n"
                              "\"ShowNews\"=dword:00000000\n"
                              "\"ShowBlack\"=dword:00000000\n"
                              "\"UseProxy\"=dword:00000000\n"
                              "\"Proxy\"=\"\"\n"
                              "\"Port\"=\"\"\n";

using testing_support::ReadText;
using testing_support::WriteText;

ino_t Inode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

struct SettingsTest : ::testing::Test {
  TempConfigHome home;
  HeadlessEnvironment env;
  framework::TForm* form = nullptr;

  SettingsTest() { env.app->CreateForm(&form); }
  // A fresh engine named as the scene names it, as each start makes one.
  TWss* NewEngine(const std::string& brand = "Tarrowind Software", const std::string& name = "Brisvane Screensaver") {
    auto* wss = new TWss(form);
    wss->SetBrandName(brand);
    wss->SetSSName(name);
    return wss;
  }
};

}  // namespace

TEST_F(SettingsTest, FirstRunWritesTheTwelveDefaultsInOrderAndTheNextStartReadsThem) {
  TWss* first = NewEngine();
  first->SetRegistry();
  EXPECT_EQ(ReadText(home.RegFile()), kFirstRun);
  EXPECT_EQ(first->GetRGB(), 256);
  EXPECT_EQ(first->GetVolume(), 200);
  EXPECT_EQ(first->GetTDegree(), "f");
  EXPECT_EQ(first->GetWeatherCode(), "20001");
  EXPECT_EQ(first->GetRSS_Url(), components::kDefaultRssUrl);
  EXPECT_EQ(first->GetShowTime() + first->GetShowWeather() + first->GetShowNews() + first->GetShowBlack() +
                first->GetUseProxy(),
            0);
  EXPECT_EQ(first->GetProxy(), "");
  EXPECT_EQ(first->GetPort(), "");

  const ino_t written = Inode(home.RegFile());
  TWss* second = NewEngine();
  second->SetRegistry();
  second->SetRegistry();  // run mode loads twice
  EXPECT_EQ(Inode(home.RegFile()), written) << "the second start must not write";
  EXPECT_EQ(ReadText(home.RegFile()), kFirstRun);
  EXPECT_EQ(second->GetRGB(), 256);
  EXPECT_EQ(second->GetVolume(), 200);
  EXPECT_EQ(second->GetRSS_Url(), components::kDefaultRssUrl);
}

TEST_F(SettingsTest, AnExistingKeyIsReadAndNotRewritten) {
  std::string existing = kFirstRun;
  existing.replace(existing.find("\"Brightness\"=dword:00000100"), 27, "\"Brightness\"=dword:00000080");
  existing.replace(existing.find("\"ShowTime\"=dword:00000000"), 25, "\"ShowTime\"=dword:00000001");
  existing.replace(existing.find("\"Proxy\"=\"\""), 10, "\"Proxy\"=\"cache.local\"");
  existing.replace(existing.find("\"Port\"=\"\""), 9, "\"Port\"=\"3128\"");
  WriteText(home.RegFile(), existing);
  const ino_t before = Inode(home.RegFile());
  TWss* wss = NewEngine();
  wss->SetRegistry();
  EXPECT_EQ(wss->GetRGB(), 128);
  EXPECT_EQ(wss->GetShowTime(), 1);
  EXPECT_EQ(wss->GetProxy(), "cache.local");
  EXPECT_EQ(wss->GetPort(), "3128");
  EXPECT_EQ(ReadText(home.RegFile()), existing);
  EXPECT_EQ(Inode(home.RegFile()), before);

  // Without Proxy and Port the fields become empty (they held values before).
  std::string without = existing;
  without.erase(without.find("\"Proxy\""));
  WriteText(home.RegFile(), without);
  wss->SetRegistry();
  EXPECT_EQ(wss->GetProxy(), "");
  EXPECT_EQ(wss->GetPort(), "");
  EXPECT_EQ(wss->GetUseProxy(), 0);
}

TEST_F(SettingsTest, DeletingTheKeyWritesTheDefaultsAgain) {
  NewEngine()->SetRegistry();
  {
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    reg.WriteInteger("Brightness", 40);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Someone Else", true));
    reg.WriteString("Kept", "yes");
    reg.CloseKey();
    ASSERT_TRUE(reg.DeleteKey(kKey));
  }
  TWss* wss = NewEngine();
  wss->SetRegistry();
  EXPECT_EQ(wss->GetRGB(), 256);
  platform::Registry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  EXPECT_EQ(reg.ReadInteger("Brightness"), 256);
  EXPECT_EQ(reg.ReadString("Port"), "");
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Someone Else", false));
  EXPECT_EQ(reg.ReadString("Kept"), "yes");
}

TEST_F(SettingsTest, EmptyBrandNameKeepsBothSeparators) {
  TWss* wss = NewEngine("", "Brisvane Screensaver");
  wss->SetRegistry();
  const std::string text = ReadText(home.RegFile());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\\\Brisvane Screensaver]\n\"Brightness\""), std::string::npos)
      << text;
  int value = 0;
  EXPECT_TRUE(wss->ReadRKey("SoundVolume", value));
  EXPECT_EQ(value, 200);
  // The named key is another key: still absent.
  EXPECT_FALSE(NewEngine()->ReadRKey("SoundVolume", value));
}

TEST_F(SettingsTest, MissingOrMistypedValuesKeepTheirDefaultsAndTheRestLoads) {
  const std::string damaged = "REGEDIT4\n\n" + kSection +
                              "\n"
                              "\"Brightness\"=\"128\"\n"    // text where an integer belongs
                              "\"TDegree\"=dword:00000063\n"  // integer where a text belongs
                              "\"WeatherCode\"=\"UKXX0085\"\n"
                              "\"ShowTime\"=dword:00000001\n"
                              "\"ShowNews\"=hex:01\n"
                              "\"ShowBlack\"=dword:00000001\n"
                              "\"Port\"=\"8080\"\n";
  WriteText(home.RegFile(), damaged);
  TWss* wss = NewEngine();
  wss->SetRegistry();
  EXPECT_EQ(wss->GetRGB(), 256);
  EXPECT_EQ(wss->GetVolume(), 200);  // missing
  EXPECT_EQ(wss->GetTDegree(), "f");
  EXPECT_EQ(wss->GetWeatherCode(), "UKXX0085");
  EXPECT_EQ(wss->GetRSS_Url(), "") << "a missing text reads as empty";
  EXPECT_EQ(wss->GetShowTime(), 1);
  EXPECT_EQ(wss->GetShowWeather(), 0);
  EXPECT_EQ(wss->GetShowNews(), 0);
  EXPECT_EQ(wss->GetShowBlack(), 1);
  EXPECT_EQ(wss->GetPort(), "8080");
  EXPECT_EQ(ReadText(home.RegFile()), damaged) << "an existing key is never rewritten";
}

TEST_F(SettingsTest, ValueOperationsOpenWithoutOrWithCreating) {
  TWss* wss = NewEngine();
  int value = 77;
  std::string text = "untouched";
  EXPECT_FALSE(wss->ReadRKey("Brightness", value));
  EXPECT_FALSE(wss->ReadAKey("RSS_Url", text));
  EXPECT_EQ(value, 77);
  EXPECT_EQ(text, "untouched");
  EXPECT_FALSE(std::filesystem::exists(home.RegFile()));

  EXPECT_TRUE(wss->WriteRKey("Brightness", 90));
  EXPECT_TRUE(wss->WriteAKey("RSS_Url", "http://feeds.example/rss"));
  EXPECT_TRUE(wss->ReadRKey("Brightness", value));
  EXPECT_EQ(value, 90);
  EXPECT_TRUE(wss->ReadAKey("RSS_Url", text));
  EXPECT_EQ(text, "http://feeds.example/rss");
  EXPECT_TRUE(wss->ReadAKey("Proxy", text));
  EXPECT_EQ(text, "");
  // The accessor's error reaches the caller, who can catch it.
  EXPECT_THROW(wss->ReadRKey("ShowTime", value), platform::RegistryError);
  EXPECT_THROW(wss->ReadRKey("RSS_Url", value), platform::RegistryError);
  EXPECT_EQ(value, 90);
}

TEST_F(SettingsTest, AnUnwritableStoreLeavesTheDefaultsInMemoryOnly) {
  // The configuration folder is a file: nothing can be opened or created.
  std::filesystem::create_directories(home.Dir());
  WriteText(home.Dir() + "/brisvane", "not a folder");
  TWss* wss = NewEngine();
  EXPECT_FALSE(wss->WriteRKey("Brightness", 1));
  wss->SetRegistry();
  EXPECT_EQ(wss->GetRGB(), 256);
  EXPECT_EQ(wss->GetVolume(), 200);
  EXPECT_EQ(wss->GetWeatherCode(), "20001");
  EXPECT_EQ(ReadText(home.Dir() + "/brisvane"), "not a folder");
}

TEST_F(SettingsTest, GarbageInTheFileDoesNotStopTheStart) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) & 0xff);
  WriteText(home.RegFile(), junk + "\n" + kSection + "\n\"Brightness\"=dword:00000020\n\"ShowNews\"=dword:0000");
  TWss* wss = NewEngine();
  wss->SetRegistry();
  EXPECT_EQ(wss->GetRGB(), 32);
  EXPECT_EQ(wss->GetShowNews(), 0);
  EXPECT_EQ(wss->GetVolume(), 200);
}
