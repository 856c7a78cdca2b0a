#include "components/Wtp.h"

#include <gtest/gtest.h>

#include "support/KnobPicture.h"
#include "support/QtApplication.h"

namespace {

using components::TMTransparent;
using components::TWTP;
using testing_support::Grabbed;

// A red parent holding a 100 x 80 panel (border 3, a raised outer bevel of 2)
// with one 10 x 10 child at (40, 30).
struct WtpTest : ::testing::Test, testing_support::WithQtApplication {
  QWidget parent;
  TWTP* panel = new TWTP(&parent);
  QWidget* child = new QWidget(panel);

  WtpTest() {
    parent.resize(120, 100);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 0));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    panel->setGeometry(10, 10, 100, 80);
    panel->BorderWidth = 3;
    panel->BevelWidth = 2;
    panel->SetColor(QColor(0, 0, 200));
    child->setGeometry(40, 30, 10, 10);
  }
  // Of the panel's inside, away from the child.
  QRgb Inside() { return Grabbed(&parent).pixel(10 + 20, 10 + 20); }
};

TEST_F(WtpTest, PlainPanelFillsItsInside) {
  EXPECT_EQ(Inside(), qRgb(0, 0, 200));
}

TEST_F(WtpTest, SeeThroughModeLeavesTheInsideToTheParentUntilSwitchedBack) {
  panel->SetTransparent(TMTransparent::mtTransparent);
  EXPECT_EQ(Inside(), qRgb(255, 0, 0));
  // The border is still drawn in the panel's colour, inside the bevel.
  EXPECT_EQ(Grabbed(&parent).pixel(10 + 3, 10 + 30), qRgb(0, 0, 200));
  panel->SetTransparent(TMTransparent::mtNone);
  EXPECT_EQ(Inside(), qRgb(0, 0, 200));
}

TEST_F(WtpTest, RegionModeKeepsFrameAndChildrenOnlyAndSwitchingBackRemovesIt) {
  EXPECT_FALSE(panel->CreateRegion(panel)) << "no window yet";
  EXPECT_TRUE(panel->mask().isEmpty());
  parent.show();
  panel->SetTransparent(TMTransparent::mtRegion);
  const QRegion region = panel->mask();
  ASSERT_FALSE(region.isEmpty());
  // Frame: border 3 + outer bevel 2 = 5 pixels all round.
  for (QPoint p : {QPoint(0, 0), QPoint(4, 40), QPoint(99, 79), QPoint(50, 4), QPoint(95, 75)})
    EXPECT_TRUE(region.contains(p)) << p.x() << "," << p.y();
  for (QPoint p : {QPoint(5, 5), QPoint(20, 20), QPoint(94, 74), QPoint(39, 35)})
    EXPECT_FALSE(region.contains(p)) << p.x() << "," << p.y();
  EXPECT_TRUE(region.contains(QRect(40, 30, 10, 10))) << "the child stays";
  // A child that moves is followed at the next paint.
  child->move(60, 50);
  (void)Grabbed(&parent);
  EXPECT_TRUE(panel->mask().contains(QRect(60, 50, 10, 10)));
  EXPECT_FALSE(panel->mask().contains(QPoint(45, 35)));
  panel->SetTransparent(TMTransparent::mtNone);
  EXPECT_TRUE(panel->mask().isEmpty());
  EXPECT_TRUE(panel->isVisible());
}

TEST_F(WtpTest, SettingTheSameModeAgainChangesNothing) {
  parent.show();
  panel->SetTransparent(TMTransparent::mtRegion);
  const QRegion region = panel->mask();
  panel->SetTransparent(TMTransparent::mtRegion);
  EXPECT_EQ(panel->mask(), region);
  EXPECT_FALSE(panel->CreateRegion(nullptr));
}

TEST(WtpColours, LoweredBevelExchangesHighlightAndShadow) {
  testing_support::QtApplication();
  TWTP panel;
  QColor top, bottom, lowTop, lowBottom;
  panel.AdjustColors(components::TPanelBevel::bvRaised, top, bottom);
  panel.AdjustColors(components::TPanelBevel::bvLowered, lowTop, lowBottom);
  EXPECT_EQ(top, panel.palette().color(QPalette::Light));
  EXPECT_EQ(bottom, panel.palette().color(QPalette::Dark));
  EXPECT_EQ(lowTop, bottom);
  EXPECT_EQ(lowBottom, top);
}

}  // namespace
