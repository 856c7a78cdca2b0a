#include "components/Wynbutton.h"

#include <gtest/gtest.h>

#include "components/QtBitmap.h"
#include "support/KnobPicture.h"
#include "support/QtApplication.h"
#include "support/QtInput.h"

namespace {

using components::TWynbutton;
using testing_support::Grabbed;

struct ButtonTest : ::testing::Test, testing_support::WithQtApplication {
  QImage up = components::ResourceImage("BTOK_UP");
  QImage down = components::ResourceImage("BTOK_DOWN");
  TWynbutton button;
  int clicks = 0;

  void SetUp() override {
    ASSERT_EQ(up.size(), QSize(76, 26));
    ASSERT_NE(up, down);
    button.SetGround_off(up);
    button.SetGround_on(down);
    button.OnClick = [this](framework::TObject* sender) {
      EXPECT_EQ(sender, &button);
      EXPECT_FALSE(button.Pressed()) << "released before OnClick fires";
      ++clicks;
    };
  }
};

TEST_F(ButtonTest, ShowsThePressedPictureWhileHeldAndClicksOnReleaseAnywhere) {
  EXPECT_EQ(button.size(), QSize(76, 26));
  EXPECT_EQ(Grabbed(&button), up.convertToFormat(QImage::Format_RGB32));
  testing_support::Press(&button, {10, 10});
  EXPECT_TRUE(button.Pressed());
  EXPECT_EQ(Grabbed(&button), down.convertToFormat(QImage::Format_RGB32));
  testing_support::MoveHeld(&button, {300, -40});
  EXPECT_EQ(clicks, 0);
  testing_support::Release(&button, {300, -40});
  EXPECT_EQ(clicks, 1) << "released off the button after pressing on it";
  EXPECT_EQ(Grabbed(&button), up.convertToFormat(QImage::Format_RGB32));
}

TEST_F(ButtonTest, EveryMouseButtonClicks) {
  for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    const int before = clicks;
    testing_support::Click(&button, {38, 13}, b);
    EXPECT_EQ(clicks, before + 1) << b;
  }
}

TEST_F(ButtonTest, HasNoKeyboardHandling) {
  EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape})
    testing_support::SendKey(&button, key);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonTest, TransparentLeavesTheBottomLeftColourToTheParent) {
  QWidget parent;
  parent.resize(100, 40);
  QPalette palette = parent.palette();
  palette.setColor(QPalette::Window, QColor(255, 0, 0));
  parent.setPalette(palette);
  parent.setAutoFillBackground(true);
  const QRgb key = up.pixel(0, 25);
  ASSERT_NE(key, qRgb(255, 0, 0));
  button.setParent(&parent);  // given back below, before parent would delete it
  button.move(0, 0);
  auto corner = [&] { return QColor(Grabbed(&parent).pixel(0, 25)).rgb(); };
  EXPECT_EQ(corner(), key);
  button.SetTransparent(true);
  EXPECT_TRUE(button.GetTransparent());
  EXPECT_EQ(corner(), qRgb(255, 0, 0));
  // A pixel of another colour is still drawn.
  EXPECT_EQ(Grabbed(&parent).pixel(38, 13), up.pixel(38, 13));
  button.SetTransparent(false);
  EXPECT_EQ(corner(), key);
  button.setParent(nullptr);
}

TEST(ButtonWithoutBitmaps, StartsAtItsOwnSizeAndTheLastBitmapSizesIt) {
  testing_support::QtApplication();
  TWynbutton button;
  EXPECT_EQ(button.size(), QSize(100, 100));
  button.SetGround_on(QImage());
  EXPECT_EQ(button.size(), QSize(100, 100));
  int clicks = 0;
  button.OnClick = [&](framework::TObject*) { ++clicks; };
  testing_support::Click(&button, {5, 5});
  EXPECT_EQ(clicks, 1) << "a button without pictures still clicks";
  (void)Grabbed(&button);
  QImage small(20, 10, QImage::Format_RGB32), large(40, 30, QImage::Format_RGB32);
  small.fill(Qt::black);
  large.fill(Qt::white);
  button.SetGround_on(small);
  button.SetGround_off(large);
  EXPECT_EQ(button.size(), QSize(40, 30));
  button.SetGround_on(small);
  EXPECT_EQ(button.size(), QSize(20, 10));
}

}  // namespace
