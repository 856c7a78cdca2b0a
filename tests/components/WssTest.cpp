#include "components/Wss.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/Library.h"
#include "platform/Timer.h"
#include "support/EngineOnForm.h"

using components::TWss;
using framework::TComponent;
using framework::TForm;
using testing_support::LitPixels;
using testing_support::WaitFor;

namespace {

// Stands in for a sprite: counts what the engine asks of it.
class FakeSprite : public TComponent, public components::TWssSurfaceOwner {
 public:
  FakeSprite(TComponent* owner, std::string name) : TComponent(owner), name_(std::move(name)) {}
  std::string ClassName() const override { return name_; }
  void RestoreForEngine() override { ++restored; }
  void CloseForEngine() override { ++closed; }
  int restored = 0, closed = 0;

 private:
  std::string name_;
};

// A subclass of a sprite (as the gadgets are): must not be asked.
class FakeGadget : public FakeSprite {
 public:
  using FakeSprite::FakeSprite;
};

struct EngineTest : ::testing::Test, testing_support::EngineOnForm {
  int errors = 0;

  EngineTest() { wss->OnError = [this](framework::TObject*) { ++errors; }; }
  bool Open() const { return DisplayOpen(); }
  bool Closed() const { return DisplayClosed(); }
};

TEST_F(EngineTest, DefaultsAfterConstruction) {
  EXPECT_FALSE(wss->Enabled());
  EXPECT_EQ(wss->GetWidthScreen(), 800);
  EXPECT_EQ(wss->GetHeightScreen(), 600);
  EXPECT_EQ(wss->Width(), 800);
  EXPECT_EQ(wss->GetColorDepth(), 24);
  EXPECT_EQ(wss->GetInterval(), 40);
  EXPECT_EQ(wss->GetTickPeriod(), 500);
  EXPECT_TRUE(wss->GetUseIdle());
  EXPECT_TRUE(wss->GetActive());
  EXPECT_EQ(wss->GetRGB(), 256);
  EXPECT_EQ(wss->GetVolume(), 0);
  EXPECT_TRUE(Closed());
}

TEST_F(EngineTest, EnablingOpensOnceAndFlipsOneBlackFrame) {
  ConfigureLikeTheScene();
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(wss->GetErrorResult(), "");
  EXPECT_EQ(env.display->FrameCount(), 1u);
  auto* dd = wss->FDD.load();
  wss->SetEnabled(true);
  EXPECT_EQ(wss->FDD.load(), dd);
  EXPECT_EQ(env.display->FrameCount(), 1u);
  int w = 0, h = 0;
  auto frame = env.display->LastFrame(&w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  EXPECT_EQ(LitPixels(frame, w, 0, 0, w, h), 0);
  // The owner form was made borderless and black, the engine control hidden.
  EXPECT_EQ(form->BorderStyle(), framework::TFormBorderStyle::bsNone);
  EXPECT_EQ(form->Color(), framework::clBlack);
  EXPECT_FALSE(wss->Visible());
  EXPECT_EQ(env.display->BoundWindow(), form->Handle());
}

TEST_F(EngineTest, DisablingAClosedEngineDoesNothingAndDisablingClosesInOrder) {
  wss->SetEnabled(false);
  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(Closed());
  ConfigureLikeTheScene();
  wss->SetEnabled(true);
  wss->SetTimerEnabled(true);
  EXPECT_TRUE(wss->GetTimerEnabled());
  wss->SetEnabled(false);
  EXPECT_FALSE(wss->GetTimerEnabled());
  EXPECT_TRUE(Closed());
  const auto frames = env.display->FrameCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(env.display->FrameCount(), frames);
}

TEST_F(EngineTest, TimerBeforeEnablingStartsNothing) {
  ConfigureLikeTheScene();
  wss->SetTimerEnabled(true);
  EXPECT_FALSE(wss->GetTimerEnabled());
  EXPECT_EQ(wss->GetTimerId(), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(env.display->FrameCount(), 0u);
}

TEST_F(EngineTest, RefusedModeReportsReleasesAndDrawsNothing) {
  ConfigureLikeTheScene();
  env.display->faults().refuseWidth = 1024;
  env.display->faults().refuseHeight = 768;
  env.display->faults().refuseBpp = 32;
  wss->SetEnabled(true);
  EXPECT_TRUE(wss->Enabled());
  EXPECT_EQ(wss->GetErrorResult(), "Error SetDisplayMode");
  EXPECT_EQ(wss->GetLastResult(), platform::DDERR_INVALIDMODE);
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(Closed());
  EXPECT_EQ(env.display->FrameCount(), 0u);
  // Frame entry points do nothing on a closed display.
  wss->SetTimerEnabled(true);
  wss->Tick();
  wss->FlipSurfaces();
  bool done = true;
  wss->GameLoop(nullptr, done);
  EXPECT_EQ(env.display->FrameCount(), 0u);
}

TEST_F(EngineTest, EveryFailingOpenStepHasItsMessage) {
  struct Case {
    bool platform::DisplayFaults::*fault;
    const char* message;
  };
  const Case cases[] = {
      {&platform::DisplayFaults::failCreate, "Error DirectDrawCreate"},
      {&platform::DisplayFaults::failCooperativeLevel, "Error SetCooperativeLevel"},
      {&platform::DisplayFaults::refuseAllModes, "Error SetDisplayMode"},
      {&platform::DisplayFaults::failPrimary, "Error CreatePrimarySurface"},
      {&platform::DisplayFaults::failBackSurface, "Error CreateBackSurface"},
  };
  ConfigureLikeTheScene();
  for (const Case& c : cases) {
    env.display->faults() = {};
    env.display->faults().*c.fault = true;
    errors = 0;
    wss->SetEnabled(false);
    wss->SetEnabled(true);
    EXPECT_EQ(wss->GetErrorResult(), c.message);
    EXPECT_EQ(errors, 1) << c.message;
    EXPECT_TRUE(Closed()) << c.message;
    EXPECT_NE(wss->GetLastResult(), platform::DD_OK) << c.message;
  }
  env.display->faults() = {};
  wss->SetEnabled(false);
  wss->SetErrorResult("");
  wss->SetEnabled(true);
  EXPECT_TRUE(Open());
}

TEST_F(EngineTest, DualMonitorPaths) {
  ConfigureLikeTheScene();
  wss->SetDualMonitor(true);
  env.display->SetMonitorCount(1);
  wss->SetEnabled(true);
  EXPECT_EQ(wss->GetErrorResult(), "This program work only in dual monitor system!");
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(Closed());

  // Two monitors: the third enumerated device (the second monitor) is used.
  wss->SetEnabled(false);
  wss->SetErrorResult("");
  errors = 0;
  env.display->SetMonitorCount(2);
  wss->SetEnabled(true);
  EXPECT_TRUE(Open());
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(env.display->BoundMonitor(), 1);  // shown on the second monitor

  // No display library: reported, then opened on the default device.
  wss->SetEnabled(false);
  platform::SetBuiltinLibraryHiddenForTesting("ddraw.dll", true);
  wss->SetEnabled(true);
  platform::SetBuiltinLibraryHiddenForTesting("ddraw.dll", false);
  EXPECT_EQ(wss->GetErrorResult(), "ERROR EnumerateScreens");
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(Open());
  EXPECT_EQ(env.display->BoundMonitor(), -1);

  wss->SetEnabled(false);
  env.display->faults().failCreate = true;
  wss->SetEnabled(true);
  EXPECT_EQ(wss->GetErrorResult(), "Error DirectDrawCreate on secondary monitor");
  EXPECT_TRUE(Closed());
}

TEST_F(EngineTest, EnumerationRemembersTheThirdDevice) {
  env.display->SetMonitorCount(3);
  EXPECT_EQ(wss->EnumerateScreens(), platform::DD_OK);
  // A display object can be made on the remembered device, which is monitor 2.
  struct Seen {
    std::vector<std::string> names;
  } seen;
  platform::DirectDrawEnumerateExA(
      [](platform::GUID*, const char* description, const char*, void* context, void*) {
        static_cast<Seen*>(context)->names.push_back(description);
        return true;
      },
      &seen, platform::DDENUM_ATTACHEDSECONDARYDEVICES);
  ASSERT_EQ(seen.names.size(), 4u);
  EXPECT_EQ(seen.names[2], "Monitor 2");
}

TEST_F(EngineTest, ActivationStopsAndRestartsTicks) {
  ConfigureLikeTheScene();
  std::atomic<int> ticks{0};
  wss->OnTimer = [&](framework::TObject*) { ++ticks; };
  wss->SetEnabled(true);
  wss->SetTimerEnabled(true);
  ASSERT_TRUE(WaitFor([&] { return ticks.load() >= 2; }));
  wss->AppDeactivate(nullptr);
  EXPECT_FALSE(wss->GetActive());
  EXPECT_FALSE(wss->GetTimerEnabled());
  const int stopped = ticks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(ticks.load(), stopped);
  wss->AppActivate(nullptr);
  EXPECT_TRUE(wss->GetTimerEnabled());
  EXPECT_TRUE(WaitFor([&] { return ticks.load() >= stopped + 2; }));
  wss->SetTimerEnabled(false);
}

TEST_F(EngineTest, ActivationEventsOfTheApplicationReachTheEngine) {
  ConfigureLikeTheScene();
  wss->SetEnabled(true);
  env.gui->Post({platform::GuiEvent::Type::Deactivate});
  env.app->ProcessMessages();
  EXPECT_FALSE(wss->GetActive());
  env.gui->Post({platform::GuiEvent::Type::Activate});
  env.app->ProcessMessages();
  EXPECT_TRUE(wss->GetActive());
  EXPECT_TRUE(wss->GetTimerEnabled());
  wss->SetEnabled(false);
}

TEST_F(EngineTest, RestoreAndCloseAskOnlyExactSpriteClasses) {
  auto* still = new FakeSprite(form, "TWIM");
  auto* strip = new FakeSprite(form, "TWMV");
  auto* gadget = new FakeGadget(form, "TWGC");
  auto* other = new FakeSprite(form, "TWIMX");
  ConfigureLikeTheScene();
  wss->SetEnabled(true);
  wss->IsLostRestore();  // nothing lost: nobody asked
  EXPECT_EQ(still->restored, 0);
  env.display->LoseSurfaces();
  EXPECT_EQ(wss->FDDPRIM.load()->IsLost(), platform::DDERR_SURFACELOST);
  wss->Tick();  // the frame restores before it draws
  EXPECT_EQ(wss->FDDPRIM.load()->IsLost(), platform::DD_OK);
  EXPECT_EQ(still->restored, 1);
  EXPECT_EQ(strip->restored, 1);
  EXPECT_EQ(gadget->restored, 0);
  EXPECT_EQ(other->restored, 0);
  // A restore that fails is retried on the next frame.
  env.display->LoseSurfaces();
  env.display->faults().failRestore = true;
  wss->Tick();
  EXPECT_EQ(still->restored, 1);
  env.display->faults().failRestore = false;
  wss->Tick();
  EXPECT_EQ(still->restored, 2);
  wss->SetEnabled(false);
  EXPECT_EQ(still->closed, 1);
  EXPECT_EQ(strip->closed, 1);
  EXPECT_EQ(gadget->closed, 0);
  EXPECT_EQ(other->closed, 0);
}

TEST_F(EngineTest, CooperativeWindowFollowsDefineFormHandle) {
  TForm* other = nullptr;
  env.app->CreateForm(&other);
  ConfigureLikeTheScene();
  wss->SetParentForm(other);
  wss->SetFormHandle(false);
  wss->SetEnabled(true);
  EXPECT_EQ(wss->GetDDForm(), form);
  EXPECT_EQ(env.display->BoundWindow(), form->Handle());
  wss->SetEnabled(false);

  wss->SetParentForm(other);
  wss->SetFormHandle(true);
  wss->SetEnabled(true);
  EXPECT_EQ(wss->GetDDForm(), other);
  EXPECT_EQ(env.display->BoundWindow(), other->Handle());
  wss->SetEnabled(false);

  wss->SetParentForm(nullptr);
  wss->SetEnabled(true);
  EXPECT_EQ(wss->GetDDForm(), form);
}

TEST_F(EngineTest, IntervalSetsTheBigTickPeriod) {
  wss->SetInterval(40);
  EXPECT_EQ(wss->GetTickPeriod(), 500);
  wss->SetInterval(30);
  EXPECT_EQ(wss->GetTickPeriod(), 660);
  wss->SetInterval(7);
  EXPECT_EQ(wss->GetTickPeriod(), 2840);
  wss->SetInterval(0);  // refused: would divide by zero
  EXPECT_EQ(wss->GetInterval(), 7);
}

TEST_F(EngineTest, BigTickFlipsOnThe501stTick) {
  ConfigureLikeTheScene();
  int timerCalls = 0;
  wss->OnTimer = [&](framework::TObject*) { ++timerCalls; };
  wss->SetEnabled(true);
  for (int i = 0; i < 500; ++i) wss->Tick();
  EXPECT_FALSE(wss->GetBigTick());
  wss->Tick();
  EXPECT_TRUE(wss->GetBigTick());
  for (int i = 0; i < 501; ++i) wss->Tick();
  EXPECT_FALSE(wss->GetBigTick());
  EXPECT_EQ(timerCalls, 1002);
  // Paused ticks neither draw nor count.
  wss->AppDeactivate(nullptr);
  for (int i = 0; i < 600; ++i) wss->Tick();
  EXPECT_FALSE(wss->GetBigTick());
  EXPECT_EQ(timerCalls, 1002);
}

TEST_F(EngineTest, IdleDrivenModeDrawsFromGameLoopOnly) {
  wss->SetWidthScreen(64);
  wss->SetHeightScreen(48);
  wss->SetColorDepth(32);
  int games = 0, timers = 0;
  wss->OnGameLoop = [&](framework::TObject*) { ++games; };
  wss->OnTimer = [&](framework::TObject*) { ++timers; };
  wss->SetEnabled(true);  // UseIdle true by default: hooks the idle handler
  ASSERT_TRUE(static_cast<bool>(env.app->OnIdle));
  bool done = true;
  env.app->OnIdle(nullptr, done);
  EXPECT_FALSE(done);
  EXPECT_EQ(games, 1);
  const auto frames = env.display->FrameCount();
  wss->Tick();  // the timer only fires OnTimer in this mode
  EXPECT_EQ(timers, 1);
  EXPECT_EQ(env.display->FrameCount(), frames);
  wss->StopIdle(true);
  EXPECT_FALSE(static_cast<bool>(env.app->OnIdle));
  wss->StopIdle(false);
  EXPECT_TRUE(static_cast<bool>(env.app->OnIdle));
  wss->SetEnabled(false);
  EXPECT_FALSE(static_cast<bool>(env.app->OnIdle));
}

TEST_F(EngineTest, ChangingTheDelayWhileRunningKeepsTheOldPeriod) {
  ConfigureLikeTheScene();
  wss->SetInterval(20);
  std::atomic<int> ticks{0};
  wss->OnTimer = [&](framework::TObject*) { ++ticks; };
  wss->SetEnabled(true);
  wss->SetTimerEnabled(true);
  wss->SetInterval(1000);
  // At the new period there would be no tick within 600 ms; at the old one about 30.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_GE(ticks.load(), 5);
  wss->SetTimerEnabled(false);
}

TEST_F(EngineTest, FullExitClosesTheOwnerForm) {
  form->Show();
  wss->FullExit();
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->BorderStyle(), framework::TFormBorderStyle::bsSizeable);
  EXPECT_EQ(form->Width(), 20);
  EXPECT_EQ(form->Height(), 20);
  EXPECT_TRUE(env.app->Terminated());
}

// ---- diagnostics ----

struct DiagnosticsTest : EngineTest {
  std::atomic<std::uint32_t> now{100000};
  DiagnosticsTest() {
    TWss::ResetFrameRateForTesting();
    platform::SetTimeGetTimeForTesting([this] { return now.load(); });
    ConfigureLikeTheScene();
    wss->SetEnabled(true);
  }
  ~DiagnosticsTest() override { platform::SetTimeGetTimeForTesting(nullptr); }
  std::vector<std::uint32_t> Frame() { return env.display->LastFrame(); }
};

TEST_F(DiagnosticsTest, SteadyFramesReadTheirRateFromTheSecondRefresh) {
  wss->SetshowFPS(true);
  int firstRefresh = -1;
  for (int frame = 1; frame <= 30; ++frame) {
    now += 40;
    wss->Tick();
    if (frame == 10) firstRefresh = TWss::LastFrameRate();
    if (frame == 20) {
      EXPECT_EQ(TWss::LastFrameRate(), 25);
    }
  }
  EXPECT_NE(firstRefresh, 25);  // measured against time 0: meaningless
  EXPECT_EQ(TWss::LastFrameRate(), 25);
  auto frame = Frame();
  // "Frame rate: 25 FPS" at (20, 738): lit pixels there and nowhere else.
  EXPECT_GT(LitPixels(frame, 1024, 20, 738, 220, 760), 50);
  EXPECT_EQ(LitPixels(frame, 1024, 0, 0, 1024, 730), 0);
  EXPECT_EQ(LitPixels(frame, 1024, 0, 738, 19, 768), 0);
}

TEST_F(DiagnosticsTest, TenFramesWithinOneClockTickKeepTheLastRate) {
  wss->SetshowFPS(true);
  for (int i = 0; i < 20; ++i) {
    now += 40;
    wss->Tick();
  }
  for (int i = 0; i < 10; ++i) wss->Tick();  // the clock stands still
  EXPECT_EQ(TWss::LastFrameRate(), 25);
}

TEST_F(DiagnosticsTest, TestStringsAtTheirRowsAndEmptyOnesDrawNothing) {
  wss->SetShowTestString2(true);
  wss->Tick();
  EXPECT_EQ(LitPixels(Frame(), 1024, 0, 0, 1024, 768), 0);
  wss->SetTestString("one");
  wss->SetShowTestString(true);
  wss->SetTestString3("three");
  wss->SetShowTestString3(true);
  wss->Tick();
  auto frame = Frame();
  EXPECT_GT(LitPixels(frame, 1024, 20, 20, 120, 38), 10);
  EXPECT_EQ(LitPixels(frame, 1024, 0, 40, 1024, 58), 0);
  EXPECT_GT(LitPixels(frame, 1024, 20, 60, 120, 78), 10);
  EXPECT_EQ(LitPixels(frame, 1024, 0, 80, 1024, 768), 0);
}

TEST_F(DiagnosticsTest, NoDrawingContextSkipsTheTextOnly) {
  wss->SetTestString("text");
  wss->SetShowTestString(true);
  env.display->faults().failGetDC = true;
  const auto frames = env.display->FrameCount();
  wss->Tick();
  EXPECT_EQ(env.display->FrameCount(), frames + 1);
  EXPECT_EQ(LitPixels(Frame(), 1024, 0, 0, 1024, 768), 0);
  env.display->faults().failGetDC = false;
  wss->Tick();
  EXPECT_GT(LitPixels(Frame(), 1024, 0, 0, 1024, 768), 0);
}

}  // namespace
