#include <gtest/gtest.h>

#include <sstream>

#include "SaverSide.h"
#include "support/Files.h"
#include "support/TempConfigHome.h"
#include "bridge/BridgeOptions.h"
#include "bridge/FeedDirectory.h"
#include "bridge/ProxySetup.h"

namespace {

using bridge::BridgeOptions;
using bridge::ProxySetup;
using testing_bridge::CutDirectory;

std::optional<BridgeOptions> Parse(std::vector<const char*> args, std::string* error = nullptr) {
  args.insert(args.begin(), "brisvane-bridge");
  std::string e;
  std::optional<BridgeOptions> o = BridgeOptions::Parse(static_cast<int>(args.size()), args.data(), e);
  if (error) *error = e;
  return o;
}

TEST(BridgeOptions, TheDocumentedOptions) {
  std::optional<BridgeOptions> o =
      Parse({"--port", "9000", "--open-meteo-url", "http://127.0.0.1:1/", "--metno-url=https://m.example",
             "--ca-file", "/x/ca.pem", "--allow-loopback-upstream", "--weather-source", "metno"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->action, BridgeOptions::Action::Serve);
  EXPECT_EQ(o->port, 9000);
  EXPECT_EQ(o->openMeteoUrl, "http://127.0.0.1:1/");
  EXPECT_EQ(o->metnoUrl, "https://m.example");
  EXPECT_EQ(o->caFile, "/x/ca.pem");
  EXPECT_TRUE(o->allowLoopbackUpstream);
  EXPECT_EQ(o->source, bridge::WeatherSource::MetNo);
  std::optional<BridgeOptions> d = Parse({});
  ASSERT_TRUE(d);
  EXPECT_EQ(d->port, 8411);
  EXPECT_EQ(d->source, bridge::WeatherSource::OpenMeteo);
  EXPECT_FALSE(d->allowLoopbackUpstream);
  EXPECT_EQ(Parse({"--enable"})->action, BridgeOptions::Action::Enable);
  EXPECT_EQ(Parse({"--disable", "--port=9001"})->port, 9001);
  EXPECT_EQ(Parse({"--help"})->action, BridgeOptions::Action::Help);
}

TEST(BridgeOptions, RefusesWhatItDoesNotKnow) {
  const std::vector<std::vector<const char*>> bad = {
      {"--port"},           {"--port", "x"},        {"--port", "70000"},  {"--port", "-1"},
      {"--port", "80x"},    {"--weather-source", "yr"}, {"--open-meteo-url", "ftp://x/"},
      {"--metno-url", "not a url"}, {"--verbose"},  {"extra"},            {"--enable=1"},
      {"--enable", "--port", "0"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(BridgeOptions, HelpCreditsTheDataSources) {
  const std::string help = BridgeOptions::Help();
  EXPECT_NE(help.find("Weather data by Open-Meteo.com"), std::string::npos);
  EXPECT_NE(help.find("Data from MET Norway"), std::string::npos);
  for (const char* option : {"--port", "--open-meteo-url", "--metno-url", "--ca-file", "--allow-loopback-upstream",
                             "--weather-source", "--enable", "--disable"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(FeedDirectory, RepliesInTheFormsTheDialogReads) {
  const auto seen = CutDirectory(bridge::FeedDirectory::CategoryReply(), "categories", "category", "id");
  ASSERT_TRUE(seen);
  const std::vector<std::string> wanted = {"World", "Business", "Technology", "Science", "Sports", "Entertainment", "Health"};
  ASSERT_EQ(seen->size(), wanted.size());
  for (size_t i = 0; i < wanted.size(); ++i) {
    EXPECT_EQ((*seen)[i].first, wanted[i]);
    const auto feeds = CutDirectory(bridge::FeedDirectory::FeedListReply((*seen)[i].second), "rsslist", "title", "url");
    ASSERT_TRUE(feeds);
    for (const auto& [title, url] : *feeds) {
      EXPECT_FALSE(title.empty());
      // Verbatim fields: nothing the dialog would show as an entity.
      EXPECT_EQ(title.find('&'), std::string::npos) << title;
      EXPECT_TRUE(url.starts_with("http://")) << url;  // the saver cannot ask for https
      EXPECT_EQ(url.find("&amp;"), std::string::npos) << url;
    }
    EXPECT_GE(feeds->size(), 4u) << wanted[i];
  }
  const auto empty = CutDirectory(bridge::FeedDirectory::FeedListReply("99"), "rsslist", "title", "url");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

// The settings file as the saver and the dialog keep it, with values around ours.
const std::string kSettings =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\r\n"
    "\"Brightness\"=dword:00000080\r\n\"SoundVolume\"=dword:000000c8\r\n\"TDegree\"=\"c\"\r\n"
    "\"WeatherCode\"=\"UKXX0085\"\r\n\"RSS_Url\"=\"http://feeds.example/rss?a=1&b=2\"\r\n"
    "\"ShowTime\"=dword:00000001\r\n\"ShowWeather\"=dword:00000001\r\n\"ShowNews\"=dword:00000001\r\n"
    "\"ShowBlack\"=dword:00000000\r\n\"UseProxy\"=dword:00000000\r\n\"Proxy\"=\"\"\r\n\"Port\"=\"\"\r\n"
    "; a comment the dialog never wrote\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Other Vendor]\r\n\"Proxy\"=\"keep\"\r\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  // The registry layer writes a changed line with its own line end.
  for (std::string line; std::getline(s, line);) lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
  return lines;
}

// The lines that differ, as "-old" and "+new".
std::vector<std::string> Changed(const std::string& before, const std::string& after) {
  const std::vector<std::string> a = Lines(before), b = Lines(after);
  std::vector<std::string> out;
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const std::string x = i < a.size() ? a[i] : "", y = i < b.size() ? b[i] : "";
    if (x != y) {
      out.push_back("-" + x);
      out.push_back("+" + y);
    }
  }
  return out;
}

struct SystemctlLog {
  std::vector<std::string> calls;
  int result = 0;
  ProxySetup::Systemctl Runner() {
    return [this](const std::vector<std::string>& args) {
      std::string call;
      for (const std::string& a : args) call += (call.empty() ? "" : " ") + a;
      calls.push_back(call);
      return result;
    };
  }
};

TEST(ProxySetup, EnableAndDisableChangeExactlyTheThreeValues) {
  TempConfigHome home;
  testing_support::WriteText(home.RegFile(), kSettings);
  SystemctlLog systemctl;
  std::ostringstream out;
  ASSERT_EQ(ProxySetup::Enable(8411, out, systemctl.Runner()), 0);
  const std::string enabled = testing_support::ReadText(home.RegFile());
  EXPECT_EQ(Changed(kSettings, enabled),
            (std::vector<std::string>{"-\"UseProxy\"=dword:00000000", "+\"UseProxy\"=dword:00000001",
                                      "-\"Proxy\"=\"\"", "+\"Proxy\"=\"127.0.0.1\"", "-\"Port\"=\"\"",
                                      "+\"Port\"=\"8411\""}));
  EXPECT_EQ(systemctl.calls, (std::vector<std::string>{"daemon-reload", "enable --now brisvane-bridge.socket"}));

  ASSERT_EQ(ProxySetup::Disable(8411, out, systemctl.Runner()), 0);
  EXPECT_TRUE(Changed(kSettings, testing_support::ReadText(home.RegFile())).empty());
  EXPECT_EQ(systemctl.calls.back(), "stop brisvane-bridge.service");
  EXPECT_EQ(systemctl.calls[2], "disable --now brisvane-bridge.socket");
}

TEST(ProxySetup, DisableLeavesAProxyTheUserSetSince) {
  TempConfigHome home;
  std::string own = kSettings;
  auto replace = [&own](const std::string& from, const std::string& to) { own.replace(own.find(from), from.size(), to); };
  replace("\"UseProxy\"=dword:00000000", "\"UseProxy\"=dword:00000001");
  replace("\"Proxy\"=\"\"\r\n\"Port\"=\"\"", "\"Proxy\"=\"corp\"\r\n\"Port\"=\"3128\"");
  testing_support::WriteText(home.RegFile(), own);
  SystemctlLog systemctl;
  std::ostringstream out;
  EXPECT_EQ(ProxySetup::Disable(8411, out, systemctl.Runner()), 0);
  EXPECT_EQ(testing_support::ReadText(home.RegFile()), own);
  EXPECT_NE(out.str().find("left as it is"), std::string::npos);
}

TEST(ProxySetup, EnableWithoutSettingsOrSystemd) {
  TempConfigHome home;
  SystemctlLog systemctl;
  systemctl.result = -1;  // no systemctl on this machine
  std::ostringstream out;
  ASSERT_EQ(ProxySetup::Enable(ProxySetup::kSocketPort, out, systemctl.Runner()), 0);
  const std::string written = testing_support::ReadText(home.RegFile());
  EXPECT_NE(written.find("\"UseProxy\"=dword:00000001"), std::string::npos);
  EXPECT_NE(written.find("\"Port\"=\"8411\""), std::string::npos);
  EXPECT_EQ(written.find("Brightness"), std::string::npos);  // the saver's own defaults stay its own
  EXPECT_NE(out.str().find("systemd is not there"), std::string::npos);
  // Enabling twice changes nothing more.
  ASSERT_EQ(ProxySetup::Enable(ProxySetup::kSocketPort, out, systemctl.Runner()), 0);
  EXPECT_EQ(testing_support::ReadText(home.RegFile()), written);
}

// The socket unit listens on 8411 only: enabling it for another port would
// point the saver at a port nothing listens on.
TEST(ProxySetup, EnableOnAnotherPortLeavesTheSocketToTheUser) {
  TempConfigHome home;
  SystemctlLog systemctl;
  std::ostringstream out;
  ASSERT_EQ(ProxySetup::Enable(9000, out, systemctl.Runner()), 0);
  EXPECT_NE(testing_support::ReadText(home.RegFile()).find("\"Port\"=\"9000\""), std::string::npos);
  EXPECT_TRUE(systemctl.calls.empty());
  EXPECT_NE(out.str().find("\"brisvane-bridge --port 9000\""), std::string::npos) << out.str();
}

// A user who had a proxy of their own gets exactly it back, however often
// and on whichever port the bridge was enabled in between.
TEST(ProxySetup, DisableGivesBackTheUsersOwnProxy) {
  std::string own = kSettings;
  auto replace = [](std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
  };
  replace(own, "\"UseProxy\"=dword:00000000", "\"UseProxy\"=dword:00000001");
  replace(own, "\"Proxy\"=\"\"\r\n\"Port\"=\"\"", "\"Proxy\"=\"corp.example\"\r\n\"Port\"=\"3128\"");
  struct Case {
    const char* name;
    std::vector<int> enablePorts;
    int disablePort;
  };
  const Case cases[] = {{"once", {8411}, 8411}, {"twice", {8411, 8411}, 8411}, {"then on another port", {8411, 9000}, 9000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempConfigHome home;
    testing_support::WriteText(home.RegFile(), own);
    SystemctlLog systemctl;
    std::ostringstream out;
    for (int port : c.enablePorts) {
      ASSERT_EQ(ProxySetup::Enable(port, out, systemctl.Runner()), 0);
      EXPECT_NE(testing_support::ReadText(home.RegFile()).find("\"Port\"=\"" + std::to_string(port) + "\""),
                std::string::npos);
    }
    ASSERT_EQ(ProxySetup::Disable(c.disablePort, out, systemctl.Runner()), 0);
    EXPECT_EQ(Changed(own, testing_support::ReadText(home.RegFile())), std::vector<std::string>{});
    // Undone once: a second --disable finds the user's proxy and leaves it.
    ASSERT_EQ(ProxySetup::Disable(c.disablePort, out, systemctl.Runner()), 0);
    EXPECT_EQ(Changed(own, testing_support::ReadText(home.RegFile())), std::vector<std::string>{});
  }

  // Turned off in the dialog while the bridge was on: the user's address
  // comes back, the proxy stays off.
  TempConfigHome home;
  testing_support::WriteText(home.RegFile(), own);
  SystemctlLog systemctl;
  std::ostringstream out;
  ASSERT_EQ(ProxySetup::Enable(8411, out, systemctl.Runner()), 0);
  std::string turnedOff = testing_support::ReadText(home.RegFile());
  replace(turnedOff, "\"UseProxy\"=dword:00000001", "\"UseProxy\"=dword:00000000");
  testing_support::WriteText(home.RegFile(), turnedOff);
  ASSERT_EQ(ProxySetup::Disable(8411, out, systemctl.Runner()), 0);
  std::string expected = own;
  replace(expected, "\"UseProxy\"=dword:00000001", "\"UseProxy\"=dword:00000000");
  EXPECT_EQ(Changed(expected, testing_support::ReadText(home.RegFile())), std::vector<std::string>{});
}

}  // namespace
