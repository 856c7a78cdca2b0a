#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "components/Wss.h"
#include "platform/DisplayDriver.h"
#include "platform/Mixer.h"
#include "platform/Registry.h"
#include "support/EngineOnForm.h"
#include "support/TempConfigHome.h"

using components::TWss;
using platform::DDGAMMARAMP;

namespace {

constexpr std::uint32_t kColour = 0x00C86432;  // red 200, green 100, blue 50

struct BrightnessTest : ::testing::Test, testing_support::EngineOnForm {
  TempConfigHome home;
  int errors = 0;

  BrightnessTest() {
    wss->SetBrandName("Tarrowind Software");
    wss->SetSSName("Brisvane Screensaver");
    wss->OnError = [this](framework::TObject*) { ++errors; };
    ConfigureLikeTheScene(64, 48);
  }
  bool Open() const { return DisplayOpen(); }
  // Draws one frame of a single colour and returns a pixel as presented.
  std::uint32_t Presented(std::uint32_t colour = kColour) {
    platform::IDirectDrawSurface* back = wss->FDDBACK.load();
    if (!back) return 0xDEADBEEF;
    std::fill(back->Pixels(), back->Pixels() + back->Width() * back->Height(), colour);
    wss->FlipSurfaces();
    int w = 0, h = 0;
    auto frame = env.display->LastFrame(&w, &h);
    for (std::uint32_t p : frame)
      if ((p & 0xFFFFFF) != (frame[0] & 0xFFFFFF)) return 0xBADBAD;  // the whole frame changes alike
    return frame.empty() ? 0xDEADBEEF : frame[0] & 0xFFFFFF;
  }
  void StoreSettings(int brightness, int volume) {
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Tarrowind Software\\Brisvane Screensaver", true));
    reg.WriteInteger("Brightness", brightness);
    reg.WriteInteger("SoundVolume", volume);
  }
};

// Records the levels the engine sets.
class RecordingMixer : public platform::Mixer {
 public:
  RecordingMixer(std::vector<long>* sets, long max, bool present) : sets_(sets), max_(max), present_(present) {}
  bool Open() override { return present_; }
  bool Range(long& min, long& max) override {
    min = 0;
    max = max_;
    return true;
  }
  bool Current(long& value) override {
    value = 0;
    return true;
  }
  bool SetAll(long value) override {
    sets_->push_back(value);
    return true;
  }
  void Close() override {}

 private:
  std::vector<long>* sets_;
  long max_;
  bool present_;
};

}  // namespace

TEST_F(BrightnessTest, RampIsAccumulatedInSixteenBits) {
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  struct Case {
    int value;
    std::uint16_t at1, at255;
  };
  for (const Case& c : {Case{256, 256, 65280}, Case{128, 128, 32640}, Case{0, 0, 0}, Case{257, 257, 65535},
                        Case{300, 300, static_cast<std::uint16_t>(255 * 300)}, Case{65536 + 5, 5, 1275}}) {
    wss->SetRGB(c.value);
    EXPECT_EQ(wss->GetRGB(), c.value);
    const DDGAMMARAMP ramp = env.display->GammaRamp();
    for (const auto* channel : {ramp.red, ramp.green, ramp.blue}) {
      EXPECT_EQ(channel[0], 0) << c.value;
      EXPECT_EQ(channel[1], c.at1) << c.value;
      EXPECT_EQ(channel[255], c.at255) << c.value;
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(channel[i], static_cast<std::uint16_t>(i * (c.value & 0xFFFF))) << c.value << " entry " << i;
    }
  }
  // 300 wraps near the top: entry 218 is 65400, entry 219 is 65700 - 65536.
  wss->SetRGB(300);
  EXPECT_EQ(env.display->GammaRamp().green[218], 65400);
  EXPECT_EQ(env.display->GammaRamp().green[219], 164);
  EXPECT_EQ(wss->GetErrorResult(), "");
  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(Open());
}

