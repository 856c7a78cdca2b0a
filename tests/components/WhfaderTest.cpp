#include "components/Whfader.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "components/QtBitmap.h"
#include "support/KnobPicture.h"
#include "support/QtApplication.h"
#include "support/QtInput.h"

namespace {

using components::TWHFADER;
using testing_support::FaderPicture;
using testing_support::Grabbed;

QImage Solid(int width, int height, QRgb colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

struct FaderTest : ::testing::Test, testing_support::WithQtApplication {
  // The dialog's own bitmaps: track 199 x 24, knob 34 x 16.
  QImage track = components::ResourceImage("FADER_TRACK");
  QImage knob = components::ResourceImage("FADER_KNOB");
  std::unique_ptr<TWHFADER> fader = std::make_unique<TWHFADER>();
  int changes = 0;

  void SetUp() override {
    ASSERT_EQ(track.size(), QSize(199, 24));
    ASSERT_EQ(knob.size(), QSize(34, 16));
    fader->SetGround(track);
    fader->SetKnob(knob);
    fader->OnValueChanged = [this](framework::TObject* sender) {
      EXPECT_EQ(sender, fader.get());
      ++changes;
    };
  }
};

TEST_F(FaderTest, TakesTheTracksSizeAndStartsAtTheRightEnd) {
  EXPECT_EQ(fader->size(), QSize(199, 24));
  EXPECT_EQ(fader->GetValue(), 256);
  EXPECT_FALSE(fader->Dragging());
  EXPECT_EQ(Grabbed(fader.get()), FaderPicture(track, knob, 165, 3));
}

TEST_F(FaderTest, KnobCentreFollowsThePointerWithinTheScale) {
  using testing_support::MoveHeld;
  testing_support::Press(fader.get(), {99, 12});
  EXPECT_TRUE(fader->Dragging());
  EXPECT_EQ(fader->GetValue(), 256) << "a press alone must not move the knob";
  EXPECT_EQ(changes, 0);
  const struct {
    int x, value;
  } moves[] = {{17, 0}, {99, 127}, {182, 256}, {-50, 0}, {400, 256}, {100, 128}, {16, 0}, {18, 1}};
  int expectedChanges = 0;
  for (const auto& m : moves) {
    MoveHeld(fader.get(), {m.x, 12});
    EXPECT_EQ(fader->GetValue(), m.value) << "pointer x " << m.x;
    EXPECT_EQ(changes, ++expectedChanges) << "every move while dragging reports";
  }
  // The same position again still reports, though nothing changed.
  MoveHeld(fader.get(), {18, 12});
  EXPECT_EQ(changes, ++expectedChanges);
  testing_support::Release(fader.get(), {18, 12});
  EXPECT_FALSE(fader->Dragging());
  MoveHeld(fader.get(), {150, 12}, Qt::NoButton);
  EXPECT_EQ(fader->GetValue(), 1) << "moves after the release do nothing";
  EXPECT_EQ(changes, expectedChanges);
}

TEST_F(FaderTest, AnyButtonDragsAndAClickAloneKeepsTheValue) {
  fader->SetValue(40);
  testing_support::Click(fader.get(), {190, 12}, Qt::RightButton);
  EXPECT_EQ(fader->GetValue(), 40);
  testing_support::Press(fader.get(), {190, 12}, Qt::RightButton);
  testing_support::MoveHeld(fader.get(), {182, 12}, Qt::RightButton);
  EXPECT_EQ(fader->GetValue(), 256);
}

TEST_F(FaderTest, SetValueIsStoredUnclampedAndPaintedBeyondTheEnd) {
  fader->SetValue(300);
  EXPECT_EQ(fader->GetValue(), 300);
  EXPECT_EQ(changes, 0) << "SetValue does not report";
  EXPECT_EQ(Grabbed(fader.get()), FaderPicture(track, knob, 193, 3));
  fader->SetValue(0);
  EXPECT_EQ(Grabbed(fader.get()), FaderPicture(track, knob, 0, 3));
  EXPECT_EQ(fader->Buffer().size(), QSize(199, 24));
  // Far out of range neither overflows nor crashes.
  fader->SetValue(INT_MAX);
  (void)Grabbed(fader.get());
  fader->SetValue(INT_MIN);
  (void)Grabbed(fader.get());
}

TEST(FaderWithoutUsableBitmaps, IgnoresDraggingAndDrawsNothing) {
  testing_support::QtApplication();
  struct Case {
    const char* what;
    QImage track, knob;
  } cases[] = {
      {"no bitmaps", QImage(), QImage()},
      {"knob as wide as the track", Solid(34, 24, 0x336699), Solid(34, 16, 0xFF0000)},
      {"knob wider than the track", Solid(20, 24, 0x336699), Solid(34, 16, 0xFF0000)},
  };
  for (const Case& c : cases) {
    TWHFADER fader;
    fader.SetGround(c.track);
    fader.SetKnob(c.knob);
    int changes = 0;
    fader.OnValueChanged = [&](framework::TObject*) { ++changes; };
    testing_support::Press(&fader, {5, 5});
    for (int x : {-10, 0, 17, 500}) testing_support::MoveHeld(&fader, {x, 5});
    EXPECT_EQ(fader.GetValue(), 256) << c.what;
    EXPECT_EQ(changes, 0) << c.what;
    (void)Grabbed(&fader);
  }
  TWHFADER bare;
  EXPECT_EQ(bare.size(), QSize(100, 100)) << "starts 100 x 100";
  bare.SetGround(QImage());
  EXPECT_EQ(bare.size(), QSize(100, 100)) << "a missing bitmap is ignored";
}

}  // namespace
