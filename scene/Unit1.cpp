#include "scene/Unit1.h"

#include <cstdlib>

#include "platform/Gui.h"
#include "platform/ShellOpen.h"
#include "platform/Sound.h"

namespace scene {

TForm1* Form1 = nullptr;

namespace {

constexpr std::uint16_t kVkF2 = 113;
constexpr std::uint16_t kVkF3 = 114;
constexpr char kEscape = 27;
constexpr int kMouseJitter = 5;
constexpr const char* kForecastSite = "http://weather.yahoo.com";

template <class T>
T* Stored(framework::TComponent* owner, components::TWss* parent, const char* name, const char* picture) {
  auto* c = new T(owner);
  c->Name = name;
  c->SetParent(parent);
  if (picture) c->Picture()->LoadFromResource(picture);
  return c;
}

}  // namespace

TForm1::TForm1(framework::TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Brisvane Screensaver");
  SetBounds(0, 0, 1024, 768);
  Wss1 = new components::TWss(this);
  Wss1->Name = "Wss1";
  Wss1->SetParent(this);
  Wss1->OnTimer = [this](framework::TObject* s) { Wss1Timer(s); };
  using namespace components;
  WIM1 = Stored<TWIM>(this, Wss1, "WIM1", "WIM1");
  WMV1 = Stored<TWMV>(this, Wss1, "WMV1", "WMV1");
  WMV3SGsmall = Stored<TWMV>(this, Wss1, "WMV3SGsmall", "WMV3SGsmall");
  WIM2GadgetPanel = Stored<TWIM>(this, Wss1, "WIM2GadgetPanel", "WIM2GadgetPanel");
  WMV3Weather = Stored<TWMV>(this, Wss1, "WMV3Weather", "WMV3Weather");
  WGC1 = Stored<TWGC>(this, Wss1, "WGC1", "WGC1");
  WGW1 = Stored<TWGW>(this, Wss1, "WGW1", "WGW1");
  WGR1 = Stored<TWGR>(this, Wss1, "WGR1", "WGR1");
  WIM2tree = Stored<TWIM>(this, Wss1, "WIM2tree", "WIM2tree");
  WIM2tree_n1 = Stored<TWIM>(this, Wss1, "WIM2tree_n1", "WIM2tree_n1");
  WMV2btfl = Stored<TWMV>(this, Wss1, "WMV2btfl", "WMV2btfl");
  HttpClient1 = new online::THttpClient(this);
  HttpClient1->Name = "HttpClient1";
  WGW1->SetTodayNow("NA");
  WGW1->SetTomorrowHi("NA");
  WGW1->SetTomorrowLow("NA");
  WGW1->SetWeatherPicVCL(WMV3Weather);
  WGR1->SetRssLine("*** Not Available Now ***");
  OnKeyPress = [this](framework::TObject* s, char& key) { FormKeyPress(s, key); };
  OnKeyDown = [this](framework::TObject* s, std::uint16_t& key, framework::TShiftState shift) {
    FormKeyDown(s, key, shift);
  };
  OnMouseMove = [this](framework::TObject* s, framework::TShiftState shift, int x, int y) {
    FormMouseMove(s, shift, x, y);
  };
  FormCreate(this);
}

// A form closed some other way than EndSaver (the session ending, say) must
// not leave frames running on sprites that are about to be freed.
TForm1::~TForm1() {
  if (FEnding) return;
  StopRefreshThread();
  Wss1->SetTimerEnabled(false);
  Wss1->SetEnabled(false);
  StopMusic();
}

// ---- building the scene ----

namespace {

enum class Helper { Still, Strip };
enum class Before { Nothing, CloneBird };
enum class Then { Nothing, RefreshThread, PathA, PathB, PathsCD, Butterflies };

struct Placement {
  char step;
  Helper helper;
  Before before;
  const char* sprite;
  bool transparent;
  int frameRows;              // strips only
  int stretchW, stretchH;     // 0 x 0: not set (a strip's size follows its frame rows)
  int top, left;
  bool onlyIf;
  Then then;                  // done whether or not the step ran
};

}  // namespace

void TForm1::FormCreate(framework::TObject*) {
  Wss1->SetBrandName("Tarrowind Software");
  Wss1->SetSSName("Brisvane Screensaver");
  Wss1->SetRegistry();
  LastMouseX = 0;
  LastMouseY = 0;
  Wss1->SetUseIdle(false);
  Wss1->SetWidthScreen(1024);
  Wss1->SetHeightScreen(768);
  Wss1->SetColorDepth(32);
  Wss1->SetInterval(40);
  Wss1->SetEnabled(true);

  const int time = Wss1->GetShowTime();
  const int weather = Wss1->GetShowWeather();
  const int news = Wss1->GetShowNews();
  const bool black = Wss1->GetShowBlack() == 0;
  using H = Helper;
  using B = Before;
  const Placement table[] = {
      // step helper    before        sprite             transparent rows stretch    top  left                                only if       then
      {'a', H::Still, B::Nothing,   "WIM1",            false,      0, 1024, 768,   0,   0,                               true,         Then::Nothing},
      {'b', H::Strip, B::Nothing,   "WMV1",            false,    215,    0,   0, 553,   0,                               true,         Then::Nothing},
      {'c', H::Still, B::Nothing,   "WIM2tree",        true,       0,  644, 341, 119, 379,                               true,         Then::Nothing},
      {'d', H::Still, B::Nothing,   "WIM2tree_n1",     true,       0,  156, 234, 335, 282,                               true,         Then::Nothing},
      {'e', H::Still, B::Nothing,   "WIM2GadgetPanel", black,      0, 1024,  70, 698,   0,                               true,         Then::Nothing},
      {'f', H::Still, B::Nothing,   "WGC1",            true,       0,  117,  69, 698, 907,                               time != 0,    Then::Nothing},
      {'g', H::Strip, B::Nothing,   "WMV3Weather",     false,     52,    0,   0,   0,   0,                               weather != 0, Then::Nothing},
      {'h', H::Still, B::Nothing,   "WGW1",            true,       0,  336,  69, 698, 1024 - (336 + 117 * time),        weather != 0, Then::RefreshThread},
      {'i', H::Still, B::Nothing,   "WGR1",            true,       0,  572,  69, 698, 1024 - (571 + 117 * time + 336 * weather), news != 0, Then::Nothing},
      {'j', H::Strip, B::Nothing,   "WMV3SGsmall",     true,      24,   24,  16, 300, 300,                               true,         Then::PathA},
      {'k', H::Strip, B::CloneBird, "BirdStrip2",      true,      24,   24,  16, 300, 300,                               true,         Then::PathB},
      {'l', H::Strip, B::CloneBird, "BirdStripSmall",  true,      24,   14,   9, 300, 300,                               true,         Then::PathsCD},
      {'m', H::Strip, B::Nothing,   "WMV2btfl",        true,      30,   20,  15, 300, 300,                               true,         Then::Butterflies},
  };

  for (const Placement& row : table) {
    if (row.before == B::CloneBird) {
      auto* strip = new components::TWMV(this);
      strip->Name = row.sprite;
      CloneBirdStrip(*strip, *WMV3SGsmall);
    }
    if (row.onlyIf) {
      framework::TComponent* sprite = FindComponent(row.sprite);
      if (row.helper == H::Still)
        PlaceStill(dynamic_cast<components::TWIM&>(*sprite), true, row.transparent, row.stretchH, row.stretchW,
                   row.top, row.left);
      else
        PlaceStrip(dynamic_cast<components::TWMV&>(*sprite), true, row.transparent, row.frameRows,
                   row.stretchW != 0, row.stretchW, row.stretchH, row.top, row.left);
    }
    switch (row.then) {
      case Then::Nothing:
        break;
      case Then::RefreshThread:
        CreateRefreshThread();
        break;
      case Then::PathA:
        InitBirdPath(PathA, static_cast<int>(kBirdTable1.size()), kBirdTable1, 0, 32);
        break;
      case Then::PathB:
        InitBirdPath(PathB, static_cast<int>(kBirdTable1.size()), kBirdTable1, 10, 36);
        break;
      case Then::PathsCD:
        InitBirdPath(PathC, static_cast<int>(kBirdTable2.size()), kBirdTable2, 0, 50);
        InitBirdPath(PathD, static_cast<int>(kBirdTable2.size()), kBirdTable2, 9, 50);
        break;
      case Then::Butterflies:
        InitButterflyPaths();
        break;
    }
  }

  BirdStrip2 = dynamic_cast<components::TWMV*>(FindComponent("BirdStrip2"));
  BirdStripSmall = dynamic_cast<components::TWMV*>(FindComponent("BirdStripSmall"));

  WaterFrame = 0;
  Wss1->SetTimerEnabled(true);
  StartMusic();
  platform::ShowCursor(false);
}

void TForm1::PlaceStill(components::TWIM& sprite, bool stretching, bool transparent, int height, int width, int top,
                        int left) {
  sprite.SetStretching(stretching);
  sprite.SetShowX(left);
  sprite.SetShowY(top);
  sprite.SetOriginalWidth(width);
  sprite.SetOriginalHeight(height);
  sprite.CreateDXImage();
  sprite.SetTransparency(transparent);
  // Its surface holds the pixels now; a restore decodes the picture again.
  sprite.Picture()->Dormant();
}

void TForm1::PlaceStrip(components::TWMV& strip, bool stretching, bool transparent, int frameRows, bool setSize,
                        int stretchWidth, int stretchHeight, int top, int left) {
  strip.SetStretching(stretching);
  strip.SetShowX(left);
  strip.SetShowY(top);
  strip.SetYOffsetFrame(frameRows);
  if (setSize) {
    strip.SetStretchWidth(stretchWidth);
    strip.SetStretchHeight(stretchHeight);
  }
  if (strip.Picture()->IsJpeg()) {
    // The frames are cut from the picture's rows as they are decoded, and so
    // again after a display loss: the strip is never held decoded beside them.
    strip.Picture()->Dormant();
    strip.SetDibFromPicture();
  }
  strip.CreateDXMovie();
  strip.SetTransparency(transparent);
}

void TForm1::CloneBirdStrip(components::TWMV& strip, const components::TWMV& model) {
  strip.SetParent(Wss1);
  strip.SetBounds(1, 1, 1, 1);
  strip.Picture()->Assign(model.Picture()->Bitmap());
}

void TForm1::InitButterflyPaths() {
  ButterflyCount = kButterflyCount;
  WingFrame = 0;
  for (int k = 0; k < kButterflyCount; ++k) {
    ButterflyPaths[static_cast<std::size_t>(k)] = PathRecord{};
    InitButterflyPath(ButterflyPaths[static_cast<std::size_t>(k)], kButterflyStarts[static_cast<std::size_t>(k)]);
  }
}

void TForm1::StartMusic() { platform::PlaySound("SoundName", nullptr, platform::SND_RESOURCE | platform::SND_ASYNC | platform::SND_LOOP); }

void TForm1::StopMusic() { platform::PlaySound(nullptr, nullptr, platform::SND_PURGE); }

// The weather and news refresh is started and stopped here and nowhere else.
void TForm1::CreateRefreshThread() {
  if (FRefresh) return;
  FRefresh = std::make_unique<online::WeatherHTTP>(online::TFeedTargets{Wss1, HttpClient1, WGW1, WGR1, &NewsLink});
}

// Also ends a request in progress: the exit does not wait out the time-out.
void TForm1::StopRefreshThread() {
  if (FRefresh) FRefresh->Terminate();
}

// ---- one frame, back to front ----

namespace {

enum class DrawnWhen { Always, AnyGadget, Time, Weather, News };

struct DrawingStep {
  DrawnWhen when;
  void (*draw)(TForm1& f);
};

// The drawing order: the small birds behind the big tree, the larger birds
// between the trees, the butterflies in front of all but the gadget strip.
constexpr DrawingStep kDrawingOrder[] = {
    /*  1 */ {DrawnWhen::Always, [](TForm1& f) { f.WIM1->DrawImage(); }},
    /*  2 */ {DrawnWhen::Always, [](TForm1& f) { f.WMV1->SetNumberFrame(f.WaterFrame); f.WMV1->DrawMovie(); }},
    /*  3 */ {DrawnWhen::Always, [](TForm1& f) { StepBird(*f.BirdStripSmall, f.PathC); }},
    /*  4 */ {DrawnWhen::Always, [](TForm1& f) { StepBird(*f.BirdStripSmall, f.PathD); }},
    /*  5 */ {DrawnWhen::Always, [](TForm1& f) { f.WIM2tree->DrawImage(); }},
    /*  6 */ {DrawnWhen::Always, [](TForm1& f) { StepBird(*f.BirdStrip2, f.PathB); }},
    /*  7 */ {DrawnWhen::Always, [](TForm1& f) { StepBird(*f.WMV3SGsmall, f.PathA); }},
    /*  8 */ {DrawnWhen::Always, [](TForm1& f) { f.WIM2tree_n1->DrawImage(); }},
    /*  9 */ {DrawnWhen::Always, [](TForm1& f) { f.DrawButterflies(); }},
    /* 10 */ {DrawnWhen::AnyGadget, [](TForm1& f) { f.WIM2GadgetPanel->DrawImage(); }},
    /* 11 */ {DrawnWhen::Time, [](TForm1& f) { f.WGC1->DrawImage(); f.WGC1->DrawGadgetClock(); }},
    /* 12 */ {DrawnWhen::Weather, [](TForm1& f) { f.WGW1->DrawImage(); f.WGW1->DrawGadgetWeather(); }},
    /* 13 */ {DrawnWhen::News, [](TForm1& f) { f.WGR1->DrawImage(); f.WGR1->DrawRssNews(); }},
};

bool Drawn(DrawnWhen when, int time, int weather, int news) {
  switch (when) {
    case DrawnWhen::Always: return true;
    case DrawnWhen::AnyGadget: return time + weather + news > 0;
    case DrawnWhen::Time: return time != 0;
    case DrawnWhen::Weather: return weather != 0;
    case DrawnWhen::News: return news != 0;
  }
  return false;
}

}  // namespace

void TForm1::Wss1Timer(framework::TObject*) {
  if (++WaterFrame > 31) WaterFrame = 0;
  if (++WingFrame > 15) WingFrame = 0;
  const int time = Wss1->GetShowTime();
  const int weather = Wss1->GetShowWeather();
  const int news = Wss1->GetShowNews();
  for (const DrawingStep& step : kDrawingOrder)
    if (Drawn(step.when, time, weather, news)) step.draw(*this);
}

void TForm1::DrawButterflies() {
  for (int k = 0; k < ButterflyCount; ++k) {
    PathRecord& path = ButterflyPaths[static_cast<std::size_t>(k)];
    StepButterfly(path);
    WMV2btfl->SetShowX(Wss1->GetWidthScreen() * static_cast<int>(path.x) / 800);
    WMV2btfl->SetShowY(Wss1->GetHeightScreen() * static_cast<int>(path.y) / 600);
    WMV2btfl->SetNumberFrame(WingFrame % 15);
    WMV2btfl->DrawMovie();
  }
}

// ---- keys, mouse and exit ----

void TForm1::FormKeyPress(framework::TObject*, char& Key) {
  if (Key == kEscape) EndSaver();
}

void TForm1::FormKeyDown(framework::TObject*, std::uint16_t& Key, framework::TShiftState) {
  if (Key == kVkF2) {
    platform::ShellOpen(NewsLink.Get());
    EndSaver();
  } else if (Key == kVkF3) {
    platform::ShellOpen(ForecastAddress());
    EndSaver();
  }
}

void TForm1::FormMouseMove(framework::TObject*, framework::TShiftState, int X, int Y) {
  if ((std::abs(X - LastMouseX) > kMouseJitter && LastMouseX != 0) ||
      (std::abs(Y - LastMouseY) > kMouseJitter && LastMouseY != 0))
    EndSaver();
  LastMouseX = X;
  LastMouseY = Y;
}

std::string TForm1::ForecastAddress() const {
  return std::string(kForecastSite) + "/forecast/" + Wss1->GetWeatherCode() +
         (Wss1->GetTDegree() == "c" ? "_c.html" : ".html");
}

void TForm1::EndSaver() {
  if (FEnding) return;  // a second request while closing
  FEnding = true;
  StopRefreshThread();
  Wss1->SetTimerEnabled(false);
  Wss1->SetEnabled(false);
  StopMusic();
  platform::ShowCursor(true);
  Hide();
  SetBorderStyle(framework::TFormBorderStyle::bsSizeable);
  SetHeight(20);
  SetWidth(20);
  Close();
}

}  // namespace scene