TEST_F(BrightnessTest, TheRampChangesWhatIsPresented) {
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(Presented(), kColour);
  wss->SetRGB(128);
  EXPECT_EQ(Presented(), 0x00643219u) << "128 halves every level";
  wss->SetRGB(0);
  EXPECT_EQ(Presented(), 0u) << "0 is black";
  EXPECT_EQ(Presented(0x00FFFFFF), 0u);
  wss->SetLinearRGB(256, 0, 0);
  EXPECT_EQ(wss->GetRGB(), 0) << "SetLinearRGB leaves Brightness alone";
  EXPECT_EQ(Presented(), 0x00C80000u) << "red only, at its own level";
  const DDGAMMARAMP ramp = env.display->GammaRamp();
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(ramp.red[i], i * 256);
    ASSERT_EQ(ramp.green[i], 0);
    ASSERT_EQ(ramp.blue[i], 0);
  }
  wss->SetLinearRGB(256, 128, 0);
  EXPECT_EQ(Presented(), 0x00C83200u);
  wss->SetRGB(256);
  EXPECT_EQ(Presented(), kColour);
}

TEST_F(BrightnessTest, EnablingAppliesAStoredBrightnessBelow256AndTheVolume) {
  std::vector<long> levels;
  platform::SetMixerFactoryForTesting(
      [&levels] { return std::unique_ptr<platform::Mixer>(new RecordingMixer(&levels, 65535, true)); });
  StoreSettings(128, 200);
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(wss->GetRGB(), 128);
  EXPECT_EQ(env.display->GammaRamp().blue[255], 32640);
  EXPECT_EQ(Presented(), 0x00643219u);
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_EQ(levels[0], 51199);
  platform::SetMixerFactoryForTesting([] { return std::unique_ptr<platform::Mixer>(); });
}

TEST_F(BrightnessTest, A256BrightnessLeavesTheDisplayRampUntouched) {
  StoreSettings(256, 0);
  DDGAMMARAMP custom = platform::DisplayDriver::IdentityRamp();
  custom.red[200] = 0;  // a ramp someone else set
  env.display->SetGammaRamp(custom);
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(env.display->GammaRamp().red[200], 0);
  EXPECT_EQ(env.display->GammaRamp().red[201], 201 * 257);
}

TEST_F(BrightnessTest, BrightnessZeroStillRunsAndExits) {
  StoreSettings(0, 0);
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(Presented(0x00FFFFFF), 0u);
  wss->SetTimerEnabled(true);
  ASSERT_TRUE(testing_support::WaitFor([&] { return env.display->FrameCount() > 3; }));
  wss->SetEnabled(false);
  EXPECT_FALSE(Open());
  EXPECT_EQ(errors, 0);
}

TEST_F(BrightnessTest, WithoutGammaSupportNothingChanges) {
  env.display->faults().gammaUnsupported = true;
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  wss->SetErrorResult("earlier");
  wss->SetRGB(100);
  wss->SetLinearRGB(0, 0, 0);
  EXPECT_EQ(wss->GetRGB(), 256);
  EXPECT_EQ(wss->GetErrorResult(), "earlier");
  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(Open());
  EXPECT_EQ(Presented(), kColour);
}

TEST_F(BrightnessTest, ALostPrimaryIsReportedAndTheDisplayStaysOpen) {
  wss->SetEnabled(true);
  ASSERT_TRUE(Open());
  env.display->LoseSurfaces();
  wss->SetRGB(100);
  EXPECT_EQ(wss->GetErrorResult(), "Lost surface");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(wss->GetRGB(), 256);
  EXPECT_TRUE(Open());
  EXPECT_EQ(env.display->GammaRamp().red[255], 255 * 257);
  // Restored on the next frame, the ramp can be set again.
  wss->IsLostRestore();
  wss->SetRGB(100);
  EXPECT_EQ(env.display->GammaRamp().red[255], 25500);
}

