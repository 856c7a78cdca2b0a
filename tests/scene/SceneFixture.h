// The real lake scene on the headless platform, its frames stepped by hand
// (the engine's own timer never ticks) and every sprite draw recorded.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/WSprite.h"
#include "platform/Registry.h"
#include "platform/Timer.h"
#include "scene/Unit1.h"
#include "support/HeadlessEnvironment.h"
#include "support/TempConfigHome.h"

namespace testing_support {

struct SpriteDraw {
  int frame;  // 1 for the first frame
  std::string name;
  int number;  // -1 for a still sprite
  int x, y;
};

// The settings the saver finds in its file: the first-run defaults with changes.
struct SceneSettings {
  std::map<std::string, int> integers = {{"Brightness", 256}, {"SoundVolume", 200}, {"ShowTime", 0},
                                         {"ShowWeather", 0},  {"ShowNews", 0},      {"ShowBlack", 0},
                                         {"UseProxy", 0}};
  std::map<std::string, std::string> texts = {{"TDegree", "f"},
                                              {"WeatherCode", "20001"},
                                              {"RSS_Url", "http://news.example/rss"},
                                              {"Proxy", ""},
                                              {"Port", ""}};
  SceneSettings& Set(const std::string& name, int v) { return integers[name] = v, *this; }
  SceneSettings& Set(const std::string& name, const std::string& v) { return texts[name] = v, *this; }
  void Write() const {
    platform::Registry reg;
    reg.OpenKey("SOFTWARE\\Tarrowind Software\\Brisvane Screensaver", true);
    for (const auto& [name, v] : integers) reg.WriteInteger(name, v);
    for (const auto& [name, v] : texts) reg.WriteString(name, v);
  }
};

class SceneOnHeadless {
 public:
  explicit SceneOnHeadless(const SceneSettings& settings = {}, bool recordDraws = true) {
    settings.Write();
    platform::SetTimersDormant(true);
    if (recordDraws)
      components::TWSprite::SetDrawObserver([this](const components::TWSprite& s, int number) {
        draws.push_back({frame, s.Name, number, s.GetShowX(), s.GetShowY()});
      });
    env.app->CreateForm(&form);
  }
  ~SceneOnHeadless() {
    components::TWSprite::SetDrawObserver(nullptr);
    env.app.reset();
    platform::SetTimersDormant(false);
  }
  SceneOnHeadless(const SceneOnHeadless&) = delete;
  SceneOnHeadless& operator=(const SceneOnHeadless&) = delete;

  // One tick of the engine: restore, clear, the scene's frame, flip.
  void Frame() {
    ++frame;
    form->Wss1->Tick();
  }
  std::vector<SpriteDraw> DrawsOf(int f) const {
    std::vector<SpriteDraw> out;
    for (const auto& d : draws)
      if (d.frame == f) out.push_back(d);
    return out;
  }
  std::vector<std::uint32_t> Presented() const { return env.display->LastFrame(); }
  bool Ended() const { return form->Closed(); }

  TempConfigHome home;
  HeadlessEnvironment env;
  scene::TForm1* form = nullptr;
  int frame = 0;
  std::vector<SpriteDraw> draws;
};

}  // namespace testing_support
