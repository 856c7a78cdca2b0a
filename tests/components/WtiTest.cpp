#include "components/Wti.h"

#include <gtest/gtest.h>

#include "support/QtApplication.h"

namespace {

using components::TWTI;

QImage Solid(QRgb colour) {
  QImage image(8, 6, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// The sequence a form's stored properties give: Image1, Image2, NumberImage.
TEST(Wti, NumberImageTwoAfterLoadingAndLaterAssignments) {
  testing_support::QtApplication();
  const QImage red = Solid(qRgb(255, 0, 0)), green = Solid(qRgb(0, 255, 0)), blue = Solid(qRgb(0, 0, 255));
  TWTI wti;
  EXPECT_EQ(wti.GetNumberImage(), 1);
  wti.SetImage1(red);
  wti.SetImage2(green);
  EXPECT_EQ(wti.Picture(), red) << "assigning Image2 leaves the picture";
  wti.SetNumberImage(2);
  EXPECT_EQ(wti.Picture(), green);
  EXPECT_EQ(wti.pixmap().toImage().pixel(0, 0), qRgb(0, 255, 0)) << "what the label shows";

  wti.SetImage1(blue);
  EXPECT_EQ(wti.Picture(), blue) << "Image1 is shown whatever NumberImage is";
  EXPECT_EQ(wti.GetNumberImage(), 2);
  wti.SetNumberImage(1);
  EXPECT_EQ(wti.Picture(), blue);
  wti.SetNumberImage(2);
  EXPECT_EQ(wti.Picture(), green);
  wti.SetNumberImage(3);
  EXPECT_EQ(wti.GetNumberImage(), 3);
  EXPECT_EQ(wti.Picture(), green) << "another number changes nothing on screen";
  wti.SetNumberImage(3);
  wti.SetImage1(QImage());
  wti.SetImage2(QImage());
  EXPECT_EQ(wti.GetImage1(), blue) << "a missing picture is ignored";
  EXPECT_EQ(wti.GetImage2(), green);
}

}  // namespace
