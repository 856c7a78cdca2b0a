#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/Sound.h"
#include "scene/SceneFixture.h"
#include "support/OpenerStandIn.h"

namespace {

using testing_support::SceneOnHeadless;
using testing_support::SceneSettings;
using testing_support::SpriteDraw;

std::vector<std::string> Names(const std::vector<SpriteDraw>& draws) {
  std::vector<std::string> out;
  for (const auto& d : draws) out.push_back(d.name);
  return out;
}

const SpriteDraw* Find(const std::vector<SpriteDraw>& draws, const std::string& name) {
  auto it = std::find_if(draws.begin(), draws.end(), [&](const SpriteDraw& d) { return d.name == name; });
  return it == draws.end() ? nullptr : &*it;
}

TEST(Scene, DrawsBackToFrontWithEveryGadgetAtItsPlace) {
  struct Case {
    int time, weather, news;
    int clockX, weatherX, newsX;  // -1: not drawn
  } cases[] = {
      {1, 1, 1, 907, 571, 0},
      {0, 1, 1, -1, 688, 117},
      {1, 0, 1, 907, -1, 336},
      {1, 0, 0, 907, -1, -1},
      {0, 0, 0, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SceneOnHeadless scene(SceneSettings().Set("ShowTime", c.time).Set("ShowWeather", c.weather).Set("ShowNews", c.news));
    scene.Frame();
    const auto draws = scene.DrawsOf(1);
    std::vector<std::string> expected = {"WIM1",        "WMV1",     "BirdStripSmall", "BirdStripSmall",
                                         "WIM2tree",    "BirdStrip2", "WMV3SGsmall",  "WIM2tree_n1",
                                         "WMV2btfl",    "WMV2btfl", "WMV2btfl"};
    if (c.time + c.weather + c.news > 0) expected.push_back("WIM2GadgetPanel");
    if (c.time) expected.push_back("WGC1");
    if (c.weather) expected.push_back("WGW1");
    if (c.news) expected.push_back("WGR1");
    auto names = Names(draws);
    // The weather gadget's own icon draws come with its gadget.
    names.erase(std::remove(names.begin(), names.end(), "WMV3Weather"), names.end());
    EXPECT_EQ(names, expected) << c.time << c.weather << c.news;
    const auto x = [&](const char* name) { return Find(draws, name) ? Find(draws, name)->x : -1; };
    EXPECT_EQ(x("WGC1"), c.clockX);
    EXPECT_EQ(x("WGW1"), c.weatherX);
    EXPECT_EQ(x("WGR1"), c.newsX);
    for (const char* gadget : {"WIM2GadgetPanel", "WGC1", "WGW1", "WGR1"}) {
      if (const SpriteDraw* d = Find(draws, gadget)) {
        EXPECT_EQ(d->y, 698) << gadget;
      }
    }
    // The panel is made whatever the settings; the icon strip only for the weather.
    EXPECT_NE(scene.form->WIM2GadgetPanel->GetSurface(), nullptr);
    EXPECT_EQ(scene.form->WMV3Weather->GetFrameCount(), c.weather ? 49 : 0);
    // The refresh starts after the weather gadget's step, whether or not it ran.
    EXPECT_NE(scene.form->RefreshThread(), nullptr) << c.time << c.weather << c.news;
  }
}

TEST(Scene, TheBlackSettingLaysABarOrShowsTheLakeBehindTheGadgets) {
  // Columns left of the clock panel: only the strip's backdrop covers them.
  const auto strip = [](const std::vector<std::uint32_t>& f, int y) {
    return std::vector<std::uint32_t>(f.begin() + y * 1024, f.begin() + y * 1024 + 907);
  };
  std::vector<std::uint32_t> lake;
  {
    SceneOnHeadless scene;
    scene.Frame();
    lake = scene.Presented();
  }
  for (int black : {0, 1}) {
    SceneOnHeadless scene(SceneSettings().Set("ShowTime", 1).Set("ShowBlack", black));
    scene.Frame();
    const auto frame = scene.Presented();
    ASSERT_EQ(frame.size(), lake.size());
    for (int y = 698; y < 767; ++y) {
      const auto row = strip(frame, y);
      if (black)
        ASSERT_TRUE(std::all_of(row.begin(), row.end(), [](std::uint32_t p) { return (p & 0xFFFFFF) == 0; })) << y;
      else
        ASSERT_EQ(row, strip(lake, y)) << y;
    }
    // The bottom row is never covered: a sprite stops one row short of the edge.
    EXPECT_EQ(strip(frame, 767), strip(lake, 767));
    EXPECT_EQ(strip(frame, 697), strip(lake, 697));
  }
}

TEST(Scene, WaterAndWingsCountFromOneAndTheLastWingNeverShows) {
  SceneOnHeadless scene;
  std::vector<int> water, wings;
  for (int i = 0; i < 40; ++i) scene.Frame();
  for (const auto& d : scene.draws) {
    if (d.name == "WMV1") water.push_back(d.number);
    if (d.name == "WMV2btfl" && wings.size() < 40 * 3) wings.push_back(d.number);
  }
  ASSERT_EQ(water.size(), 40u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(water[static_cast<std::size_t>(i)], (i + 1) % 32);
  std::vector<int> firstWings;
  for (std::size_t i = 0; i < 18 * 3; i += 3) {
    EXPECT_EQ(wings[i], wings[i + 1]);  // one wing beat for all three butterflies
    EXPECT_EQ(wings[i], wings[i + 2]);
    firstWings.push_back(wings[i]);
  }
  EXPECT_EQ(firstWings, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0, 0, 1, 2}));
  EXPECT_EQ(std::count(wings.begin(), wings.end(), 15), 0);
}

TEST(Scene, StartsMusicHidesTheCursorAndEndsInOrder) {
  SceneOnHeadless scene;
  EXPECT_FALSE(scene.env.gui->CursorShown());
  EXPECT_TRUE(platform::SoundPlaying());
  EXPECT_TRUE(scene.form->Wss1->GetTimerEnabled());
  scene.form->EndSaver();
  EXPECT_FALSE(scene.form->Wss1->GetTimerEnabled());
  EXPECT_EQ(scene.form->Wss1->FDD.load(), nullptr);
  EXPECT_EQ(scene.form->WIM1->GetSurface(), nullptr);
  EXPECT_FALSE(platform::SoundPlaying());
  EXPECT_TRUE(scene.env.gui->CursorShown());
  EXPECT_FALSE(scene.form->Visible());
  EXPECT_EQ(scene.form->BorderStyle(), framework::TFormBorderStyle::bsSizeable);
  EXPECT_EQ(scene.form->Width(), 20);
  EXPECT_EQ(scene.form->Height(), 20);
  EXPECT_TRUE(scene.Ended());
  scene.form->EndSaver();  // a second request while closing changes nothing
  EXPECT_TRUE(scene.Ended());
}

TEST(Scene, OnlyAMouseMoveOfMoreThanFivePixelsEnds) {
  struct Case {
    std::vector<std::pair<int, int>> moves;
    bool ends;
  } cases[] = {
      {{{400, 300}}, false},
      {{{400, 300}, {403, 304}}, false},
      {{{400, 300}, {403, 304}, {410, 304}}, true},
      {{{400, 300}, {400, 294}}, true},
      {{{0, 300}, {300, 300}}, false},           // x parked at 0 counts as no position yet
      {{{0, 300}, {0, 303}, {0, 309}}, true},    // but a vertical move still ends
      {{{0, 0}, {500, 500}}, false},             // a first event at the origin records nothing
  };
  for (const Case& c : cases) {
    SceneOnHeadless scene;
    for (const auto& [x, y] : c.moves) scene.form->DoMouseMove(0, x, y);
    EXPECT_EQ(scene.Ended(), c.ends) << c.moves.size() << " moves ending at " << c.moves.back().first << ","
                                     << c.moves.back().second;
  }
}

TEST(Scene, EscapeEndsAndOtherKeysDoNothing) {
  struct Key {
    bool down;
    int code;
  };
  const Key quiet[] = {{true, 112}, {true, 13}, {false, 13}, {true, 65}, {false, 'a'}, {true, 16}, {true, 27}};
  SceneOnHeadless scene;
  testing_support::OpenerStandIn opener;
  for (const Key& k : quiet) {
    std::uint16_t code = static_cast<std::uint16_t>(k.code);
    char ch = static_cast<char>(k.code);
    k.down ? scene.form->DoKeyDown(code, 0) : scene.form->DoKeyPress(ch);
    EXPECT_FALSE(scene.Ended()) << (k.down ? "key down " : "key press ") << k.code;
  }
  scene.form->DoKeyPress(27);
  EXPECT_TRUE(scene.Ended());
  EXPECT_EQ(opener.OpenedBefore(), "");
}

TEST(Scene, FunctionKeysOpenOnlyWebPagesAndEndTheSaver) {
  struct Case {
    std::uint16_t key;
    const char* newsLink;
    const char* degree;
    const char* code;
    const char* opened;  // empty: nothing reaches the opener
  } cases[] = {
      {113, "", "f", "20001", ""},
      {113, "http://news.example/world", "f", "20001", "http://news.example/world"},
      {113, "file:///etc/passwd", "f", "20001", ""},
      {113, "javascript:alert(1)", "f", "20001", ""},
      {113, "news", "f", "20001", ""},
      {114, "", "c", "UKXX0085", "http://weather.yahoo.com/forecast/UKXX0085_c.html"},
      {114, "", "C", "UKXX0085", "http://weather.yahoo.com/forecast/UKXX0085.html"},
      {114, "", "f", "20001", "http://weather.yahoo.com/forecast/20001.html"},
  };
  for (const Case& c : cases) {
    testing_support::OpenerStandIn opener;
    SceneOnHeadless scene(SceneSettings().Set("TDegree", std::string(c.degree)).Set("WeatherCode", std::string(c.code)));
    scene.form->NewsLink.Set(c.newsLink);
    std::uint16_t key = c.key;
    scene.form->DoKeyDown(key, 0);
    EXPECT_TRUE(scene.Ended()) << c.key << " " << c.newsLink;
    if (*c.opened) {
      EXPECT_EQ(opener.WaitForOpened(), std::string(c.opened) + "\n");
    } else {
      EXPECT_EQ(opener.OpenedBefore(), "") << c.newsLink;
    }
  }
}

}  // namespace

namespace {

// The session ending closes the form without the exit routine; the form's frames
// run on the timer's own thread and must be stopped before its sprites go.
TEST(Scene, ClosedWithoutTheExitRoutineStopsItsFramesFirst) {
  for (int round = 0; round < 5; ++round) {
    TempConfigHome home;
    SceneSettings().Set("ShowTime", 1).Set("ShowWeather", 1).Set("ShowNews", 1).Write();
    testing_support::HeadlessEnvironment env;
    scene::TForm1* form = nullptr;
    env.app->CreateForm(&form);
    ASSERT_TRUE(testing_support::WaitFor([&] { return env.display->FrameCount() >= 3; }));
    form->Close();
    env.app.reset();  // frees the form and its sprites while the timer would still tick
    EXPECT_FALSE(platform::SoundPlaying());
  }
}

}  // namespace
