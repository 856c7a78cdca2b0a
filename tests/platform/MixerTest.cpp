#include "platform/Mixer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records what the volume code asks of a mixer; each step can be made to fail.
class FakeMixer : public platform::Mixer {
 public:
  long min = 0, max = 65535;
  bool failOpen = false, failRange = false, failCurrent = false, failSet = false;
  bool open = false;
  int opens = 0, closes = 0;
  std::vector<long> sets;

  bool Open() override {
    ++opens;
    open = !failOpen;
    return open;
  }
  bool Range(long& lo, long& hi) override {
    EXPECT_TRUE(open);
    lo = min;
    hi = max;
    return !failRange;
  }
  bool Current(long& value) override {
    EXPECT_TRUE(open);
    value = min;
    return !failCurrent;
  }
  bool SetAll(long value) override {
    EXPECT_TRUE(open);
    if (failSet) return false;
    sets.push_back(value);
    return true;
  }
  void Close() override {
    ++closes;
    open = false;
  }
};

}  // namespace

TEST(Mixer, FaderScaleToDetail) {
  EXPECT_EQ(platform::VolumeDetail(200), 51199u);
  EXPECT_EQ(platform::VolumeDetail(256), 65535u);
  EXPECT_EQ(platform::VolumeDetail(128), 32767u);
  EXPECT_EQ(platform::VolumeDetail(0), 0u);
  EXPECT_EQ(platform::VolumeDetail(1), 255u);
  EXPECT_EQ(platform::VolumeDetail(257), 65790u);  // above the scale: not clamped here
  EXPECT_EQ(platform::VolumeDetail(-1), 0xFFFFFFFFu * 65535u >> 8);  // unsigned 32-bit, wraps
}

TEST(Mixer, DetailMapsLinearlyOntoTheElementRange) {
  // A full 16-bit range is the detail itself.
  for (std::uint32_t d : {0u, 1u, 32767u, 51199u, 65535u}) EXPECT_EQ(platform::DetailToLevel(d, 0, 65535), long(d));
  // A typical card: 0..87 steps.
  EXPECT_EQ(platform::DetailToLevel(0, 0, 87), 0);
  EXPECT_EQ(platform::DetailToLevel(65535, 0, 87), 87);
  EXPECT_EQ(platform::DetailToLevel(32767, 0, 87), 43);  // 43.4993
  EXPECT_EQ(platform::DetailToLevel(51199, 0, 87), 68);  // 67.97
  EXPECT_EQ(platform::DetailToLevel(128, 0, 87), 0);  // 0.17
  EXPECT_EQ(platform::DetailToLevel(600, 0, 87), 1);  // 0.80
  // Ranges that do not start at zero, and a detail above the top.
  EXPECT_EQ(platform::DetailToLevel(0, -10239, 400), -10239);
  EXPECT_EQ(platform::DetailToLevel(65535, -10239, 400), 400);
  EXPECT_EQ(platform::DetailToLevel(65790, 0, 87), 87);
  EXPECT_EQ(platform::DetailToLevel(40000, 5, 5), 5);
}

TEST(Mixer, SetsEveryChannelOnceAndCloses) {
  FakeMixer mixer;
  mixer.min = 0;
  mixer.max = 127;
  EXPECT_TRUE(platform::SetMasterVolume(mixer, platform::VolumeDetail(200)));
  ASSERT_EQ(mixer.sets.size(), 1u);
  EXPECT_EQ(mixer.sets[0], 99);  // 51199 of 65535 on 0..127 is 99.2
  EXPECT_EQ(mixer.opens, 1);
  EXPECT_FALSE(mixer.open);
}

TEST(Mixer, AnyFailingStepReturnsFalseAndClosesTheMixer) {
  for (int step = 0; step < 4; ++step) {
    FakeMixer mixer;
    mixer.failOpen = step == 0;
    mixer.failRange = step == 1;
    mixer.failCurrent = step == 2;
    mixer.failSet = step == 3;
    EXPECT_FALSE(platform::SetMasterVolume(mixer, 65535)) << step;
    EXPECT_TRUE(mixer.sets.empty()) << step;
    EXPECT_FALSE(mixer.open) << step;
  }
}

TEST(Mixer, MissingCardFailsQuietly) {
  // A card that cannot exist: the real ALSA path, without touching any real volume.
  auto mixer = platform::MakeAlsaMixer("hw:97");
  testing::internal::CaptureStderr();
  const bool ok = platform::SetMasterVolume(*mixer, 65535);
  const std::string noise = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_EQ(noise, "");
}

TEST(Mixer, TestFactoryReplacesTheSystemMixer) {
  auto* created = new FakeMixer;
  platform::SetMixerFactoryForTesting([created] { return std::unique_ptr<platform::Mixer>(created); });
  auto mixer = platform::MakeSystemMixer();
  EXPECT_EQ(mixer.get(), created);
  platform::SetMixerFactoryForTesting(nullptr);
}