TEST_F(BrightnessTest, FailingRampCallsCloseTheDisplay) {
  struct Case {
    bool platform::DisplayFaults::*fault;
    const char* message;
  };
  for (const Case& c : {Case{&platform::DisplayFaults::failGetGamma, "Cannot GetGammaRamp"},
                        Case{&platform::DisplayFaults::failSetGamma, "Cannot SetGammaRamp"}}) {
    env.display->faults() = platform::DisplayFaults{};
    wss->SetEnabled(false);
    wss->SetEnabled(true);
    ASSERT_TRUE(Open()) << c.message;
    errors = 0;
    bool openWhenReported = true;
    wss->OnError = [&](framework::TObject*) {
      ++errors;
      openWhenReported = Open();
    };
    env.display->faults().*c.fault = true;
    wss->SetRGB(64);
    EXPECT_EQ(wss->GetErrorResult(), c.message);
    EXPECT_EQ(errors, 1) << c.message;
    EXPECT_FALSE(openWhenReported) << "the display is closed before OnError fires";
    EXPECT_FALSE(Open()) << c.message;
    EXPECT_EQ(wss->GetRGB(), 64) << "Brightness is stored before the ramp is read";
    EXPECT_EQ(env.display->GammaRamp().red[255], 255 * 257) << "the ramp did not change";
    // A closed display has no ramp to set: nothing happens, nothing breaks.
    wss->SetRGB(32);
    wss->SetLinearRGB(1, 2, 3);
    EXPECT_EQ(wss->GetRGB(), 64);
    EXPECT_EQ(errors, 1);
    wss->OnError = nullptr;
  }
}

TEST_F(BrightnessTest, MasterVolumeScalesTheFaderOntoTheMixer) {
  std::vector<long> levels;
  platform::SetMixerFactoryForTesting(
      [&levels] { return std::unique_ptr<platform::Mixer>(new RecordingMixer(&levels, 65535, true)); });
  wss->SetVolume(128);
  EXPECT_TRUE(levels.empty()) << "SetVolume only stores";
  EXPECT_EQ(wss->GetVolume(), 128);
  for (int volume : {200, 256, 128, 0}) EXPECT_TRUE(wss->SetMasterMixVolume(volume));
  EXPECT_EQ(levels, (std::vector<long>{51199, 65535, 32767, 0}));

  levels.clear();
  platform::SetMixerFactoryForTesting(
      [&levels] { return std::unique_ptr<platform::Mixer>(new RecordingMixer(&levels, 31, true)); });
  EXPECT_TRUE(wss->SetMasterMixVolume(200));
  EXPECT_EQ(levels, (std::vector<long>{24}));  // 51199 / 65535 of 0..31

  platform::SetMixerFactoryForTesting(
      [&levels] { return std::unique_ptr<platform::Mixer>(new RecordingMixer(&levels, 31, false)); });
  EXPECT_FALSE(wss->SetMasterMixVolume(200));
  platform::SetMixerFactoryForTesting([] { return std::unique_ptr<platform::Mixer>(); });
  EXPECT_FALSE(wss->SetMasterMixVolume(200));
  // No mixer: enabling goes on.
  wss->SetEnabled(true);
  EXPECT_TRUE(Open());
}

// The ramp is changed on the GUI thread while the frame thread presents.
TEST_F(BrightnessTest, RampChangesWhileFramesRun) {
  wss->SetEnabled(true);
  wss->SetTimerEnabled(true);
  ASSERT_TRUE(wss->GetTimerEnabled());
  for (int i = 0; i < 40; ++i) {
    if (i % 3) wss->SetRGB(i % 2 ? 128 : 256);
    else wss->SetLinearRGB(256, i, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  wss->SetRGB(128);
  const auto frames = env.display->FrameCount();
  ASSERT_TRUE(testing_support::WaitFor([&] { return env.display->FrameCount() > frames + 2; }));
  wss->SetEnabled(false);
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(wss->GetRGB(), 128);
  EXPECT_EQ(env.display->GammaRamp().red[255], 32640);
}
