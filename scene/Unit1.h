// TForm1: the lake scene, the main form of run mode. It owns the engine Wss1
// and, as the engine's children, every picture of the lake; it builds the
// scene once, draws it back to front on every tick of the engine's timer, and
// ends the saver on Escape, F2, F3 or a real mouse movement.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "components/GadgetValue.h"
#include "components/Wgc.h"
#include "components/Wgr.h"
#include "components/Wgw.h"
#include "components/Wim.h"
#include "components/Wmv.h"
#include "components/Wss.h"
#include "framework/TForm.h"
#include "online/THttpClient.h"
#include "online/Unit2thread1.h"
#include "scene/FlightPaths.h"

namespace scene {

class TForm1 : public framework::TForm {
 public:
  explicit TForm1(framework::TComponent* AOwner);
  ~TForm1() override;
  std::string ClassName() const override { return "TForm1"; }

  // Stored components, in their declared order.
  components::TWss* Wss1 = nullptr;
  components::TWIM* WIM1 = nullptr;
  components::TWMV* WMV1 = nullptr;
  components::TWMV* WMV3SGsmall = nullptr;
  components::TWIM* WIM2GadgetPanel = nullptr;
  components::TWMV* WMV3Weather = nullptr;
  components::TWGC* WGC1 = nullptr;
  components::TWGW* WGW1 = nullptr;
  components::TWGR* WGR1 = nullptr;
  components::TWIM* WIM2tree = nullptr;
  components::TWIM* WIM2tree_n1 = nullptr;
  components::TWMV* WMV2btfl = nullptr;
  online::THttpClient* HttpClient1 = nullptr;
  // Made at run time as copies of the bird strip, owned by the form.
  components::TWMV* BirdStrip2 = nullptr;
  components::TWMV* BirdStripSmall = nullptr;

  void FormCreate(framework::TObject* Sender);
  void Wss1Timer(framework::TObject* Sender);
  void FormKeyPress(framework::TObject* Sender, char& Key);
  void FormKeyDown(framework::TObject* Sender, std::uint16_t& Key, framework::TShiftState Shift);
  void FormMouseMove(framework::TObject* Sender, framework::TShiftState Shift, int X, int Y);
  void EndSaver();

  void PlaceStill(components::TWIM& sprite, bool stretching, bool transparent, int height, int width, int top,
                  int left);
  void PlaceStrip(components::TWMV& strip, bool stretching, bool transparent, int frameRows, bool setSize,
                  int stretchWidth, int stretchHeight, int top, int left);
  void CloneBirdStrip(components::TWMV& strip, const components::TWMV& model);
  void InitButterflyPaths();
  // Steps every butterfly path and draws the butterfly there (frame thread).
  void DrawButterflies();
  void StartMusic();
  void StopMusic();
  // The weather forecast page of the configured location (F3).
  std::string ForecastAddress() const;

  // Frame thread only, after FormCreate.
  int WaterFrame = 0;
  int WingFrame = 0;
  // GUI thread only.
  int LastMouseX = 0;
  int LastMouseY = 0;
  // Written by the news feed, opened by F2.
  components::GadgetValue<std::string> NewsLink{""};

  // The weather and news refresh, running from FormCreate on; null before.
  online::WeatherHTTP* RefreshThread() const { return FRefresh.get(); }

  PathRecord PathA, PathB, PathC, PathD;
  std::array<PathRecord, kButterflyCount> ButterflyPaths;
  int ButterflyCount = 0;

 private:
  // Starts the refresh of the weather and news gadgets.
  void CreateRefreshThread();
  // Asks the refresh to stop; never touches a refresh that has ended.
  void StopRefreshThread();
  bool FEnding = false;
  // Owned here and joined when the form goes, before the gadgets and the
  // client it uses: so the exit never meets a thread object that is gone.
  std::unique_ptr<online::WeatherHTTP> FRefresh;
};

extern TForm1* Form1;

}  // namespace scene
